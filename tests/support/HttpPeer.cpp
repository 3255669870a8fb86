#include "tests/support/HttpPeer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace korvex::test {

QString HttpRequestSeen::header(const QString& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) != 0) continue;
        // Present but empty must not read as absent.
        return value.isNull() ? QStringLiteral("") : value;
    }
    return QString();
}

HttpPeer::HttpPeer(bool tls) : tls_(tls) {}

HttpPeer::~HttpPeer() {
    stop();
}

QString HttpPeer::journalPath() const {
    return dir_.filePath(QStringLiteral("journal.jsonl"));
}
QString HttpPeer::rulesPath() const {
    return dir_.filePath(QStringLiteral("rules.json"));
}
QString HttpPeer::certificateFile() const {
    return tls_ ? dir_.filePath(QStringLiteral("cert.pem")) : QString();
}
QString HttpPeer::keyFile() const {
    return dir_.filePath(QStringLiteral("key.pem"));
}

QString HttpPeer::url(const QString& path) const {
    return (tls_ ? QStringLiteral("https://127.0.0.1:") : QStringLiteral("http://127.0.0.1:")) +
           QString::number(port()) + path;
}

bool HttpPeer::makeCertificate(QString* error) const {
    const auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("cannot make the test certificate: ") + why;
        return false;
    };
    // A configuration of our own, so the system's defaults (CA:TRUE and the
    // like) stay out of the certificate.
    const QString config = dir_.filePath(QStringLiteral("openssl.cnf"));
    QFile cnf(config);
    const QByteArray text =
        "[req]\n"
        "distinguished_name = dn\n"
        "x509_extensions = ext\n"
        "prompt = no\n"
        "[dn]\n"
        "CN = 127.0.0.1\n"
        "[ext]\n"
        // Schannel's name check reads DNS names only.
        "subjectAltName = IP:127.0.0.1, DNS:127.0.0.1\n"
        "basicConstraints = critical, CA:FALSE\n"
        "subjectKeyIdentifier = hash\n";
    if (!cnf.open(QIODevice::WriteOnly) || cnf.write(text) != text.size())
        return fail(cnf.errorString());
    cnf.close();

    HostProcess openssl(QProcess::MergedChannels);
    if (!openssl.start(
            QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-config"), config,
             QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
             QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
             QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-keyout"), keyFile(),
             QStringLiteral("-out"), certificateFile()}))
        return fail(QStringLiteral("openssl did not start (") + openssl.errorString() +
                    QStringLiteral("); apt-get install openssl"));
    if (!openssl.waitForFinished(30000)) return fail(QStringLiteral("openssl did not finish"));
    const QString output = QString::fromLocal8Bit(openssl.readAllStandardOutput()).trimmed();
    if (openssl.exitCode() != 0)
        return fail(QStringLiteral("openssl failed (exit code %1): %2")
                        .arg(openssl.exitCode())
                        .arg(output));
    if (!QFile::exists(certificateFile()) || !QFile::exists(keyFile()))
        return fail(QStringLiteral("openssl wrote no certificate: ") + output);
    return true;
}

bool HttpPeer::start(QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (isRunning()) return true;
    if (!dir_.isValid()) return fail(QStringLiteral("no temporary folder for the peer"));
    QStringList args{QStringLiteral("--rules"), rulesPath(), QStringLiteral("--journal"),
                     journalPath()};
    if (tls_) {
        if (!makeCertificate(error)) return false;
        args << QStringLiteral("--cert") << certificateFile() << QStringLiteral("--key")
             << keyFile();
    }
    writeRules();
    QFile::remove(journalPath());
    return process_.start(QStringLiteral("httppeer.py"), args, error);
}

void HttpPeer::stop() {
    process_.stop();
}

void HttpPeer::route(const QString& path, const QJsonArray& parts) {
    routes_.insert(path, parts);
    writeRules();
}

void HttpPeer::respond(const QString& path, const QByteArray& rawResponse) {
    route(path, QJsonArray{raw(rawResponse)});
}

void HttpPeer::writeRules() const {
    if (!dir_.isValid()) return;
    // Replaced in one rename, so the peer never reads half a file.
    QSaveFile file(rulesPath());
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("routes"), routes_}}).toJson());
        file.commit();
    }
}

QList<HttpRequestSeen> HttpPeer::requests() const {
    QList<HttpRequestSeen> result;
    QFile file(journalPath());
    if (!file.open(QIODevice::ReadOnly)) return result;
    const QByteArray data = file.readAll();
    // The peer writes each entry whole, with one write, so only a complete
    // line ends in a line feed.
    qsizetype start = 0;
    for (qsizetype end = data.indexOf('\n'); end >= 0; end = data.indexOf('\n', start)) {
        const QJsonObject e = QJsonDocument::fromJson(data.mid(start, end - start)).object();
        start = end + 1;
        HttpRequestSeen seen;
        seen.requestLine = e.value(QStringLiteral("request_line")).toString();
        seen.method = e.value(QStringLiteral("method")).toString();
        seen.target = e.value(QStringLiteral("target")).toString();
        seen.path = e.value(QStringLiteral("path")).toString();
        for (const QJsonValue& h : e.value(QStringLiteral("headers")).toArray()) {
            const QJsonArray pair = h.toArray();
            seen.headers.append({pair.at(0).toString(), pair.at(1).toString()});
        }
        // The peer decodes the head as Latin-1, so this gives back every byte.
        seen.raw = e.value(QStringLiteral("raw")).toString().toLatin1();
        result.append(seen);
    }
    return result;
}

QJsonObject HttpPeer::raw(const QByteArray& bytes) {
    // Hex, so any byte (CR, LF, NUL, non-UTF-8) gets through JSON unchanged.
    return {{QStringLiteral("hex"), QString::fromLatin1(bytes.toHex())}};
}

QJsonObject HttpPeer::repeat(const QByteArray& text, qint64 count) {
    return {{QStringLiteral("repeat_hex"), QString::fromLatin1(text.toHex())},
            {QStringLiteral("count"), count}};
}

QJsonObject HttpPeer::pattern(qint64 size, int block, int intervalMs) {
    QJsonObject part{{QStringLiteral("pattern"), size}};
    if (block > 0) part.insert(QStringLiteral("block"), block);
    if (intervalMs > 0) part.insert(QStringLiteral("interval_ms"), intervalMs);
    return part;
}

QByteArray HttpPeer::patternBytes(qint64 size) {
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = char(i % 251);
    return bytes;
}

QJsonObject HttpPeer::sleepMs(int ms) {
    return {{QStringLiteral("sleep_ms"), ms}};
}

QJsonObject HttpPeer::stall() {
    return {{QStringLiteral("stall"), true}};
}

QString HttpPeer::gatePath(const QString& name) const {
    return dir_.filePath(QStringLiteral("gate-") + name);
}

QJsonObject HttpPeer::gate(const QString& name) const {
    QFile::remove(gatePath(name));
    // Its file name only: the peer finds it beside its rules file.
    return {{QStringLiteral("wait_for"), QFileInfo(gatePath(name)).fileName()}};
}

void HttpPeer::openGate(const QString& name) const {
    QFile file(gatePath(name));
    if (!file.open(QIODevice::WriteOnly))
        ADD_FAILURE() << "cannot open the gate " << name.toStdString() << ": "
                      << file.errorString().toStdString();
}

QJsonObject HttpPeer::reset() {
    return {{QStringLiteral("reset"), true}};
}

}  // namespace korvex::test
