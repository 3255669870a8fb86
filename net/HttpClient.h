#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/KorvexError.h"

class QIODevice;

namespace korvex::net {

// A request that failed as HTTP sees it: a final status of 400 or above
// (except 401 and 407), no connection, a connection lost before the reply
// ended, or an abort. Callers tell it from the other errors (a receiving
// stream that cannot be written, a second request while one waits), which
// are plain KorvexErrors. The message is the status code, a blank and the
// reason phrase.
class HttpFailure : public KorvexError {
  public:
    HttpFailure(int status, const QString& reason)
        : KorvexError(QString::number(status) + QLatin1Char(' ') + reason),
          status_(status), reason_(reason) {}
    int status() const noexcept { return status_; }
    const QString& reason() const noexcept { return reason_; }

  private:
    int status_;
    QString reason_;
};

// The update server's HTTP client: libcurl's multi interface driven by the
// Qt event loop of the calling thread. get() and head() wait in a nested
// event loop, so windows repaint, timers fire and a cancel button can call
// abort() while the transfer runs.
//
// Every request is HTTP/1.0 with the fixed user agent, Accept and
// "Pragma: no-cache" headers; follows at most 5 redirections; speaks only
// http and https (https only, once the first URL is https); binds the local
// end to 0.0.0.0; and goes through the proxy only when one is set (the
// environment's proxy variables are never used). https checks the
// certificate and the host name against the system's CA store.
class HttpClient : public QObject {
    Q_OBJECT

  public:
    static const char* const kUserAgent;
    static const char* const kAccept;
    static const char* const kAbortReason;  // "Connection aborted on request"
    static constexpr int kMaxRedirections = 5;

    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    void setUrl(const QString& url) { url_ = url; }
    const QString& url() const { return url_; }
    // Empty host: direct connection.
    void setProxy(const QString& host) { proxy_ = host; }
    const QString& proxy() const { return proxy_; }
    void setProxyPort(const QString& port) { proxyPort_ = port; }
    const QString& proxyPort() const { return proxyPort_; }
    // The stream the body is written to, block by block; not owned. Null:
    // the body is read and dropped.
    void setReceiver(QIODevice* receiver) { receiver_ = receiver; }
    QIODevice* receiver() const { return receiver_; }

    // Milliseconds. Connecting that takes longer fails; a transfer during
    // which nothing arrives for the idle time fails as a lost connection.
    // A slow transfer that keeps receiving never times out.
    void setConnectTimeout(int ms) { connectTimeoutMs_ = ms; }
    int connectTimeout() const { return connectTimeoutMs_; }
    void setIdleTimeout(int ms) { idleTimeoutMs_ = ms; }
    int idleTimeout() const { return idleTimeoutMs_; }
    // Tests only: the CA bundle that https checks against instead of the
    // system's store.
    void setCaFile(const QString& path) { caFile_ = path; }

    // Return when the transfer has ended. Throw HttpFailure on the HTTP
    // failure, KorvexError on any other error, among which a request made
    // while another one of this client waits.
    void get();
    void head();

    // Ends the waiting request at once: it then throws HttpFailure(404,
    // kAbortReason). Nothing happens when no request waits.
    void abort();
    // Closes the connection kept for reuse (and aborts a waiting request).
    // Throws when called from within a transfer's own stream writing.
    void close();

    bool busy() const { return busy_; }
    // Body bytes received by the current or last request; during the
    // request, the count of the last documentData.
    qint64 received() const { return received_; }
    // The final response: its header lines in the order received, status
    // line first, without line ends; its status code and reason phrase.
    const QStringList& headerLines() const { return headerLines_; }
    int statusCode() const { return status_; }
    const QString& reasonPhrase() const { return reason_; }
    // The transport's own code for how the last request ended (libcurl's
    // CURLcode; 0 when the transfer went through), so a failure's kind can
    // be told without reading its text, whose wording differs between builds.
    int transportCode() const { return transportCode_; }

  Q_SIGNALS:
    // Once for every block of body received; the count includes the block.
    void documentData(qint64 received);

  private:
    struct Transfer;
    struct Multi;

    void request(bool headOnly);
    void drive(qintptr socket, int events);
    void resume();
    void enterCurl(const std::function<void()>& call);
    void announce();
    void stopTransfer();
    void finishRequest();

    QString url_;
    QString proxy_;
    QString proxyPort_ = QStringLiteral("80");
    QIODevice* receiver_ = nullptr;
    int connectTimeoutMs_ = 30000;
    int idleTimeoutMs_ = 60000;
    QString caFile_;

    bool busy_ = false;
    bool inCurl_ = false;      // libcurl is on the stack
    bool announcing_ = false;  // documentData is being emitted
    qint64 received_ = 0;
    QStringList headerLines_;
    int status_ = 0;
    QString reason_;
    int transportCode_ = 0;

    std::unique_ptr<Multi> multi_;
    std::unique_ptr<Transfer> transfer_;
};

}  // namespace korvex::net
