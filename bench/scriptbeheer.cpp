// Drives the script manager window from the command line for bench/scriptbeheer.py:
//   korvex_bench_scripts PROGRAM_FOLDER TDSPORT FTPPORT login
//   korvex_bench_scripts PROGRAM_FOLDER TDSPORT FTPPORT run [PUBLIC_KEY]
// login: times Inloggen (login, listing, filter, list filled and painted) and
// the listing filter on its own. run: times Script uitvoeren on the first
// local script and reads the resident memory around it; with a key, the
// script runs only with the maker's signature beside it.
// Prints one "name value" pair a line; the window's status and log go to stderr.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchPlatform.h"
#include "net/FtpClient.h"
#include "platform/KorvexError.h"
#include "platform/Ondertekening.h"
#include "platform/Platform.h"
#include "scripts/BestandLijst.h"
#include "scripts/KorvexFTP.h"
#include "scripts/MapLijst.h"
#include "scripts/Scriptlijst.h"

namespace {

using namespace korvex;

// A field of /proc/self/status in KiB; -1 when absent.
qint64 statusKib(const char* veld) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return -1;
    const QByteArray sleutel = QByteArray(veld) + ':';
    for (QByteArray regel = f.readLine(); !regel.isEmpty(); regel = f.readLine())
        if (regel.startsWith(sleutel))
            return regel.mid(sleutel.size()).trimmed().split(' ')[0].toLongLong();
    return -1;
}

// The raw listing lines as the window receives them, over a connection of our own.
QStringList ruweLijst(quint16 poort) {
    net::FtpClient ftp;
    ftp.setHost(QStringLiteral("127.0.0.1"));
    ftp.setPort(poort);
    ftp.setUserName(QStringLiteral("korvex"));
    ftp.setPassword(QStringLiteral("geheim"));
    ftp.setPassive(true);
    ftp.connect();
    ftp.changeDir(QStringLiteral("/"));
    ftp.setTransferType(net::FtpClient::TransferType::Ascii);
    QStringList regels;
    ftp.list(regels);
    ftp.disconnect();
    return regels;
}

int login(scripts::TFKorvexFTP& venster, quint16 ftpPoort) {
    QElapsedTimer klok;
    klok.start();
    venster.VerbindenClick();
    // "Shown" includes the paint of the filled list.
    QCoreApplication::processEvents();
    const double ms = klok.nsecsElapsed() / 1e6;
    std::printf("login_ms %.1f\nentries %d\n", ms, venster.SQLBestandenFTP->count());

    const QStringList regels = ruweLijst(ftpPoort);
    // The same predicate the window builds: one set of the local folder's names.
    const QStringList aanwezig = QDir(venster.SQLBestandenLokaal->Directory())
                                     .entryList(QDir::Files | QDir::System | QDir::Hidden);
    const QSet<QString> bekend(aanwezig.begin(), aanwezig.end());
    const QSet<QString> mislukt;
    std::vector<double> tijden;
    qsizetype gefilterd = 0;
    for (int i = 0; i < 21; ++i) {
        klok.restart();
        const QStringList namen = scripts::Scriptlijst::Filter(
            regels, venster.VersieSleutel(),
            [&](const QString& naam) { return bekend.contains(naam) || mislukt.contains(naam); });
        tijden.push_back(klok.nsecsElapsed() / 1e6);
        gefilterd = namen.size();
    }
    std::nth_element(tijden.begin(), tijden.begin() + tijden.size() / 2, tijden.end());
    std::printf("lines %lld\nfiltered %lld\nfilter_ms %.3f\n", qint64(regels.size()),
                qint64(gefilterd), tijden[tijden.size() / 2]);
    return 0;
}

int run(scripts::TFKorvexFTP& venster, const QStringList& logboek) {
    venster.OverzichtBestanden->setCurrentRow(0);
    const QString pad = venster.OverzichtBestanden->FileName();
    if (pad.isEmpty()) {
        std::fprintf(stderr, "no local script in %s\n",
                     qPrintable(venster.OverzichtBestanden->Directory()));
        return 1;
    }
    QCoreApplication::processEvents();
    // libcrypto sets itself up on its first use in a process, whatever it is
    // used for: measured apart, so both runs start from the same state and
    // the click's figures compare the runs themselves.
    const qint64 voorCrypto = statusKib("VmRSS");
    {
        Sha512Teller teller;
        teller.Voeg("x");
        teller.Digest();
        // An all-zero key and signature: the check runs and fails.
        Ed25519Klopt(QString(43, u'A') + u'=', QString(86, u'A') + QStringLiteral("=="), "x");
    }
    const qint64 idle = statusKib("VmRSS");
    const qint64 hwmVoor = statusKib("VmHWM");
    const qint64 grootte = QFileInfo(pad).size();
    QElapsedTimer klok;
    klok.start();
    venster.ScriptUitvoerenClick();
    const double ms = klok.nsecsElapsed() / 1e6;
    const qint64 piek = statusKib("VmHWM");
    std::printf(
        "script %s\nsize %lld\nrun_ms %.1f\nidle_kib %lld\nhwm_before_kib %lld\npeak_kib %lld\n"
        "log_entries %lld\nstill_there %d\ncrypto_init_kib %lld\n",
        qPrintable(QFileInfo(pad).fileName()), grootte, ms, idle, hwmVoor, piek,
        qint64(logboek.size()), int(QFile::exists(pad)), idle - voorCrypto);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 4 || args.size() > 5 ||
        (args[3] != QLatin1String("login") && args[3] != QLatin1String("run"))) {
        std::fprintf(stderr, "usage: korvex_bench_scripts PROGRAM_FOLDER TDSPORT FTPPORT "
                             "login|run [PUBLIC_KEY]\n");
        return 2;
    }
    QString map = QDir(args[0]).absolutePath();
    if (!map.endsWith(u'/')) map += u'/';
    bench::BenchPlatform platform(map, DialogResult::Yes);
    const QString server = QStringLiteral("127.0.0.1,") + args[1];
    const quint16 ftpPoort = quint16(args[2].toUInt());

    QStringList logboek;
    scripts::ScriptBeheerContext context;
    context.velden = [server] {
        return scripts::VerbindingsVelden{server, QStringLiteral("sa"), QStringLiteral("geheim"),
                                          QStringLiteral("42")};
    };
    context.logboek = [&logboek](const QString& tekst) {
        logboek << tekst;
        std::fprintf(stderr, "log: %s\n", qPrintable(tekst.left(500)));
    };
    context.server.host = QStringLiteral("127.0.0.1");
    context.server.port = ftpPoort;
    context.server.gebruiker = QStringLiteral("korvex");
    context.server.wachtwoord = QStringLiteral("geheim");
    context.server.sleutel = args.value(4);

    int rc = 1;
    try {
        scripts::TFKorvexFTP venster(platform, context);
        venster.show();
        QCoreApplication::processEvents();
        if (venster.VersieSleutel().isEmpty()) {
            std::fprintf(stderr, "no version read: %s\n", qPrintable(venster.statusText()));
            return 1;
        }
        std::printf("version_key %s\n", qPrintable(venster.VersieSleutel()));
        rc = args[3] == QLatin1String("login") ? login(venster, ftpPoort) : run(venster, logboek);
        std::fprintf(stderr, "status: %s\n", qPrintable(venster.statusText()));
    } catch (const KorvexError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return rc;
}
