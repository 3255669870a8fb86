#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include "platform/QtPlatform.h"
#include "tests/support/Bestanden.h"
#include "tests/update/UpdateFixture.h"
#include "update/LumoAppUpdateDownload.h"

namespace korvex::test {
namespace {

// Counts the download windows shown while it exists.
struct ToonTeller : QObject {
    ToonTeller() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<TLumoAppUpdateDownloadBox*>(object))
            ++keer;
        return false;
    }
    int keer = 0;
};

class Download : public UpdateTest {
  protected:
    void SetUp() override {
        UpdateTest::SetUp();
        notify = std::make_unique<TLumoAppUpdateNotifyBox>(platform);
    }
    void TearDown() override {
        notify.reset();
        UpdateTest::TearDown();
    }

    // HEAD announces `aangekondigd` bytes; GET sends `delen`.
    void bied(qint64 aangekondigd, const QJsonArray& delen) {
        peer.respond(QStringLiteral("HEAD /pub/setup.exe"), Kop(aangekondigd));
        peer.route(QStringLiteral("/pub/setup.exe"), delen);
        notify->record.DownloadFileURL = peer.url(QStringLiteral("/pub/setup.exe"));
    }
    void bied3000() { bied(3000, {HttpPeer::raw(Kop(3000)), HttpPeer::pattern(3000)}); }

    QString doel() const { return folder.file("TempDownloads/setup.exe"); }
    TLumoAppUpdateDownloadBox* venster() const { return notify->downloadBox; }
    void download() { TLumoAppUpdateDownloadBox::Download(*notify); }

    void vergeet() {
        platform.dialogs.clear();
        platform.started.clear();
        platform.quitRequests = 0;
        QFile::remove(doel());
    }
    void verwachtOverdracht() {
        ASSERT_EQ(platform.dialogs.size(), 1u);
        EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Information);
        EXPECT_EQ(platform.dialogs[0].text,
                  QStringLiteral("Zelvo Korvex® Fernaxo gaat nu starten"));
        EXPECT_EQ(platform.quitRequests, 1);
        EXPECT_EQ(platform.started, QStringList{folder.path() + kUpdaterStart +
                                                QDir::toNativeSeparators(doel()) + "'"});
        EXPECT_EQ(Lees(doel()), HttpPeer::patternBytes(3000));
    }
    void verwachtNietsGeinstalleerd() {
        EXPECT_EQ(downloads(), QStringList());
        EXPECT_TRUE(platform.started.isEmpty());
        EXPECT_EQ(platform.quitRequests, 0);
    }

    std::unique_ptr<TLumoAppUpdateNotifyBox> notify;
};

TEST_F(Download, ControleertHetGekozenControlegetal) {
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
        notify->HashType = g.soort;
        notify->record.CRC32Hash = g.crc32;
        notify->record.MD5Hash = g.md5;
        notify->record.SHA1Hash = g.sha1;
        platform.answer(DialogResult::OK);
        download();
        if (g.goed) {
            verwachtOverdracht();
            continue;
        }
        ASSERT_EQ(platform.dialogs.size(), 1u);
        EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Error);
        EXPECT_EQ(platform.dialogs[0].text, "De download is beschadigd.");
        verwachtNietsGeinstalleerd();
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

TEST_F(Download, OverdrachtStartDeUpdaterMetHetPadTussenApostrofs) {
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
    TLumoAppUpdateNotifyBox box(echt);
    bied3000();
    box.record.DownloadFileURL = notify->record.DownloadFileURL;
    echt.answer(DialogResult::OK);
    TLumoAppUpdateDownloadBox::Download(box);
    EXPECT_EQ(echt.quitRequests, 1);
    for (int i = 0; i < 500 && !QFileInfo::exists(uitvoer); ++i) QThread::msleep(10);
    EXPECT_EQ(Lees(uitvoer), "1\n'" + QFile::encodeName(map) + "TempDownloads/setup.exe'\n");
    ASSERT_TRUE(QFile::remove(map + "KorvexUpdater"));
    echt.answer(DialogResult::OK);
    echt.answer(DialogResult::OK);
    TLumoAppUpdateDownloadBox::Download(box);
    EXPECT_EQ(echt.quitRequests, 1);
    EXPECT_EQ(echt.dialogs.back().text,
              "Het updateprogramma KorvexUpdater kan niet worden gestart: het bestand ontbreekt.");
    EXPECT_EQ(Lees(map + "TempDownloads/setup.exe"), HttpPeer::patternBytes(3000));
#endif
}

TEST_F(Download, AfbrekenVraagtEerst) {
    for (const int manier : {0, 1, 2}) {  // Nee, Ja, Ja to closing the window
        const bool afbreken = manier > 0;
        SCOPED_TRACE(manier);
        vergeet();
        // The body waits until the window has been seen and the button pressed.
        bied(3000, {HttpPeer::raw(Kop(3000)), peer.gate("inhoud"), HttpPeer::pattern(3000)});
        QString overdracht, status, bestand, titel;
        bool timerLoopt = false, knopAan = true;
        terwijl([&] {
            if (venster() == nullptr || !venster()->isVisible()) return false;
            overdracht = venster()->TransferLabel->text();
            status = venster()->StatusLabel->text();
            bestand = venster()->FileLabel->text();
            titel = venster()->windowTitle();
            manier == 2 ? void(venster()->close()) : venster()->CancelButton->click();
            timerLoopt = venster()->Timer1->isActive();
            knopAan = venster()->CancelButton->isEnabled();
            peer.openGate("inhoud");
            return true;
        });
        platform.answer(afbreken ? DialogResult::Yes : DialogResult::No);
        platform.answer(DialogResult::OK);  // the report, or the hand-off
        download();
        EXPECT_EQ(titel, "Download nieuwe versie");
        EXPECT_EQ(bestand, "setup.exe");
        EXPECT_EQ(status, "Download bestand");
        EXPECT_EQ(overdracht, "0 B of 2 KB (0%)");
        ASSERT_EQ(platform.dialogs.size(), 2u);
        EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Confirmation);
        EXPECT_EQ(platform.dialogs[0].text, "Deze software update afbreken?");
        EXPECT_EQ(timerLoopt, !afbreken);
        EXPECT_EQ(knopAan, !afbreken);
        if (afbreken) {
            EXPECT_EQ(platform.dialogs[1].kind, DialogKind::Error);
            EXPECT_EQ(platform.dialogs[1].text, "De software update werd afgebroken.");
            verwachtNietsGeinstalleerd();
        } else {
            platform.dialogs.erase(platform.dialogs.begin());
            verwachtOverdracht();
        }
    }
}

TEST_F(Download, SnelheidEnTijdenVolgenDeKlok) {
    struct Geval {
        qint64 aangekondigd, ontvangen;
        int seconden;
        const char *snelheid, *verstreken, *resterend, *overdracht;
    };
    const Geval gevallen[] = {
        {2097152, 1048576, 4, "256 KB/sec", "00:00:04", "00:00:04", "1.024 KB of 2 MB (50%)"},
        {10000000, 2500000, 10, "244 KB/sec", "00:00:10", "00:00:30", "2 MB of 9 MB (25%)"},
        {10000000, 2500000, 75, "32 KB/sec", "00:01:15", "00:03:45", "2 MB of 9 MB (25%)"},
        // Across midnight the time still counts on.
        {10000000, 2500000, 90000, "27 B/sec", "25:00:00", "75:00:00", "2 MB of 9 MB (25%)"},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.seconden);
        vergeet();
        bied(g.aangekondigd, {HttpPeer::raw(Kop(g.aangekondigd)), HttpPeer::pattern(g.ontvangen),
                              HttpPeer::stall()});
        platform.clock = QDateTime(QDate(2026, 12, 9), QTime(23, 0));
        QString snelheid, verstreken, resterend, overdracht;
        int balk = -1;
        terwijl([&] {
            if (venster() == nullptr || venster()->HttpCli1->received() < g.ontvangen) return false;
            platform.clock = venster()->StartTime.addSecs(g.seconden);
            venster()->Timer1Timer();
            snelheid = venster()->SpeedLabel->text();
            verstreken = venster()->ElapsedTimeLabel->text();
            resterend = venster()->RemainingTimeLabel->text();
            overdracht = venster()->TransferLabel->text();
            balk = venster()->ProgressBar1->value();
            venster()->CancelButton->click();
            return true;
        });
        platform.answer(DialogResult::Yes);
        platform.answer(DialogResult::OK);
        download();
        EXPECT_EQ(snelheid, g.snelheid);
        EXPECT_EQ(verstreken, g.verstreken);
        EXPECT_EQ(resterend, g.resterend);
        EXPECT_EQ(overdracht, g.overdracht);
        EXPECT_EQ(balk, g.ontvangen);
        verwachtNietsGeinstalleerd();
    }
}

TEST_F(Download, MeerDanAangekondigdToontEenVolleBalk) {
    bied(1000, {HttpPeer::raw(Kop(3000)), HttpPeer::pattern(3000)});
    QString overdracht;
    int balk = -1, maximum = -1;
    platform.onNextDialog([&] {
        overdracht = venster()->TransferLabel->text();
        balk = venster()->ProgressBar1->value();
        maximum = venster()->ProgressBar1->maximum();
    });
    platform.answer(DialogResult::OK);
    download();
    EXPECT_EQ(overdracht, "2 KB of 1.000 B (300%)");
    EXPECT_EQ(maximum, 1000);
    EXPECT_EQ(balk, 1000);
    verwachtOverdracht();
}

TEST_F(Download, ZonderGrootteOfBijEenFoutBlijftNietsAchter) {
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
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.naam);
        vergeet();
        peer.respond(QStringLiteral("HEAD /pub/setup.exe"), g.head);
        peer.route(QStringLiteral("/pub/setup.exe"), g.get);
        notify->record.DownloadFileURL = peer.url(QStringLiteral("/pub/setup.exe"));
        ToonTeller getoond;
        platform.answer(DialogResult::OK);
        download();
        EXPECT_EQ(getoond.keer, g.get.isEmpty() ? 0 : 1);
        ASSERT_EQ(platform.dialogs.size(), 1u);
        EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Error);
        EXPECT_EQ(platform.dialogs[0].text,
                  g.mislukt ? "De download is mislukt: " + QString(g.mislukt) + "."
                            : "De grootte van de download is niet bekend; er is niets gedownload.");
        verwachtNietsGeinstalleerd();
    }
}

TEST_F(Download, OnveiligeNaamWordtGeweigerdVoordatErIetsGebeurt) {
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
        notify->record.DownloadFileURL = basis + "/pub/" + naam;
        platform.answer(DialogResult::OK);
        download();
        ASSERT_EQ(platform.dialogs.size(), 1u);
        EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Error);
        EXPECT_EQ(platform.dialogs[0].text,
                  "Ongeldige bestandsnaam voor de download: \"" + naam + "\"");
        EXPECT_EQ(notify->downloadBox, nullptr);
        verwachtNietsGeinstalleerd();
    }
    EXPECT_TRUE(peer.requests().isEmpty());
}

TEST_F(Download, DoelDatGeenGewoonBestandIsWordtGeweigerd) {
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

}  // namespace
}  // namespace korvex::test

namespace korvex::test {
namespace {

TEST_F(Download, MeldingsvensterBlijftTijdensDeDownload) {
    // The body waits until both windows have been seen.
    bied(3000, {HttpPeer::raw(Kop(3000)), peer.gate("inhoud"), HttpPeer::pattern(3000)});
    notify->show();
    bool beideZichtbaar = false;
    terwijl([&] {
        if (venster() == nullptr || !venster()->isVisible()) return false;
        // A second download and closing the window that owns this one are
        // both turned away while it runs.
        notify->DownloadButton->click();
        notify->ButtonSluiten->click();
        notify->close();
        beideZichtbaar = notify->isVisible() && venster()->isVisible();
        peer.openGate("inhoud");
        return true;
    });
    platform.answer(DialogResult::OK);
    notify->DownloadButton->click();
    EXPECT_TRUE(beideZichtbaar);
    EXPECT_FALSE(notify->isVisible()) << "the window closes once the download has ended";
    int gets = 0;
    for (const HttpRequestSeen& verzoek : peer.requests()) gets += verzoek.method == "GET";
    EXPECT_EQ(gets, 1);
    verwachtOverdracht();
}

TEST_F(Download, SchrijffoutLaatGeenBestandAchter) {
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
    verwachtNietsGeinstalleerd();
#endif
}

}  // namespace
}  // namespace korvex::test
