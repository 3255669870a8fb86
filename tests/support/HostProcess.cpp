#include "tests/support/HostProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace korvex::test {

namespace {
int Rest(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(1, deadline.remainingTime()));
}
}  // namespace

bool HostProcess::start(const QString& program, const QStringList& arguments, int msecs) {
    kill();
    received_.clear();
    output_.clear();
    started_ = finished_ = false;
    exitCode_ = -1;
    error_.clear();

    const QByteArray launcher = qgetenv("KORVEX_HOST_LAUNCHER");
    if (launcher.isEmpty()) {
        local_ = std::make_unique<QProcess>();
        local_->setProcessChannelMode(mode_);
        local_->start(program, arguments);
        if (local_->waitForStarted(msecs)) return started_ = true;
        error_ = local_->errorString();
        local_.reset();
        return false;
    }

    const QList<QByteArray> parts = launcher.split(' ');
    bool ok = false;
    const quint16 port = parts.size() == 2 ? parts[0].toUShort(&ok) : 0;
    if (!ok || port == 0) {
        error_ = QStringLiteral("KORVEX_HOST_LAUNCHER is not \"<port> <token>\"");
        return false;
    }
    socket_ = std::make_unique<QTcpSocket>();
    socket_->connectToHost(QHostAddress::LocalHost, port);
    if (!socket_->waitForConnected(msecs)) {
        error_ = QStringLiteral("host launcher: ") + socket_->errorString();
        socket_.reset();
        return false;
    }
    QJsonObject request{
        {QStringLiteral("token"), QString::fromLatin1(parts[1])},
        {QStringLiteral("program"), program},
        {QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
        {QStringLiteral("cwd"), QDir::currentPath()},
        {QStringLiteral("merge"), mode_ == QProcess::MergedChannels},
    };
    socket_->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    const QDeadlineTimer deadline(msecs);
    while (!started_ && !finished_) {
        if (deadline.hasExpired() || !readFrames(Rest(deadline))) {
            if (error_.isEmpty()) error_ = QStringLiteral("host launcher did not start ") + program;
            socket_.reset();
            return false;
        }
    }
    if (!started_) socket_.reset();
    return started_;
}

void HostProcess::sendFrame(char kind, const QByteArray& data) {
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) return;
    char head[5] = {kind};
    qToBigEndian(quint32(data.size()), head + 1);
    socket_->write(head, 5);
    socket_->write(data);
    socket_->waitForBytesWritten(3000);
}

// Waits up to msecs for bytes from the launcher and takes apart the whole
// frames among them; false when nothing came and nothing more will.
bool HostProcess::readFrames(int msecs) {
    if (!socket_) return false;
    if (socket_->bytesAvailable() == 0 && !socket_->waitForReadyRead(msecs)) return false;
    received_ += socket_->readAll();
    while (received_.size() >= 5) {
        const quint32 length = qFromBigEndian<quint32>(received_.constData() + 1);
        if (quint32(received_.size() - 5) < length) break;
        const char kind = received_[0];
        const QByteArray data = received_.mid(5, qsizetype(length));
        received_.remove(0, 5 + qsizetype(length));
        switch (kind) {
            case 'S':
                started_ = true;
                break;
            case 'F':
                error_ = QStringLiteral("host launcher: ") + QString::fromUtf8(data);
                finished_ = true;
                break;
            case 'O':
                output_ += data;
                break;
            case 'E':
                // Complaints of the program belong in the test output.
                if (mode_ == QProcess::ForwardedErrorChannel ||
                    mode_ == QProcess::ForwardedChannels) {
                    std::fwrite(data.constData(), 1, size_t(data.size()), stderr);
                    std::fflush(stderr);
                }
                break;
            case 'X': {
                bool ok = false;
                const int code = data.toInt(&ok);
                exitCode_ = ok && code >= 0 ? code : -1;
                finished_ = true;
                break;
            }
            default:
                break;
        }
    }
    return true;
}

bool HostProcess::isRunning() const {
    if (local()) return local_->state() == QProcess::Running;
    return socket_ && started_ && !finished_;
}

bool HostProcess::canReadLine() const {
    return local() ? local_->canReadLine() : output_.contains('\n');
}

QByteArray HostProcess::readLine() {
    if (local()) return local_->readLine();
    const qsizetype end = output_.indexOf('\n');
    const QByteArray line = output_.left(end < 0 ? output_.size() : end + 1);
    output_.remove(0, line.size());
    return line;
}

QByteArray HostProcess::readAllStandardOutput() {
    if (local()) return local_->readAllStandardOutput();
    return std::exchange(output_, QByteArray());
}

bool HostProcess::waitForReadyRead(int msecs) {
    if (local()) return local_->waitForReadyRead(msecs);
    const qsizetype before = output_.size();
    const QDeadlineTimer deadline(msecs);
    while (output_.size() == before && !finished_) {
        if (deadline.hasExpired() || !readFrames(Rest(deadline))) return false;
    }
    return output_.size() > before;
}

void HostProcess::closeWriteChannel() {
    if (local())
        local_->closeWriteChannel();
    else
        sendFrame('C');
}

bool HostProcess::waitForFinished(int msecs) {
    if (local()) {
        const bool ended =
            local_->state() == QProcess::NotRunning || local_->waitForFinished(msecs);
        if (ended && local_->exitStatus() == QProcess::NormalExit) exitCode_ = local_->exitCode();
        return ended;
    }
    if (!socket_) return true;
    const QDeadlineTimer deadline(msecs);
    while (!finished_) {
        if (deadline.hasExpired()) return false;
        if (!readFrames(Rest(deadline)) && socket_->state() != QAbstractSocket::ConnectedState)
            finished_ = true;  // the launcher went away: so did the program
    }
    return true;
}

void HostProcess::kill() {
    if (local_) {
        if (local_->state() != QProcess::NotRunning) {
            local_->kill();
            local_->waitForFinished(3000);
        }
        local_.reset();
    }
    if (socket_) {
        if (!finished_) sendFrame('K');
        socket_->abort();  // the launcher kills what the connection ran
        socket_.reset();
    }
}

}  // namespace korvex::test
