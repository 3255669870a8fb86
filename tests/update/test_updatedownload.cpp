#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include "net/HttpClient.h"
#include "platform/QtPlatform.h"
#include "tests/support/Bestanden.h"
#include "tests/update/UpdateFixture.h"
#include "update/UpdateDownload.h"

namespace korvex::test {
namespace {

using Uitkomst = UpdateDownload::Uitkomst;

// The download's checks and hand-off against the HTTP peer, with no window:
// the service on a client of its own.
class DownloadDienst : public UpdateTest {
  protected:
    // HEAD announces `aangekondigd` bytes; GET sends `delen`.
    void bied(qint64 aangekondigd, const QJsonArray& delen) {
        peer.respond(QStringLiteral("HEAD /pub/setup.exe"), Kop(aangekondigd));
        peer.route(QStringLiteral("/pub/setup.exe"), delen);
        opdracht.record.DownloadFileURL = peer.url(QStringLiteral("/pub/setup.exe"));
    }
    void bied3000() { bied(3000, {HttpPeer::raw(Kop(3000)), HttpPeer::pattern(3000)}); }

    QString doel() const { return folder.file("TempDownloads/setup.exe"); }
    UpdateDownload::Resultaat download() { return dienst.Download(opdracht); }

    void vergeet() {
        platform.started.clear();
        platform.quitRequests = 0;
        QFile::remove(doel());
    }
    // The checked installer goes to the updater, which is told its path.
    void verwachtOverdracht(const UpdateDownload::Resultaat& uit) {
        ASSERT_EQ(uit.uitkomst, Uitkomst::Gecontroleerd);
        EXPECT_EQ(QDir::fromNativeSeparators(uit.doel), doel());
        EXPECT_EQ(dienst.Overdragen(uit.doel), std::nullopt);
        EXPECT_EQ(platform.quitRequests, 1);
        EXPECT_EQ(platform.started, QStringList{folder.path() + kUpdaterStart +
                                                QDir::toNativeSeparators(doel()) + "'"});
        EXPECT_EQ(Lees(doel()), HttpPeer::patternBytes(3000));
    }
    void verwachtNietsGeinstalleerd(const UpdateDownload::Resultaat& uit) {
        EXPECT_EQ(uit.doel, QString());
        EXPECT_EQ(downloads(), QStringList());
        EXPECT_TRUE(platform.started.isEmpty());
        EXPECT_EQ(platform.quitRequests, 0);
    }

    net::HttpClient http;
    UpdateDownload dienst{http, platform};
    UpdateDownload::Opdracht opdracht;
};

TEST_F(DownloadDienst, ControleertHetGekozenControlegetal) {
    const QString crc = "4636A985", md5 = "A216503CB86D01A23E71E047D4CCF001",
                  sha1 = "5E25A94C1EB80894140B670C6AE18F72D3358EEC";
    struct Geval {
        THashType soort;
        QString crc32, md5, sha1;  // as the manifest lists them
        bool goed;
    };
    // A digest in lower case, or of another file, is damage; so is any
    // digest that is missing while one is asked for. The two not chosen stay
    // right, so only the chosen one can decide.
    const Geval gevallen[] = {
        {THashType::None, crc, md5, sha1, true},
        {THashType::CRC32, crc, md5, sha1, true},
        {THashType::MD5, crc, md5, sha1, true},
        {THashType::SHA1, crc, md5, sha1, true},
        {THashType::CRC32, "4636a985", md5, sha1, false},
        {THashType::CRC32, "00000000", md5, sha1, false},
        {THashType::CRC32, "", md5, sha1, false},
        {THashType::MD5, crc, "a216503cb86d01a23e71e047d4ccf001", sha1, false},
        {THashType::MD5, crc, "00000000000000000000000000000000", sha1, false},
        {THashType::MD5, crc, "", sha1, false},
        {THashType::SHA1, crc, md5, "5e25a94c1eb80894140b670c6ae18f72d3358eec", false},
        {THashType::SHA1, crc, md5, "0000000000000000000000000000000000000000", false},
        {THashType::SHA1, crc, md5, "", false},
        // None checks nothing, whatever the manifest lists.
        {THashType::None, "", "00000000000000000000000000000000", "", true},
    };
    bied3000();
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(::testing::Message() << int(g.soort) << " " << g.crc32.toStdString() << " "
                                          << g.md5.toStdString() << " " << g.sha1.toStdString());
        vergeet();
        opdracht.HashType = g.soort;
        opdracht.record.CRC32Hash = g.crc32;
        opdracht.record.MD5Hash = g.md5;
        opdracht.record.SHA1Hash = g.sha1;
        const UpdateDownload::Resultaat uit = download();
        if (g.goed) {
            verwachtOverdracht(uit);
            continue;
        }
        EXPECT_EQ(uit.uitkomst, Uitkomst::Beschadigd);
        verwachtNietsGeinstalleerd(uit);
    }
}

// Starts programs for real, so the stand-in updater runs.
class StartendPlatform : public ScriptedPlatform {
  public:
    using ScriptedPlatform::ScriptedPlatform;
    bool shellStart(const QString& program, const QString& parameters) override {
        ScriptedPlatform::shellStart(program, parameters);
        return QtPlatform().shellStart(program, parameters);
    }
};

TEST_F(DownloadDienst, OverdrachtStartDeUpdaterMetHetPadTussenApostrofs) {
#ifndef Q_OS_UNIX
    SlaTestOver("the stand-in updater is a shell script");
#else
    const QString map = folder.file("Programma map/");
    ASSERT_TRUE(QDir().mkpath(map + "TempDownloads"));
    const QString uitvoer = folder.file("argumenten.txt");
    Schrijf(map + "KorvexUpdater",
            "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"" + QFile::encodeName(uitvoer) +
                ".deel\"\n"
                "mv \"" +
                QFile::encodeName(uitvoer) + ".deel\" \"" + QFile::encodeName(uitvoer) + "\"\n");
    ASSERT_EQ(::chmod(QFile::encodeName(map + "KorvexUpdater").constData(), 0755), 0);
    StartendPlatform echt(map);
    UpdateDownload echtDienst(http, echt);
    bied3000();
    UpdateDownload::Resultaat uit = echtDienst.Download(opdracht);
    ASSERT_EQ(uit.uitkomst, Uitkomst::Gecontroleerd);
    EXPECT_EQ(echtDienst.Overdragen(uit.doel), std::nullopt);
    EXPECT_EQ(echt.quitRequests, 1);
    for (int i = 0; i < 500 && !QFileInfo::exists(uitvoer); ++i) QThread::msleep(10);
    EXPECT_EQ(Lees(uitvoer), "1\n'" + QFile::encodeName(map) + "TempDownloads/setup.exe'\n");
    ASSERT_TRUE(QFile::remove(map + "KorvexUpdater"));
    uit = echtDienst.Download(opdracht);
    ASSERT_EQ(uit.uitkomst, Uitkomst::Gecontroleerd);
    EXPECT_EQ(echtDienst.Overdragen(uit.doel), "het bestand ontbreekt");
    EXPECT_EQ(echt.quitRequests, 1);
    EXPECT_EQ(Lees(map + "TempDownloads/setup.exe"), HttpPeer::patternBytes(3000));
#endif
}

TEST_F(DownloadDienst, ZonderGrootteOfBijEenFoutBlijftNietsAchter) {
    struct Geval {
        const char* naam;
        QByteArray head;
        QJsonArray get;
        const char* mislukt = nullptr;  // code and reason; none: the size is not known
    };
    const Geval gevallen[] = {
        {"no_length", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", {}},
        {"head_404", "HTTP/1.0 404 Not Found\r\nContent-Length: 3000\r\n\r\n", {}},
        {"get_500", Kop(3), {HttpPeer::raw(Antwoord("", "500 Kapot"))}, "500 Kapot"},
        {"reset_mid_body",
         Kop(3000),
         {HttpPeer::raw(Kop(3000)), HttpPeer::pattern(1000), HttpPeer::sleepMs(100),
          HttpPeer::reset()},
         // Wine hands the peer's reset on as an orderly close.
         OnderWine() ? "404 transfer closed with 2000 bytes remaining to read"
                     : "404 Recv failure: Connection reset by peer"},
        {"get_401", Kop(3), {HttpPeer::raw(Antwoord("abc", "401 Nee"))}, "401 Nee"},
        {"get_short", Kop(3), {HttpPeer::raw(Antwoord("ab"))}, "200 OK"},
    };
    int begonnen = 0;
    QStringList gestopt;
    QObject::connect(&dienst, &UpdateDownload::overdrachtBegint, [&] { ++begonnen; });
    QObject::connect(&dienst, &UpdateDownload::overdrachtGestopt,
                     [&](const QString& mislukt) { gestopt << mislukt; });
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.naam);
        vergeet();
        begonnen = 0;
        gestopt.clear();
        peer.respond(QStringLiteral("HEAD /pub/setup.exe"), g.head);
        peer.route(QStringLiteral("/pub/setup.exe"), g.get);
        opdracht.record.DownloadFileURL = peer.url(QStringLiteral("/pub/setup.exe"));
        const UpdateDownload::Resultaat uit = download();
        EXPECT_EQ(begonnen, g.get.isEmpty() ? 0 : 1);
        EXPECT_EQ(uit.uitkomst, g.mislukt ? Uitkomst::Mislukt : Uitkomst::GrootteOnbekend);
        EXPECT_EQ(uit.mislukt, g.mislukt ? QString(g.mislukt) : QString());
        EXPECT_EQ(gestopt, g.mislukt ? QStringList{g.mislukt} : QStringList());
        verwachtNietsGeinstalleerd(uit);
    }
}

TEST_F(DownloadDienst, OnveiligeNaamWordtGeweigerdVoordatErIetsGebeurt) {
    const QString basis = peer.url(QString());
    for (const QString& naam :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("..\\..\\KorvexSQL"),
          QStringLiteral("a\x01"
                         "b"),
          QStringLiteral("a\u0085b"), QStringLiteral("it's.exe"), QStringLiteral("C:setup.exe"),
          QStringLiteral("setup.exe:stroom"), QStringLiteral("a<b.exe"), QStringLiteral("a|b.exe"),
          QStringLiteral("a\"b.exe"), QStringLiteral("a*b.exe"), QStringLiteral("CON"),
          QStringLiteral("nul.exe"), QStringLiteral("Com1.exe"), QStringLiteral("lpt9.tar.gz"),
          QStringLiteral("setup.exe.")}) {
        SCOPED_TRACE(naam.toStdString());
        vergeet();
        opdracht.record.DownloadFileURL = basis + "/pub/" + naam;
        const UpdateDownload::Resultaat uit = download();
        EXPECT_EQ(uit.uitkomst, Uitkomst::OngeldigeNaam);
        EXPECT_EQ(uit.naam, naam);
        verwachtNietsGeinstalleerd(uit);
    }
    EXPECT_TRUE(peer.requests().isEmpty());
}

TEST_F(DownloadDienst, DoelDatGeenGewoonBestandIsWordtGeweigerd) {
    bied3000();
    const QString buiten = folder.file("buiten.txt");
    Schrijf(buiten, "van de operator");
    struct Geval {
        const char* naam;
        std::function<void()> maak;
        QString fout;
    };
    const QString map = folder.file("TempDownloads");
    const Geval gevallen[] = {
#ifdef Q_OS_UNIX
        {"pipe", [&] { MaakPijp(doel()); }, "\"" + doel() + "\" is geen gewoon bestand."},
        // QFile::link makes a shortcut file on Windows, not a link.
        {"link_outside", [&] { ASSERT_TRUE(QFile::link(buiten, doel())); },
         "\"" + doel() + "\" is geen gewoon bestand."},
#endif
        {"no_folder", [&] { ASSERT_TRUE(QDir(map).removeRecursively()); },
         "Kan het bestand \"setup.exe\" niet openen om te schrijven: de map \"" +
             QDir::toNativeSeparators(map) + "\" bestaat niet."},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.naam);
        g.maak();
        EXPECT_EQ(FoutVan([&] { download(); }), g.fout);
        QFile::remove(doel());
    }
    EXPECT_EQ(Lees(buiten), "van de operator");
    EXPECT_TRUE(peer.requests().isEmpty());
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_TRUE(platform.started.isEmpty());
}

TEST_F(DownloadDienst, SchrijffoutLaatGeenBestandAchter) {
#ifndef Q_OS_UNIX
    SlaTestOver("a full disk is imitated with a POSIX file size limit");
#else
    bied3000();
    // The file may not grow past 1,000 bytes; the write beyond fails.
    const auto oudSignaal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oud{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oud), 0);
    rlimit krap = oud;
    krap.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &krap), 0);
    const QString fout = FoutVan([&] { download(); });
    ::setrlimit(RLIMIT_FSIZE, &oud);
    std::signal(SIGXFSZ, oudSignaal);
    EXPECT_TRUE(fout.startsWith("De ontvangen gegevens kunnen niet worden weggeschreven: "))
        << fout.toStdString();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(downloads(), QStringList());
    EXPECT_TRUE(platform.started.isEmpty());
#endif
}

}  // namespace
}  // namespace korvex::test
