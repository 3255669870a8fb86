#include "tests/support/TdsPeer.h"

#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QThread>

namespace korvex::test {

namespace {

QString typeName(TdsType type) {
    switch (type) {
        case TdsType::TinyInt:
            return QStringLiteral("tinyint");
        case TdsType::SmallInt:
            return QStringLiteral("smallint");
        case TdsType::Int:
            return QStringLiteral("int");
        case TdsType::BigInt:
            return QStringLiteral("bigint");
        case TdsType::Bit:
            return QStringLiteral("bit");
        case TdsType::Float:
            return QStringLiteral("float");
        case TdsType::Real:
            return QStringLiteral("real");
        case TdsType::Money:
            return QStringLiteral("money");
        case TdsType::SmallMoney:
            return QStringLiteral("smallmoney");
        case TdsType::DateTime:
            return QStringLiteral("datetime");
        case TdsType::SmallDateTime:
            return QStringLiteral("smalldatetime");
        case TdsType::Date:
            return QStringLiteral("date");
        case TdsType::Decimal:
            return QStringLiteral("decimal");
        case TdsType::Numeric:
            return QStringLiteral("numeric");
        case TdsType::UniqueIdentifier:
            return QStringLiteral("uniqueidentifier");
        case TdsType::VarChar:
            return QStringLiteral("varchar");
        case TdsType::Char:
            return QStringLiteral("char");
        case TdsType::NVarChar:
            return QStringLiteral("nvarchar");
        case TdsType::NChar:
            return QStringLiteral("nchar");
        case TdsType::VarBinary:
            return QStringLiteral("varbinary");
    }
    return QStringLiteral("int");
}

QJsonValue jsonValue(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return QJsonValue(QJsonValue::Null);
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return QJsonValue(value.toLongLong());
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            // Past the range of a JSON integer the text form keeps every digit.
            return value.toString();
        case QMetaType::Double:
        case QMetaType::Float:
            return value.toDouble();
        case QMetaType::QDateTime:
            return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        case QMetaType::QDate:
            return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
        case QMetaType::QByteArray:
            return QString::fromLatin1(value.toByteArray().toHex());
        default:
            return value.toString();
    }
}

QString flagsOf(QRegularExpression::PatternOptions options) {
    QString flags;
    if (options & QRegularExpression::CaseInsensitiveOption) flags += u'i';
    if (options & QRegularExpression::DotMatchesEverythingOption) flags += u's';
    if (options & QRegularExpression::MultilineOption) flags += u'm';
    if (options & QRegularExpression::ExtendedPatternSyntaxOption) flags += u'x';
    return flags;
}

}  // namespace

// ------------------------------------------------------------------ TdsReply

TdsReply& TdsReply::done(qint64 rowCount) {
    QJsonObject done;
    if (rowCount >= 0) done.insert(QStringLiteral("rows"), rowCount);
    items_.append(QJsonObject{{QStringLiteral("done"), done}});
    return *this;
}

TdsReply& TdsReply::error(int number, int severity, int state, const QString& message, int line,
                          const QString& procedure) {
    items_.append(QJsonObject{
        {QStringLiteral("error"), QJsonObject{{QStringLiteral("number"), number},
                                              {QStringLiteral("class"), severity},
                                              {QStringLiteral("state"), state},
                                              {QStringLiteral("message"), message},
                                              {QStringLiteral("line"), line},
                                              {QStringLiteral("procedure"), procedure}}}});
    return *this;
}

TdsReply& TdsReply::info(int number, const QString& message, int state) {
    items_.append(
        QJsonObject{{QStringLiteral("info"), QJsonObject{{QStringLiteral("number"), number},
                                                         {QStringLiteral("class"), 0},
                                                         {QStringLiteral("state"), state},
                                                         {QStringLiteral("message"), message}}}});
    return *this;
}

TdsReply& TdsReply::resultSet(const std::vector<TdsColumn>& columns,
                              const std::vector<TdsRow>& rows) {
    QJsonArray cols;
    for (const TdsColumn& c : columns) {
        cols.append(QJsonObject{{QStringLiteral("name"), c.name},
                                {QStringLiteral("type"), typeName(c.type)},
                                {QStringLiteral("length"), c.length},
                                {QStringLiteral("precision"), c.precision},
                                {QStringLiteral("scale"), c.scale},
                                {QStringLiteral("nullable"), c.nullable}});
    }
    QJsonArray values;
    for (const TdsRow& row : rows) {
        QJsonArray r;
        for (const QVariant& v : row) r.append(jsonValue(v));
        values.append(r);
    }
    items_.append(
        QJsonObject{{QStringLiteral("result"), QJsonObject{{QStringLiteral("columns"), cols},
                                                           {QStringLiteral("rows"), values}}}});
    return *this;
}

TdsReply& TdsReply::delay(int milliseconds) {
    delayMs_ = std::max(0, milliseconds);
    return *this;
}

TdsReply& TdsReply::disconnect() {
    disconnect_ = true;
    return *this;
}

TdsReply& TdsReply::refuseInTransaction(int number, int severity, int state,
                                        const QString& message) {
    refusal_ = QJsonObject{{QStringLiteral("number"), number},
                           {QStringLiteral("class"), severity},
                           {QStringLiteral("state"), state},
                           {QStringLiteral("message"), message}};
    return *this;
}

QJsonObject TdsReply::toJson() const {
    QJsonObject rule{{QStringLiteral("reply"), items_}};
    if (!refusal_.isEmpty()) rule.insert(QStringLiteral("refuse_in_transaction"), refusal_);
    if (delayMs_ > 0) rule.insert(QStringLiteral("delay_ms"), delayMs_);
    if (disconnect_) rule.insert(QStringLiteral("disconnect"), true);
    return rule;
}

// ------------------------------------------------------------------ TdsPeer

TdsPeer::TdsPeer() : databases_{QStringLiteral("master")} {
    logins_.insert(QStringLiteral("sa"), QStringLiteral("geheim"));
}

TdsPeer::~TdsPeer() {
    stop();
}

QString TdsPeer::journalPath() const {
    return dir_.filePath(QStringLiteral("journal.jsonl"));
}
QString TdsPeer::rulesPath() const {
    return dir_.filePath(QStringLiteral("rules.json"));
}
QString TdsPeer::server() const {
    return QStringLiteral("127.0.0.1,%1").arg(port());
}
bool TdsPeer::isRunning() const {
    return process_.isRunning();
}

bool TdsPeer::start(QString* error) {
    if (isRunning()) return true;
    if (!dir_.isValid()) {
        if (error) *error = QStringLiteral("no temporary folder for the peer");
        return false;
    }
    writeRules();
    QFile::remove(journalPath());
    journalOffset_ = 0;
    return process_.start(
        QStringLiteral("tdspeer.py"),
        {QStringLiteral("--journal"), journalPath(), QStringLiteral("--rules"), rulesPath()},
        error);
}

void TdsPeer::stop() {
    process_.stop();
}

void TdsPeer::setLogin(const QString& user, const QString& password) {
    logins_.insert(user, password);
    writeRules();
}

void TdsPeer::removeLogin(const QString& user) {
    logins_.remove(user);
    writeRules();
}

void TdsPeer::addDatabase(const QString& name) {
    if (!databases_.contains(name, Qt::CaseInsensitive)) databases_.append(name);
    writeRules();
}

void TdsPeer::removeDatabase(const QString& name) {
    databases_.removeIf(
        [&](const QString& d) { return d.compare(name, Qt::CaseInsensitive) == 0; });
    writeRules();
}

void TdsPeer::onBatch(const QString& substring, const TdsReply& reply, Qt::CaseSensitivity cs) {
    QJsonObject rule = reply.toJson();
    rule.insert(QStringLiteral("contains"), substring);
    if (cs == Qt::CaseInsensitive) rule.insert(QStringLiteral("ignore_case"), true);
    batchRules_.append(rule);
    writeRules();
}

void TdsPeer::onBatch(const QRegularExpression& pattern, const TdsReply& reply) {
    QJsonObject rule = reply.toJson();
    rule.insert(QStringLiteral("regex"), pattern.pattern());
    rule.insert(QStringLiteral("flags"), flagsOf(pattern.patternOptions()));
    batchRules_.append(rule);
    writeRules();
}

void TdsPeer::clearBatchRules() {
    batchRules_ = QJsonArray();
    writeRules();
}

void TdsPeer::writeRules() const {
    QJsonObject users;
    for (auto it = logins_.cbegin(); it != logins_.cend(); ++it) users.insert(it.key(), it.value());
    const QJsonObject rules{{QStringLiteral("logins"), users},
                            {QStringLiteral("databases"), QJsonArray::fromStringList(databases_)},
                            {QStringLiteral("batches"), batchRules_}};
    // Replaced in one rename, so the peer never reads half a file.
    QSaveFile file(rulesPath());
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(rules).toJson());
        file.commit();
    }
}

QList<QJsonObject> TdsPeer::entries(const QString& event) const {
    QList<QJsonObject> result;
    QFile file(journalPath());
    if (!file.open(QIODevice::ReadOnly)) return result;
    file.seek(journalOffset_);
    const QByteArray data = file.readAll();
    qsizetype start = 0;
    for (qsizetype end = data.indexOf('\n'); end >= 0; end = data.indexOf('\n', start)) {
        const QJsonObject entry = QJsonDocument::fromJson(data.mid(start, end - start)).object();
        if (entry.value(QStringLiteral("event")).toString() == event) result.append(entry);
        start = end + 1;
    }
    return result;
}

std::vector<TdsLogin> TdsPeer::logins() const {
    std::vector<TdsLogin> result;
    for (const QJsonObject& e : entries(QStringLiteral("login"))) {
        TdsLogin login;
        login.connection = e.value(QStringLiteral("conn")).toInt();
        login.user = e.value(QStringLiteral("user")).toString();
        login.password = e.value(QStringLiteral("password")).toString();
        login.database = e.value(QStringLiteral("database")).toString();
        login.serverName = e.value(QStringLiteral("server")).toString();
        login.appName = e.value(QStringLiteral("app")).toString();
        login.hostName = e.value(QStringLiteral("host")).toString();
        login.language = e.value(QStringLiteral("language")).toString();
        login.tdsVersion = e.value(QStringLiteral("tds_version")).toString();
        login.packetSize = e.value(QStringLiteral("packet_size")).toInt();
        login.accepted = e.value(QStringLiteral("accepted")).toBool();
        result.push_back(login);
    }
    return result;
}

std::vector<TdsBatch> TdsPeer::batchEntries() const {
    std::vector<TdsBatch> result;
    for (const QJsonObject& e : entries(QStringLiteral("batch"))) {
        result.push_back({e.value(QStringLiteral("conn")).toInt(),
                          e.value(QStringLiteral("text")).toString(),
                          e.value(QStringLiteral("driver")).toBool()});
    }
    return result;
}

QStringList TdsPeer::batches() const {
    QStringList result;
    for (const TdsBatch& b : batchEntries()) result.append(b.text);
    return result;
}

QStringList TdsPeer::batchesExceptDriver() const {
    QStringList result;
    for (const TdsBatch& b : batchEntries())
        if (!b.fromDriver) result.append(b.text);
    return result;
}

QList<int> TdsPeer::disconnects() const {
    QList<int> result;
    for (const QJsonObject& e : entries(QStringLiteral("disconnect")))
        result.append(e.value(QStringLiteral("conn")).toInt());
    return result;
}

int TdsPeer::attentions() const {
    return int(entries(QStringLiteral("attention")).size());
}

QStringList TdsPeer::transactionRequests() const {
    QStringList result;
    // The same event also records @@TRANCOUNT changes, which carry no request.
    for (const QJsonObject& e : entries(QStringLiteral("transaction")))
        if (e.contains(QStringLiteral("request")))
            result.append(e.value(QStringLiteral("request")).toString());
    return result;
}

QStringList TdsPeer::transactionEvents() const {
    QStringList result;
    for (const QJsonObject& e : entries(QStringLiteral("transaction")))
        if (e.contains(QStringLiteral("what")))
            result.append(QStringLiteral("%1 %2").arg(
                e.value(QStringLiteral("what")).toString(),
                QString::number(e.value(QStringLiteral("trancount")).toInt())));
    return result;
}

QStringList TdsPeer::applockEvents() const {
    QStringList result;
    for (const QJsonObject& e : entries(QStringLiteral("applock")))
        result.append(QStringList{e.value(QStringLiteral("what")).toString(),
                                  e.value(QStringLiteral("database")).toString(),
                                  e.value(QStringLiteral("resource")).toString()}
                          .join(u' '));
    return result;
}

void TdsPeer::clearJournal() {
    // The peer appends whole lines with one write each, so the current size
    // is always the end of a line.
    QFile file(journalPath());
    journalOffset_ = file.exists() ? file.size() : 0;
}

bool TdsPeer::waitForDisconnects(int count, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    while (disconnects().size() < count) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
    return true;
}

}  // namespace korvex::test
