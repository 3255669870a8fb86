#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include "tests/support/PeerProcess.h"

namespace korvex::test {

// One request head as the HTTP peer received it. Bytes past ASCII come out
// as the Latin-1 characters of the same value.
struct HttpRequestSeen {
    QString requestLine, method, target, path;  // path: target without "scheme://authority"
    QList<QPair<QString, QString>> headers;     // in order received, values without outer blanks
    QByteArray raw;                             // the head as received, empty line included
    // The first value, the name compared without regard to case; a null
    // QString when absent (an empty value is empty, not null).
    QString header(const QString& name) const;
};

// An HTTP server on 127.0.0.1 (tests/peers/httppeer.py) that answers every
// request with exactly the bytes its routes say, well-formed or not, one
// request per connection. Routes may change at any time; the peer reads them
// again for every request. A path without a route gets a 404.
class HttpPeer {
  public:
    // tls: serve https with a certificate for 127.0.0.1 made at start() by the openssl command line
    // tool (an EC P-256 self-signed certificate with subjectAltName IP:127.0.0.1 and CN 127.0.0.1,
    // valid 2 days, made in the peer's temporary folder).
    explicit HttpPeer(bool tls = false);
    ~HttpPeer();
    HttpPeer(const HttpPeer&) = delete;
    HttpPeer& operator=(const HttpPeer&) = delete;

    // Starts the peer and waits for its port (blocking, no event loop
    // needed); false (and *error) on failure.
    bool start(QString* error = nullptr);
    void stop();
    bool isRunning() const { return process_.isRunning(); }

    quint16 port() const { return process_.port(); }
    QString url(const QString& path) const;  // "http://127.0.0.1:<port>" + path, "https://..." with tls
    QString certificateFile() const;         // the PEM the client must trust (tls only; empty otherwise)

    // Replaces the response of one path ("*": every path without a route of its own; "HEAD /x":
    // only that method's requests for /x). Keeps the other routes. The rules file is rewritten atomically (temp file + rename).
    void route(const QString& path, const QJsonArray& parts);
    // One part with exactly these bytes.
    void respond(const QString& path, const QByteArray& rawResponse);

    QList<HttpRequestSeen> requests() const;  // the journal, in order

    // Parts of a response, sent in order.
    static QJsonObject raw(const QByteArray& bytes);
    static QJsonObject repeat(const QByteArray& text, qint64 count);  // count -1: until the client goes
    // size bytes where byte i is i % 251; with block and intervalMs, block
    // bytes at a time with a pause of intervalMs between them.
    static QJsonObject pattern(qint64 size, int block = 0, int intervalMs = 0);
    static QByteArray patternBytes(qint64 size);  // what pattern(size) sends, for comparisons
    static QJsonObject sleepMs(int ms);
    static QJsonObject stall();  // nothing more; the connection stays open until the client closes it
    // Holds the response until openGate(name) (the peer gives up after a minute), so a test
    // can let the rest go once it has seen what it waits for instead of guessing a pause.
    QJsonObject gate(const QString& name) const;
    void openGate(const QString& name) const;
    static QJsonObject reset();  // a TCP reset at once

    QString journalPath() const;
    QString rulesPath() const;

  private:
    bool makeCertificate(QString* error) const;
    QString keyFile() const;
    QString gatePath(const QString& name) const;
    void writeRules() const;

    bool tls_;
    QTemporaryDir dir_;
    PeerProcess process_;
    QJsonObject routes_;
};

}  // namespace korvex::test
