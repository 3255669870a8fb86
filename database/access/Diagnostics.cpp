#include "database/access/Diagnostics.h"

#include <QRegularExpression>

#include "database/access/SqlError.h"
#include "platform/KorvexError.h"

namespace korvex::db {

namespace {
QString fromSqlWChar(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}
}  // namespace

QList<Diagnostics::Record> Diagnostics::read(SQLSMALLINT handleType, SQLHANDLE handle) {
    QList<Record> records;
    if (handle == SQL_NULL_HANDLE) return records;
    // Bounded: a driver that keeps answering must not hang the window.
    for (SQLSMALLINT number = 1; number <= 64; ++number) {
        SQLWCHAR state[6] = {};
        SQLINTEGER nativeError = 0;
        SQLWCHAR text[2048] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, number, state, &nativeError, text,
                                            SQLSMALLINT(std::size(text)), &length);
        if (!succeeded(rc)) break;
        Record record;
        record.state = fromSqlWChar(state, 5);
        record.nativeError = nativeError;
        const qsizetype shown = std::min<qsizetype>(length, qsizetype(std::size(text)) - 1);
        record.text = stripPrefixes(fromSqlWChar(text, shown));
        records.append(record);
    }
    return records;
}

QString Diagnostics::stripPrefixes(const QString& text) {
    static const QRegularExpression prefixes(QStringLiteral("^(\\[[^\\]]*\\])+\\s*"));
    return QString(text).remove(prefixes);
}

QString Diagnostics::message(const QList<Record>& records, const QString& fallback) {
    QStringList server;
    QStringList driver;
    for (const Record& record : records) {
        if (record.text.isEmpty()) continue;
        QStringList& target = record.nativeError != 0 ? server : driver;
        if (!server.contains(record.text) && !driver.contains(record.text))
            target.append(record.text);
    }
    const QStringList all = server + driver;
    return all.isEmpty() ? fallback : all.join(u'\n');
}

void Diagnostics::check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle,
                        const QString& fallback) {
    if (succeeded(rc) || rc == SQL_NO_DATA) return;
    raise(handleType, handle, fallback);
}

void Diagnostics::raise(SQLSMALLINT handleType, SQLHANDLE handle, const QString& fallback) {
    const QList<Record> records = read(handleType, handle);
    QList<int> numbers;
    QStringList states;
    for (const Record& record : records) {
        if (record.nativeError != 0) numbers.append(record.nativeError);
        states.append(record.state);
    }
    throw SqlError(message(records, fallback), numbers, states);
}

}  // namespace korvex::db
