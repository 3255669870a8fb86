// Drives the FTP client from the command line for bench/ftp.py:
//   korvex_bench_ftp PORT USER PASSWORD [--active] fetch REMOTE LOCAL
//   korvex_bench_ftp PORT USER PASSWORD [--active] list
// Prints the elapsed milliseconds of the whole call (connect, login and the
// work) and, for a listing, the number of lines.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>

#include "net/FtpClient.h"
#include "platform/KorvexError.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool active = args.removeAll(QStringLiteral("--active")) > 0;
    if (args.size() < 4) {
        std::fprintf(stderr,
                     "usage: korvex_bench_ftp PORT USER PASSWORD [--active] fetch|list ...\n");
        return 2;
    }
    korvex::net::FtpClient ftp;
    ftp.setHost(QStringLiteral("127.0.0.1"));
    ftp.setPort(quint16(args[0].toUInt()));
    ftp.setUserName(args[1]);
    ftp.setPassword(args[2]);
    ftp.setPassive(!active);
    try {
        QElapsedTimer klok;
        klok.start();
        ftp.connect();
        ftp.changeDir(QStringLiteral("/"));
        if (args[3] == QLatin1String("list")) {
            ftp.setTransferType(korvex::net::FtpClient::TransferType::Ascii);
            QStringList lines;
            ftp.list(lines);
            std::printf("%lld ms %lld lines\n", klok.elapsed(), qint64(lines.size()));
        } else if (args[3] == QLatin1String("fetch") && args.size() == 6) {
            ftp.setTransferType(korvex::net::FtpClient::TransferType::Binary);
            ftp.fetch(args[4], args[5], true, true);
            std::printf("%lld ms\n", klok.elapsed());
        } else {
            std::fprintf(stderr, "unknown command\n");
            return 2;
        }
        ftp.disconnect();
    } catch (const korvex::KorvexError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
