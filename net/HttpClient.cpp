#include "net/HttpClient.h"

#include <curl/curl.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QSocketNotifier>
#include <QTimer>
#include <map>
#include <mutex>
#include <vector>

#include "net/Duur.h"

namespace korvex::net {

const char* const HttpClient::kUserAgent = "Mozilla/4.0 (compatible; ICS)";
const char* const HttpClient::kAccept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
const char* const HttpClient::kAbortReason = "Connection aborted on request";

namespace {

// libcurl's receive buffer: a larger one means fewer reads on a fast line.
constexpr long ReadBlock = 512 * 1024;
// The headers of one response that are kept at most: a server that never
// ends its header must not fill the memory.
constexpr qint64 MaxHeaderBytes = 256 * 1024;
// libcurl keeps reading while data arrives; after this long in one call
// the transfer pauses so that timers and clicks get their turn.
constexpr qint64 TurnMs = 10;

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QString metSchema(const QString& host) {
    if (host.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) return host;
    return QStringLiteral("http://") + host;
}

}  // namespace

// One request in flight: the easy handle and what its callbacks gathered.
struct HttpClient::Transfer {
    HttpClient* owner = nullptr;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    bool inMulti = false;
    QEventLoop* loop = nullptr;
    QTimer idle;

    bool done = false;
    CURLcode result = CURLE_OK;
    bool aborted = false;
    bool idleExpired = false;
    bool writeFailed = false;
    bool headerTooLong = false;
    bool activity = false;
    bool paused = false;
    QElapsedTimer turn;  // since libcurl was last entered
    qint64 headerBytes = 0;
    qint64 total = 0;  // body bytes written; received() follows as announced
    QStringList lines;
    std::vector<qint64> pending;  // counts still to announce, one per block

    ~Transfer() {
        curl_slist_free_all(headers);
        if (easy) curl_easy_cleanup(easy);
    }

    static size_t onBody(char* data, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        const size_t length = size * count;
        if (t->aborted) return 0;
        if (t->turn.isValid() && t->turn.elapsed() >= TurnMs) {
            t->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (QIODevice* out = t->owner->receiver_) {
            size_t written = 0;
            while (written < length) {
                const qint64 n = out->write(data + written, qint64(length - written));
                if (n <= 0) {
                    t->writeFailed = true;
                    return 0;
                }
                written += size_t(n);
            }
        }
        t->total += qint64(length);
        t->pending.push_back(t->total);
        t->activity = true;
        return length;
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        const size_t length = size * count;
        t->activity = true;
        QByteArray line(data, qsizetype(length));
        // Every response starts with its status line; what came before
        // belonged to a redirection.
        if (line.startsWith("HTTP/")) {
            t->lines.clear();
            t->headerBytes = 0;
        }
        t->headerBytes += qint64(length);
        if (t->headerBytes > MaxHeaderBytes) {
            t->headerTooLong = true;
            return 0;
        }
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) t->lines.append(QString::fromLatin1(line));
        return length;
    }
};

// The multi handle and the event loop's watch over its sockets and timer.
struct HttpClient::Multi {
    struct Watch {
        std::unique_ptr<QSocketNotifier> read, write;
    };

    HttpClient* owner;
    CURLM* handle = nullptr;
    std::map<curl_socket_t, Watch> sockets;
    QTimer timer;

    explicit Multi(HttpClient* client) : owner(client) {
        initCurl();
        handle = curl_multi_init();
        if (!handle) throw KorvexError(QStringLiteral("De HTTP-verbinding kan niet worden opgezet."));
        curl_multi_setopt(handle, CURLMOPT_SOCKETFUNCTION, &Multi::onSocket);
        curl_multi_setopt(handle, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(handle, CURLMOPT_TIMERFUNCTION, &Multi::onTimer);
        curl_multi_setopt(handle, CURLMOPT_TIMERDATA, this);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, owner,
                         [this] { owner->drive(qintptr(CURL_SOCKET_TIMEOUT), 0); });
    }
    ~Multi() {
        // Closing the kept connections still calls onSocket, so the map
        // must outlive this call.
        curl_multi_cleanup(handle);
        timer.stop();
    }

    // Called by libcurl: only the notifiers change here. A removed socket's
    // notifiers go at once, because libcurl may hand out the same number for
    // a new socket before a deferred deletion would have run.
    static int onSocket(CURL*, curl_socket_t s, int what, void* user, void*) {
        auto* m = static_cast<Multi*>(user);
        if (what == CURL_POLL_REMOVE) {
            m->sockets.erase(s);
            return 0;
        }
        Watch& w = m->sockets[s];
        m->want(w.read, s, QSocketNotifier::Read, what & CURL_POLL_IN, CURL_CSELECT_IN);
        m->want(w.write, s, QSocketNotifier::Write, what & CURL_POLL_OUT, CURL_CSELECT_OUT);
        return 0;
    }

    void want(std::unique_ptr<QSocketNotifier>& notifier, curl_socket_t s,
              QSocketNotifier::Type type, bool on, int event) {
        if (!notifier) {
            if (!on) return;
            notifier = std::make_unique<QSocketNotifier>(qintptr(s), type);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, owner,
                             [this, s, event] { owner->drive(qintptr(s), event); });
        }
        notifier->setEnabled(on);
    }

    // Called by libcurl: only the timer is set here; libcurl must not be
    // entered again from inside its own callback.
    static int onTimer(CURLM*, long ms, void* user) {
        auto* m = static_cast<Multi*>(user);
        if (ms < 0)
            m->timer.stop();
        else
            m->timer.start(int(std::min<long>(ms, 24L * 3600 * 1000)));
        return 0;
    }
};

HttpClient::HttpClient(QObject* parent) : QObject(parent) {}

HttpClient::~HttpClient() {
    if (transfer_) stopTransfer();
    transfer_.reset();
    multi_.reset();
}

void HttpClient::get() { request(false); }
void HttpClient::head() { request(true); }

void HttpClient::request(bool headOnly) {
    if (busy_)
        throw KorvexError(QStringLiteral("Er loopt al een HTTP-verzoek; wacht tot het klaar is."));
    if (!multi_) multi_ = std::make_unique<Multi>(this);

    received_ = 0;
    headerLines_.clear();
    status_ = 0;
    reason_.clear();
    transportCode_ = 0;

    auto t = std::make_unique<Transfer>();
    t->owner = this;
    t->easy = curl_easy_init();
    if (!t->easy) throw KorvexError(QStringLiteral("De HTTP-verbinding kan niet worden opgezet."));
    CURL* e = t->easy;
    const QByteArray url = url_.toUtf8();
    const bool secure = url_.trimmed().startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
    curl_easy_setopt(e, CURLOPT_URL, url.constData());
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->error);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    // Once on https, a redirection may not fall back to plain http.
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent);
    t->headers = curl_slist_append(t->headers, (QByteArray("Accept: ") + kAccept).constData());
    t->headers = curl_slist_append(t->headers, "Pragma: no-cache");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headers);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, long(kMaxRedirections));
    curl_easy_setopt(e, CURLOPT_INTERFACE, "host!0.0.0.0");
    curl_easy_setopt(e, CURLOPT_IPRESOLVE, long(CURL_IPRESOLVE_V4));
    // An empty text, not "unset": the proxy variables of the environment
    // must never redirect the tool's traffic.
    const QByteArray proxy = proxy_.isEmpty() ? QByteArray() : metSchema(proxy_).toUtf8();
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
    // Likewise no_proxy: empty means the configured proxy serves every host.
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");
    if (!proxy_.isEmpty()) {
        bool ok = false;
        const uint port = proxyPort_.trimmed().toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            throw HttpFailure(404, QStringLiteral("Ongeldige poort van de proxyserver: \"%1\"")
                                       .arg(proxyPort_));
        curl_easy_setopt(e, CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
        curl_easy_setopt(e, CURLOPT_PROXYPORT, long(port));
        curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    }
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray ca = caFile_.toLocal8Bit();
    if (!caFile_.isEmpty()) curl_easy_setopt(e, CURLOPT_CAINFO, ca.constData());
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(connectTimeoutMs_));
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, ReadBlock);
    curl_easy_setopt(e, CURLOPT_NOBODY, headOnly ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());

    // The first wait also covers connecting; after that, the idle time
    // counts from the last byte.
    t->idle.setSingleShot(true);
    connect(&t->idle, &QTimer::timeout, this, [this] {
        if (!transfer_ || transfer_->done) return;
        transfer_->idleExpired = true;
        stopTransfer();
    });
    t->idle.start(connectTimeoutMs_ + idleTimeoutMs_);

    if (curl_multi_add_handle(multi_->handle, e) != CURLM_OK)
        throw KorvexError(QStringLiteral("De HTTP-verbinding kan niet worden opgezet."));
    t->inMulti = true;

    QEventLoop loop;
    t->loop = &loop;
    transfer_ = std::move(t);
    busy_ = true;
    // A quit of the program ends every event loop, this one included:
    // the request then counts as aborted.
    loop.exec();
    if (!transfer_->done) {
        transfer_->aborted = true;
        stopTransfer();
    }
    transfer_->loop = nullptr;
    finishRequest();
}

void HttpClient::drive(qintptr socket, int events) {
    if (!multi_) return;
    enterCurl([&] {
        int running = 0;
        curl_multi_socket_action(multi_->handle, curl_socket_t(socket), events, &running);
    });
}

void HttpClient::resume() {
    Transfer* t = transfer_.get();
    if (!t || t->done || !t->paused) return;
    t->paused = false;
    // Hands the held block to onBody again, then reads on.
    enterCurl([&] { curl_easy_pause(t->easy, CURLPAUSE_CONT); });
}

void HttpClient::enterCurl(const std::function<void()>& call) {
    Transfer* t = transfer_.get();
    if (t) t->turn.start();
    inCurl_ = true;
    call();
    inCurl_ = false;
    if (!t || transfer_.get() != t) return;

    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_->handle, &left)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != t->easy) continue;
        t->result = message->data.result;
        t->done = true;
    }
    if (t->done && t->inMulti) {
        curl_multi_remove_handle(multi_->handle, t->easy);
        t->inMulti = false;
    }
    if (t->activity && !t->done) {
        t->activity = false;
        t->idle.start(idleTimeoutMs_);
    }
    // libcurl reads on for as long as the socket has data; a paused
    // transfer gives the event loop its turn and goes on right after.
    if (t->paused && !t->done) QTimer::singleShot(0, this, [this] { resume(); });
    // Announced outside libcurl, so that whatever a receiver of the event
    // does (even abort) cannot re-enter libcurl from its own callback.
    announce();
    if (transfer_.get() == t && (t->done || t->aborted)) {
        if (!t->done) stopTransfer();
        if (t->loop) t->loop->quit();
    }
}

void HttpClient::announce() {
    // A receiver that runs an event loop of its own lets further blocks
    // arrive meanwhile; they are announced here, after the earlier ones.
    if (announcing_) return;
    announcing_ = true;
    Transfer* t = transfer_.get();
    std::vector<qint64> counts;
    while (transfer_.get() == t && !t->aborted && !t->pending.empty()) {
        counts.clear();
        counts.swap(t->pending);
        for (const qint64 count : counts) {
            if (transfer_.get() != t || t->aborted) break;
            received_ = count;
            Q_EMIT documentData(count);
        }
    }
    announcing_ = false;
}

void HttpClient::stopTransfer() {
    Transfer* t = transfer_.get();
    if (!t) return;
    if (t->inMulti && multi_) {
        curl_multi_remove_handle(multi_->handle, t->easy);
        t->inMulti = false;
    }
    t->done = true;
    t->idle.stop();
    t->pending.clear();
    if (t->loop) t->loop->quit();
}

void HttpClient::abort() {
    Transfer* t = transfer_.get();
    if (!t || t->done) return;
    t->aborted = true;
    // From within a stream write libcurl is on the stack: the write
    // callback refuses the next block and enterCurl() ends the transfer.
    if (!inCurl_) stopTransfer();
}

void HttpClient::close() {
    if (inCurl_)
        throw KorvexError(QStringLiteral("De HTTP-verbinding kan nu niet worden gesloten."));
    abort();
    // Dropping the multi handle closes every connection it kept.
    multi_.reset();
}

void HttpClient::finishRequest() {
    std::unique_ptr<Transfer> t = std::move(transfer_);
    busy_ = false;
    received_ = t->total;
    headerLines_ = t->lines;
    long code = 0;
    curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &code);
    status_ = int(code);
    transportCode_ = int(t->result);
    if (!headerLines_.isEmpty() && headerLines_.first().startsWith(QLatin1String("HTTP/"))) {
        // "HTTP/1.1 404 Not Found": the reason phrase is everything after
        // the code and its blank, as sent.
        const QString& line = headerLines_.first();
        const int first = int(line.indexOf(QLatin1Char(' ')));
        const int second = first < 0 ? -1 : int(line.indexOf(QLatin1Char(' '), first + 1));
        reason_ = second < 0 ? QString() : line.mid(second + 1);
    }

    if (t->aborted) throw HttpFailure(404, QString::fromLatin1(kAbortReason));
    if (t->writeFailed) {
        const QString why = receiver_ ? receiver_->errorString() : QString();
        throw KorvexError(QStringLiteral("De ontvangen gegevens kunnen niet worden weggeschreven: %1")
                              .arg(why));
    }
    if (t->idleExpired)
        throw HttpFailure(404, QStringLiteral("Time-out: de server zond binnen %1 geen gegevens.")
                                   .arg(duur(idleTimeoutMs_)));
    // libcurl refuses a header line of over 100 KiB as out of memory; the
    // body never costs memory here, so that is what it means.
    if (t->headerTooLong || t->result == CURLE_OUT_OF_MEMORY)
        throw HttpFailure(404, QStringLiteral("Het antwoord van de server is te lang."));
    // Five changes of location were followed; the sixth reply is the last.
    if (t->result != CURLE_OK && t->result != CURLE_TOO_MANY_REDIRECTS) {
        const QString text = t->error[0] ? QString::fromLocal8Bit(t->error)
                                         : QString::fromLatin1(curl_easy_strerror(t->result));
        throw HttpFailure(404, text);
    }
    if (status_ >= 400 && status_ != 401 && status_ != 407) throw HttpFailure(status_, reason_);
}

}  // namespace korvex::net
