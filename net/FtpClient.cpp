#include "net/FtpClient.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

#include "net/Duur.h"
#include "net/FtpListing.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"

namespace korvex::net {

namespace {

// A listing is kept whole for the caller; this only stops an endless one.
constexpr qint64 MaxListingBytes = 256LL * 1024 * 1024;
constexpr qint64 DataBlock = 256 * 1024;

int resterend(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(0, deadline.remainingTime()));
}

// A CR, LF or NUL in an argument would end the command early and let the
// rest through as a command of its own.
void weigerOnveilig(const QString& text, const QString& wat) {
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
        text.contains(QChar(0)))
        throw KorvexError(
            QStringLiteral("%1 bevat een regeleinde of een NUL-teken en wordt niet verzonden.")
                .arg(wat));
}

// Only the port of a 227 reply is used: the address in it is the server's
// word, and following it would let a server send the client elsewhere.
quint16 pasvPort(const QString& text) {
    static const QRegularExpression zes(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const auto match = zes.match(text.mid(3));
    if (!match.hasMatch()) return 0;
    int getallen[6];
    for (int i = 0; i < 6; ++i) {
        getallen[i] = match.captured(i + 1).toInt();
        if (getallen[i] > 255) return 0;
    }
    return quint16(getallen[4] * 256 + getallen[5]);
}

}  // namespace

FtpClient::FtpClient(QObject* parent) : QObject(parent), control_(std::make_unique<QTcpSocket>()) {
    control_->setProxy(QNetworkProxy::NoProxy);
    // A server that drops the connection while no call runs is noticed as
    // soon as the event loop runs.
    QObject::connect(control_.get(), &QTcpSocket::disconnected, this,
                     &FtpClient::onControlDisconnected);
}

FtpClient::~FtpClient() {
    // Whoever listens may be gone already.
    blockSignals(true);
    control_->abort();
}

bool FtpClient::connected() const {
    return open_ && control_->state() == QAbstractSocket::ConnectedState;
}

void FtpClient::onControlDisconnected() {
    if (!open_) return;
    open_ = false;
    Q_EMIT connectionClosed();
}

void FtpClient::closeControl() {
    control_->abort();
    replies_.clear();
    restartSupport_ = -1;
    if (open_) {
        open_ = false;
        Q_EMIT connectionClosed();
    }
}

void FtpClient::fail(const QString& message) {
    closeControl();
    throw KorvexError(message);
}

void FtpClient::lost() {
    fail(QStringLiteral("De verbinding met de server is verbroken."));
}

void FtpClient::requireConnected() const {
    if (!connected()) throw KorvexError(QStringLiteral("Niet verbonden met de server."));
}

void FtpClient::readControlBytes(const QDeadlineTimer& deadline, int timeoutMs) {
    for (;;) {
        if (control_->bytesAvailable() > 0) {
            replies_.feed(control_->read(FtpReplyReader::MaxLine + 1));
            return;
        }
        if (control_->state() != QAbstractSocket::ConnectedState) lost();
        if (!control_->waitForReadyRead(resterend(deadline))) {
            if (control_->bytesAvailable() > 0) continue;
            if (control_->state() != QAbstractSocket::ConnectedState) lost();
            if (deadline.hasExpired())
                fail(QStringLiteral("Time-out: de server antwoordde niet binnen %1.")
                         .arg(duur(timeoutMs)));
        }
    }
}

FtpClient::Reply FtpClient::readReply(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    Reply reply;
    for (;;) {
        switch (replies_.next(reply)) {
            case FtpReplyReader::Status::Complete:
                return reply;
            case FtpReplyReader::Status::NoCode:
                fail(QStringLiteral("Ongeldig antwoord van de server: \"%1\"")
                         .arg(replies_.offendingLine()));
            case FtpReplyReader::Status::TooLong:
                fail(QStringLiteral("Het antwoord van de server is te lang."));
            case FtpReplyReader::Status::Incomplete:
                readControlBytes(deadline, timeoutMs);
                break;
        }
    }
}

void FtpClient::discardUnsolicited() {
    // Whatever a server said while no command was waiting (typically a 421
    // before it hangs up) is read now, so it is not taken as the answer to
    // the next command.
    if (control_->bytesAvailable() > 0) replies_.feed(control_->read(FtpReplyReader::MaxLine + 1));
    Reply reply;
    while (replies_.next(reply) == FtpReplyReader::Status::Complete)
        if (reply.code == 421) fail(reply.text);
}

void FtpClient::send(const QByteArray& line) {
    requireConnected();
    discardUnsolicited();
    control_->write(line + "\r\n");
    const QDeadlineTimer deadline(replyTimeoutMs_);
    while (control_->bytesToWrite() > 0) {
        if (control_->state() != QAbstractSocket::ConnectedState) lost();
        if (!control_->waitForBytesWritten(resterend(deadline))) {
            if (control_->state() != QAbstractSocket::ConnectedState) lost();
            if (deadline.hasExpired())
                fail(QStringLiteral("Time-out: de server nam binnen %1 geen opdracht aan.")
                         .arg(duur(replyTimeoutMs_)));
        }
    }
}

FtpClient::Reply FtpClient::readFinalReply() {
    // A preliminary (1xx) reply is followed by the one that ends the command.
    Reply reply = readReply(replyTimeoutMs_);
    while (reply.code < 200) reply = readReply(replyTimeoutMs_);
    return reply;
}

FtpClient::Reply FtpClient::command(const QByteArray& line) {
    send(line);
    return readFinalReply();
}

void FtpClient::connect() {
    weigerOnveilig(user_, QStringLiteral("De gebruikersnaam"));
    weigerOnveilig(password_, QStringLiteral("Het wachtwoord"));
    closeControl();
    machineListing_ = false;
    type_ = TransferType::Ascii;

    control_->connectToHost(host_, port_, QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
    if (!control_->waitForConnected(connectTimeoutMs_)) {
        const bool tijd = control_->error() == QAbstractSocket::SocketTimeoutError ||
                          control_->state() != QAbstractSocket::UnconnectedState;
        const QString reden = tijd ? QStringLiteral("Time-out: geen verbinding met %1 binnen %2.")
                                         .arg(host_, duur(connectTimeoutMs_))
                                   : control_->errorString();
        control_->abort();
        throw KorvexError(reden);
    }
    open_ = true;
    Q_EMIT connectionEstablished();

    Reply greeting = readReply(replyTimeoutMs_);
    while (greeting.code < 200) {
        Q_EMIT preliminaryBanner(greeting.text);
        greeting = readReply(replyTimeoutMs_);
    }
    if (greeting.code != 220) fail(greeting.text);

    Reply reply = command("USER " + user_.toUtf8());
    if (reply.code == 331) reply = command("PASS " + password_.toUtf8());
    if (reply.code == 332) {
        Q_EMIT accountRequested();
        reply = command("ACCT ");
    }
    if (reply.code != 230 && reply.code != 202) fail(reply.text);
    Q_EMIT loggedIn();

    const Reply features = command("FEAT");
    if (features.code == 211) {
        const QStringList lines = features.text.split(QLatin1Char('\n'));
        for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
            const QString naam = lines[i].trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
            if (naam == QLatin1String("MLSD") || naam == QLatin1String("MLST"))
                machineListing_ = true;
        }
    }
}

void FtpClient::disconnect() {
    if (connected()) {
        try {
            send("QUIT");
            readReply(std::min(replyTimeoutMs_, 5000));
        } catch (const KorvexError&) {
            // Leaving is all that is wanted; a server gone already is fine.
        }
    }
    closeControl();
}

void FtpClient::changeDir(const QString& folder) {
    weigerOnveilig(folder, QStringLiteral("De mapnaam"));
    const Reply reply = command("CWD " + folder.toUtf8());
    if (reply.code != 200 && reply.code != 250) throw KorvexError(reply.text);
}

void FtpClient::setTransferType(TransferType type) {
    type_ = type;
    if (!connected()) return;
    const Reply reply = command(type == TransferType::Ascii ? "TYPE A" : "TYPE I");
    if (reply.code != 200) throw KorvexError(reply.text);
}

bool FtpClient::probeRestart() {
    if (command("REST 1").code != 350) return false;
    // Back to the start, so the marker of the probe moves no transfer.
    return command("REST 0").code == 350;
}

void FtpClient::transfer(const QByteArray& commandLine, qint64 restartAt, const Sink& sink) {
    requireConnected();
    const QHostAddress server = control_->peerAddress();
    std::unique_ptr<QTcpSocket> data;
    QTcpServer listener;
    listener.setProxy(QNetworkProxy::NoProxy);

    if (passive_) {
        const Reply reply = command("PASV");
        if (reply.code != 227) throw KorvexError(reply.text);
        const quint16 port = pasvPort(reply.text);
        if (port == 0)
            throw KorvexError(
                QStringLiteral("Ongeldig antwoord van de server op PASV: \"%1\"").arg(reply.text));
        data = std::make_unique<QTcpSocket>();
        data->setProxy(QNetworkProxy::NoProxy);
        data->connectToHost(server, port);
        if (!data->waitForConnected(connectTimeoutMs_)) {
            if (data->error() == QAbstractSocket::SocketTimeoutError ||
                data->state() != QAbstractSocket::UnconnectedState)
                fail(QStringLiteral("Time-out: geen gegevensverbinding met de server binnen %1.")
                         .arg(duur(connectTimeoutMs_)));
            throw KorvexError(data->errorString());
        }
    } else {
        const QHostAddress local = control_->localAddress();
        if (!listener.listen(local, 0)) throw KorvexError(listener.errorString());
        const quint32 a = local.toIPv4Address();
        const quint16 p = listener.serverPort();
        const QByteArray port =
            QByteArray::number(a >> 24) + ',' + QByteArray::number((a >> 16) & 255) + ',' +
            QByteArray::number((a >> 8) & 255) + ',' + QByteArray::number(a & 255) + ',' +
            QByteArray::number(p >> 8) + ',' + QByteArray::number(p & 255);
        const Reply reply = command("PORT " + port);
        if (reply.code != 200) throw KorvexError(reply.text);
    }

    if (restartAt > 0) {
        const Reply reply = command("REST " + QByteArray::number(restartAt));
        if (reply.code != 350) throw KorvexError(reply.text);
    }

    send(commandLine);
    const Reply go = readReply(replyTimeoutMs_);
    if (go.code == 226 || go.code == 250) return;  // nothing to send
    if (go.code >= 200) throw KorvexError(go.text);

    if (!passive_) {
        const QDeadlineTimer deadline(dataTimeoutMs_);
        while (!data) {
            if (!listener.hasPendingConnections() &&
                !listener.waitForNewConnection(resterend(deadline))) {
                fail(QStringLiteral("Time-out: de server opende binnen %1 geen gegevensverbinding.")
                         .arg(duur(dataTimeoutMs_)));
            }
            QTcpSocket* binnen = listener.nextPendingConnection();
            if (!binnen) continue;
            binnen->setParent(nullptr);
            std::unique_ptr<QTcpSocket> kandidaat(binnen);
            // Only the server itself may deliver the data.
            if (kandidaat->peerAddress().isEqual(server, QHostAddress::ConvertV4MappedToIPv4))
                data = std::move(kandidaat);
            else
                kandidaat->abort();
        }
        listener.close();
    }

    try {
        QByteArray blok(DataBlock, Qt::Uninitialized);
        for (;;) {
            const qint64 n = data->read(blok.data(), DataBlock);
            if (n > 0) {
                sink(blok.constData(), n);
                continue;
            }
            if (n < 0 || data->state() != QAbstractSocket::ConnectedState) break;
            if (!data->waitForReadyRead(dataTimeoutMs_)) {
                if (data->bytesAvailable() > 0) continue;
                if (data->state() != QAbstractSocket::ConnectedState ||
                    data->error() == QAbstractSocket::RemoteHostClosedError)
                    break;
                // What came is written already; the server is silent.
                data->abort();
                fail(QStringLiteral("Time-out: de server zond binnen %1 geen gegevens.")
                         .arg(duur(dataTimeoutMs_)));
            }
        }
    } catch (const KorvexError&) {
        if (connected()) {
            // Our own side failed: end the transfer and keep the control
            // connection in step by taking the server's answer to that.
            data->abort();
            try {
                readFinalReply();
            } catch (const KorvexError&) {
            }
        }
        throw;
    }

    const Reply final = readFinalReply();
    if (final.code != 226 && final.code != 250) throw KorvexError(final.text);
}

void FtpClient::list(QStringList& lines) {
    FtpListing listing(lines);
    qint64 totaal = 0;
    transfer(machineListing_ ? "MLSD" : "LIST", 0, [&](const char* bytes, qint64 size) {
        totaal += size;
        if (totaal > MaxListingBytes)
            throw KorvexError(QStringLiteral("De maplijst van de server is te groot."));
        listing.feed(QByteArrayView(bytes, size));
    });
    listing.finish();
    Q_EMIT listingReceived();
}

void FtpClient::fetch(const QString& remoteName, const QString& localPath, bool overwrite,
                      bool resume) {
    weigerOnveilig(remoteName, QStringLiteral("De bestandsnaam"));
    requireConnected();
    if (resume && restartSupport_ < 0) restartSupport_ = probeRestart() ? 1 : 0;

    const QFileInfo info(localPath);
    const bool bestaat = info.exists();
    const bool aanvullen = !overwrite && bestaat;
    if (aanvullen && (!resume || restartSupport_ != 1))
        throw KorvexError(QStringLiteral("Het doelbestand \"%1\" bestaat al.").arg(localPath));
    const qint64 vanaf = aanvullen ? info.size() : 0;

    QFile file;
    Bestand::OpenOmTeSchrijven(file, localPath, aanvullen);
    transfer("RETR " + remoteName.toUtf8(), vanaf, [&](const char* bytes, qint64 size) {
        if (file.write(bytes, size) != size)
            throw KorvexError(QStringLiteral("Kan niet schrijven naar \"%1\": %2")
                                  .arg(localPath, file.errorString()));
    });
    file.close();
}

}  // namespace korvex::net
