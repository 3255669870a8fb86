#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <memory>

namespace korvex::test {

// A program of the build machine (a peer, openssl, tools/sign-update) run for
// a test, blocking, without an event loop. A native test starts it itself;
// a test program under Wine, which cannot pipe a host program's streams, has
// tools/host-launcher.py run it: KORVEX_HOST_LAUNCHER holds the launcher's
// "<port> <token>", and Windows paths among the arguments reach the program
// as host paths.
class HostProcess {
  public:
    explicit HostProcess(QProcess::ProcessChannelMode mode = QProcess::SeparateChannels)
        : mode_(mode) {}
    ~HostProcess() { kill(); }
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Starts the program and waits until it runs; false with errorString().
    bool start(const QString& program, const QStringList& arguments, int msecs = 10000);
    bool isRunning() const;
    bool canReadLine() const;
    QByteArray readLine();
    QByteArray readAllStandardOutput();
    bool waitForReadyRead(int msecs);
    void closeWriteChannel();
    // True once the program has ended within msecs.
    bool waitForFinished(int msecs);
    void kill();
    // The exit code of a program that ended by itself; -1 otherwise.
    int exitCode() const { return exitCode_; }
    QString errorString() const { return error_; }

  private:
    bool readFrames(int msecs);
    void sendFrame(char kind, const QByteArray& data = QByteArray());
    bool local() const { return local_ != nullptr; }

    QProcess::ProcessChannelMode mode_;
    std::unique_ptr<QProcess> local_;
    std::unique_ptr<QTcpSocket> socket_;
    QByteArray received_;  // frames not yet taken apart
    QByteArray output_;    // standard output not yet read
    bool started_ = false;
    bool finished_ = false;
    int exitCode_ = -1;
    QString error_;
};

// The maker's tool, run as a maker would, against the program's own check.
inline QByteArray signUpdate(const QStringList& argumenten, int* code = nullptr) {
    HostProcess tool;
    if (!tool.start(QStringLiteral(KORVEX_TESTS_DIR "/../tools/sign-update"), argumenten) ||
        !tool.waitForFinished(30000))
        return QByteArray();
    if (code) *code = tool.exitCode();
    return tool.readAllStandardOutput();
}

}  // namespace korvex::test
