#include "tests/support/PeerProcess.h"

#include <QDeadlineTimer>
#include <algorithm>

namespace korvex::test {

bool PeerProcess::start(const QString& script, const QStringList& arguments, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        stop();
        return false;
    };
    if (isRunning()) return true;
    // The peer's complaints belong in the test output.
    process_ = std::make_unique<HostProcess>(QProcess::ForwardedErrorChannel);
    if (!process_->start(QStringLiteral(KORVEX_PYTHON),
                         QStringList{QStringLiteral(KORVEX_TESTS_DIR "/peers/") + script} +
                             arguments + QStringList{QStringLiteral("--exit-on-stdin-eof")},
                         5000))
        return fail(process_->errorString());

    QDeadlineTimer deadline(10000);
    while (!process_->canReadLine()) {
        if (deadline.hasExpired() || !process_->isRunning())
            return fail(script + QStringLiteral(" did not report its port"));
        process_->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    const QByteArray line = process_->readLine().trimmed();
    if (!line.startsWith("PORT "))
        return fail(QString::fromUtf8("unexpected peer output: " + line));
    bool ok = false;
    const uint port = line.mid(5).toUInt(&ok);
    if (!ok || port == 0 || port > 65535) return fail(QString::fromUtf8("bad port: " + line));
    port_ = quint16(port);
    return true;
}

void PeerProcess::stop() {
    if (!process_) return;
    if (process_->isRunning()) {
        process_->closeWriteChannel();  // the peer exits when its input ends
        process_->waitForFinished(3000);
    }
    process_.reset();  // kills what is still running
}

}  // namespace korvex::test
