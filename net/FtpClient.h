#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "net/FtpReplyReader.h"

class QDeadlineTimer;
class QTcpSocket;

namespace korvex::net {

// A plain FTP client over IPv4 with blocking calls on the caller's thread:
// the script manager waits for every step anyway, and blocking keeps the
// order of events and failures exactly as the calls made them. Every wait
// has its own time-out, so a silent server never holds the window.
//
// Failures are KorvexErrors whose text is the server's reply as sent, the
// socket's error text or one of the client's own Dutch texts. After a
// time-out or a lost control connection the client is disconnected and
// connectionClosed has fired.
class FtpClient : public QObject {
    Q_OBJECT

  public:
    enum class TransferType { Ascii, Binary };

    using Reply = FtpReply;

    explicit FtpClient(QObject* parent = nullptr);
    ~FtpClient() override;

    void setPassive(bool passive) { passive_ = passive; }
    bool passive() const { return passive_; }
    void setUserName(const QString& user) { user_ = user; }
    void setPassword(const QString& password) { password_ = password; }
    void setHost(const QString& host) { host_ = host; }
    void setPort(quint16 port) { port_ = port; }

    // Milliseconds; a wait that runs past its value fails.
    void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }
    void setReplyTimeout(int ms) { replyTimeoutMs_ = ms; }
    void setDataTimeout(int ms) { dataTimeoutMs_ = ms; }

    // Opens the control connection, reads the greeting and logs in (USER,
    // PASS, an empty ACCT when asked), then asks for the features once.
    void connect();
    // Quits and closes; never throws, also when the server is already gone.
    void disconnect();
    bool connected() const;

    void changeDir(const QString& folder);
    // Remembered, and sent at once when connected.
    void setTransferType(TransferType type);
    TransferType transferType() const { return type_; }
    // The detailed listing of the working folder, one raw line per entry,
    // without line ends, in the order received.
    void list(QStringList& lines);
    // Fetches into localPath. Overwrite: the file is emptied and receives
    // the whole remote file. Otherwise an existing file is completed from
    // its size when resume is on and the server can restart transfers; in
    // every other case an existing file is an error and stays as it was.
    // The local file is created before the transfer and kept on failure.
    void fetch(const QString& remoteName, const QString& localPath, bool overwrite, bool resume);

    // Whether FEAT announced the machine-readable listing (MLSD or MLST).
    bool machineListing() const { return machineListing_; }

  Q_SIGNALS:
    void connectionEstablished();
    void connectionClosed();
    void loggedIn();
    void accountRequested();
    void listingReceived();
    // A preliminary (1xx) reply before the greeting, as the server sent it.
    void preliminaryBanner(const QString& text);

  private:
    using Sink = std::function<void(const char* data, qint64 size)>;

    Reply command(const QByteArray& line);
    Reply readReply(int timeoutMs);
    Reply readFinalReply();
    void readControlBytes(const QDeadlineTimer& deadline, int timeoutMs);
    void send(const QByteArray& line);
    void discardUnsolicited();
    void requireConnected() const;
    [[noreturn]] void fail(const QString& message);
    [[noreturn]] void lost();
    void closeControl();
    void onControlDisconnected();

    bool probeRestart();
    void transfer(const QByteArray& commandLine, qint64 restartAt, const Sink& sink);

    bool passive_ = false;
    QString user_;
    QString password_;
    QString host_;
    quint16 port_ = 21;
    int connectTimeoutMs_ = 30000;
    int replyTimeoutMs_ = 60000;
    int dataTimeoutMs_ = 60000;

    std::unique_ptr<QTcpSocket> control_;
    FtpReplyReader replies_;
    bool open_ = false;  // connectionEstablished fired and connectionClosed not yet
    TransferType type_ = TransferType::Ascii;
    bool machineListing_ = false;
    int restartSupport_ = -1;  // -1 not probed on this connection, 0 no, 1 yes
};

}  // namespace korvex::net
