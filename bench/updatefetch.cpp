// Drives the software update from the command line for bench/update.py:
//   korvex_bench_update download PROGRAM_FOLDER URL
//   korvex_bench_update digest md5|sha1|crc32 FILE
//   korvex_bench_update verify KEY SIGNATURE VERSION FILE
// download: runs the download procedure with its window shown into
// PROGRAM_FOLDER/TempDownloads and prints one JSON line: the seconds of the
// whole Download call, the downloaded file, the updater's parameters and how
// late the window's Timer1 ticked at worst. The driver then stays until its
// stdin closes, so the caller can read its peak memory.
// digest: prints the file's digest as the program computes it and the
// seconds it took.
// verify: checks the maker's signature (both in base64) over the statement
// for VERSION and FILE as the download does, and prints "good" or "wrong"
// and the seconds it took.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <vector>

#include "bench/BenchPlatform.h"
#include "update/Controlegetal.h"
#include "update/Handtekening.h"
#include "update/LumoAppUpdateDownload.h"
#include "update/LumoAppUpdateNotify.h"

namespace {

using namespace korvex;

// Answers every message with OK and records what the download hands over:
// the benchmark has no operator and must not start an updater.
class UpdatePlatform : public bench::BenchPlatform {
  public:
    UpdatePlatform(QString folder, const QElapsedTimer& klok)
        : BenchPlatform(std::move(folder), DialogResult::OK), klok_(klok) {}
    DialogResult messageDialog(const QString& text, DialogKind, DialogButtons) override {
        if (eersteMelding < 0) eersteMelding = klok_.elapsed();
        meldingen << text;
        return DialogResult::OK;
    }
    void standardErrorBox(const QString& message) override { meldingen << message; }
    bool shellStart(const QString& program, const QString& parameters) override {
        updater = program;
        updaterParameters = parameters;
        return true;
    }
    void quitProgram() override { gestopt = true; }
    QDateTime now() override {
        if (opNu) opNu();
        return QDateTime::currentDateTime();
    }

    QStringList meldingen;
    qint64 eersteMelding = -1;  // ms on the driver's clock
    QString updater, updaterParameters;
    bool gestopt = false;
    std::function<void()> opNu;

  private:
    const QElapsedTimer& klok_;
};

int download(QString folder, const QString& url) {
    if (!folder.endsWith(u'/')) folder += u'/';
    QElapsedTimer klok;
    klok.start();
    UpdatePlatform platform(folder, klok);
    TLumoAppUpdateNotifyBox notify(platform);
    notify.record.DownloadFileURL = url;
    notify.HashType = THashType::None;

    // Download starts Timer1 and reads the clock right after: that call
    // notes the start and hooks onto the timer, so no probe of our own runs
    // in the event loop.
    std::vector<qint64> ticks;
    qint64 timerStart = -1;
    platform.opNu = [&] {
        TLumoAppUpdateDownloadBox* venster = notify.downloadBox;
        if (timerStart >= 0 || venster == nullptr || !venster->Timer1->isActive()) return;
        QTimer* timer1 = venster->Timer1;
        timerStart = klok.elapsed();
        QObject::connect(timer1, &QTimer::timeout, timer1,
                         [&] { ticks.push_back(klok.elapsed()); });
    };

    const qint64 begin = klok.elapsed();
    try {
        TLumoAppUpdateDownloadBox::Download(notify);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Download failed: %s\n", e.what());
        return 1;
    }
    const qint64 ms = klok.elapsed() - begin;
    if (platform.updaterParameters.isEmpty() || timerStart < 0) {
        std::fprintf(stderr,
                     "no hand-off to the updater (Timer1 %s, %zu ticks, %lld ms); messages: %s\n",
                     timerStart < 0 ? "not seen started" : "started", ticks.size(), ms,
                     qPrintable(platform.meldingen.join(" | ")));
        return 1;
    }

    // Lateness of every tick against the one before; the last gap runs to
    // the first message after the transfer, by which Timer1 had stopped.
    qint64 vorige = timerStart, teLaat = 0;
    QJsonArray intervallen;
    for (const qint64 t : ticks) {
        intervallen.append(t - vorige);
        teLaat = std::max(teLaat, t - vorige - 1000);
        vorige = t;
    }
    teLaat = std::max(teLaat, platform.eersteMelding - vorige - 1000);

    QString pad = platform.updaterParameters;
    if (pad.size() >= 2 && pad.startsWith(u'\'') && pad.endsWith(u'\''))
        pad = pad.mid(1, pad.size() - 2);
    const QJsonObject uit{{"seconds", ms / 1000.0},
                          {"file", pad},
                          {"bytes", QFileInfo(pad).size()},
                          {"updater", platform.updater},
                          {"quit", platform.gestopt},
                          {"messages", QJsonArray::fromStringList(platform.meldingen)},
                          {"ticks", qint64(ticks.size())},
                          {"intervals_ms", intervallen},
                          {"late_ms", teLaat}};
    std::printf("%s\n", QJsonDocument(uit).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

int digest(const QString& soortNaam, const QString& pad) {
    const THashType soort = soortNaam == u"md5"     ? THashType::MD5
                            : soortNaam == u"sha1"  ? THashType::SHA1
                            : soortNaam == u"crc32" ? THashType::CRC32
                                                    : THashType::None;
    if (soort == THashType::None) {
        std::fprintf(stderr, "unknown digest %s\n", qPrintable(soortNaam));
        return 2;
    }
    QElapsedTimer klok;
    klok.start();
    const std::optional<QString> uitkomst = Controlegetal(soort, pad);
    const double seconden = klok.nsecsElapsed() / 1e9;
    if (!uitkomst) {
        std::fprintf(stderr, "no digest of %s\n", qPrintable(pad));
        return 1;
    }
    std::printf("%s %.6f\n", qPrintable(*uitkomst), seconden);
    return 0;
}

int verify(const QStringList& a) {
    QElapsedTimer klok;
    klok.start();
    const bool goed = HandtekeningKlopt(a[0], a[1], a[2], a[3]);
    std::printf("%s %.6f\n", goed ? "good" : "wrong", klok.nsecsElapsed() / 1e9);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "digest")
        return digest(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 6 && QByteArray(argv[1]) == "verify") {
        QStringList a;
        for (int i = 2; i < 6; ++i) a << QString::fromLocal8Bit(argv[i]);
        return verify(a);
    }
    if (argc == 4 && QByteArray(argv[1]) == "download") {
        QApplication app(argc, argv);
        return download(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    std::fprintf(stderr,
                 "usage: korvex_bench_update download PROGRAM_FOLDER URL\n"
                 "       korvex_bench_update digest md5|sha1|crc32 FILE\n"
                 "       korvex_bench_update verify KEY SIGNATURE VERSION FILE\n");
    return 2;
}
