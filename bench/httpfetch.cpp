// Drives the HTTP client from the command line for bench/http.py:
//   korvex_bench_http URL LOCAL
// Fetches URL into LOCAL while a 100 ms timer runs in the same event loop,
// and prints the elapsed milliseconds, the bytes received, how late the
// timer was at worst (ms) and how many document-data events came.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "net/HttpClient.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: korvex_bench_http URL LOCAL\n");
        return 2;
    }
    QFile target(args[1]);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "%s\n", qPrintable(target.errorString()));
        return 1;
    }
    korvex::net::HttpClient http;
    http.setUrl(args[0]);
    http.setReceiver(&target);
    qint64 events = 0;
    QObject::connect(&http, &korvex::net::HttpClient::documentData, [&](qint64) { ++events; });

    QElapsedTimer klok;
    qint64 vorige = 0, teLaat = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 nu = klok.elapsed();
        teLaat = std::max(teLaat, nu - vorige - 100);
        vorige = nu;
    });
    klok.start();
    timer.start(100);
    try {
        http.get();
    } catch (const korvex::KorvexError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const qint64 ms = klok.elapsed();
    teLaat = std::max(teLaat, ms - vorige - 100);
    target.close();
    std::printf("%lld ms %lld bytes %lld late %lld events\n", ms, http.received(), teLaat, events);
    return 0;
}
