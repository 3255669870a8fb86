#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <memory>

#include "tests/support/HostProcess.h"

namespace korvex::test {

// A port on 127.0.0.1 where nothing listens for as long as the socket lives:
// bound, never listening, and not shared, so nobody else can take it meanwhile.
inline bool BindZonderLuisteren(QTcpSocket& socket) {
    return socket.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
}

// A test peer script under tests/peers/, run with the system's Python. It
// prints "PORT <n>" as its first line once it listens, and ends when its
// standard input closes, so it never outlives the test.
class PeerProcess {
  public:
    ~PeerProcess() { stop(); }

    // Starts tests/peers/<script> with the arguments and waits for its port
    // (blocking, no event loop needed); false (and *error) on failure.
    bool start(const QString& script, const QStringList& arguments, QString* error);
    void stop();
    bool isRunning() const { return process_ && process_->isRunning(); }
    quint16 port() const { return port_; }

  private:
    std::unique_ptr<HostProcess> process_;
    quint16 port_ = 0;
};

}  // namespace korvex::test
