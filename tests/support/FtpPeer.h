#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "tests/support/PeerProcess.h"

namespace korvex::test {

// How the FTP peer behaves; the defaults are a plain, well-behaved server.
struct FtpPeerOptions {
    QString user = QStringLiteral("korvex"), password = QStringLiteral("geheim");
    bool mlsd = true;        // false: no MLSD/MLST (500, not in FEAT)
    bool rest = true;        // false: no REST (500, not in FEAT)
    bool account = false;    // PASS answers 332; ACCT (any account, even empty) logs in
    bool silent = false;     // accepts the connection and never sends anything
    QString preliminary;     // non-empty: "120 <text>" before the greeting
    QByteArray rawGreeting;  // non-empty: sent as it is instead of the greeting, then silent
    // Downloads (RETR) send at most this many bytes, then stall for good
    // (no 226; the client hanging up gets 426) or close the data connection
    // with "426 Connection closed; transfer aborted." (even when the whole
    // file fitted). -1: off.
    qint64 stallAfter = -1, dropAfter = -1;
    QByteArray listing;  // non-empty (or listingSet): sent verbatim for LIST and MLSD
    bool listingSet = false;
    QString masquerade;  // non-empty: the address the 227 reply names
};

// An FTP server on 127.0.0.1 (tests/peers/ftppeer.py) serving a temporary
// folder, with a journal of every command line it received.
class FtpPeer {
  public:
    explicit FtpPeer(FtpPeerOptions options = {});
    ~FtpPeer();
    FtpPeer(const FtpPeer&) = delete;
    FtpPeer& operator=(const FtpPeer&) = delete;

    // Starts the peer and waits for its port (blocking, no event loop
    // needed); false (and *error) on failure.
    bool start(QString* error = nullptr);
    void stop();

    quint16 port() const { return process_.port(); }
    QString root() const;  // the served folder, ending in "/"
    QString file(const QString& name) const { return root() + name; }
    // Writes a file into the served folder, creating its folders.
    void writeFile(const QString& name, const QByteArray& bytes) const;
    // Every command line received so far, in order, without its line end
    // (passwords included).
    QStringList commands() const;

  private:
    QString journalPath() const;
    QString listingPath() const;

    FtpPeerOptions options_;
    QTemporaryDir dir_;
    PeerProcess process_;
};

}  // namespace korvex::test
