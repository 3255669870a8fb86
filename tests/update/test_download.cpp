#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

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

// Refuses to start programs, as when the updater is missing.
class WeigerendPlatform : public ScriptedPlatform {
  public:
    using ScriptedPlatform::ScriptedPlatform;
    bool shellStart(const QString& program, const QString& parameters) override {
        ScriptedPlatform::shellStart(program, parameters);
        return false;
    }
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

// Each outcome of the service reaches its one place: the dialog, and the
// status label's "Mislukt: " line while the window shows.
TEST_F(Download, EveryOutcomeReachesItsDialogAndTheStatusLine) {
    struct Geval {
        const char* naam;
        std::function<void()> bied;
        bool getoond;
        QStringList dialogen;
        const char* status = "";  // the status label when the first dialog shows
    };
    const Geval gevallen[] = {
        {"unsafe_name",
         [&] { notify->record.DownloadFileURL = peer.url("/pub/it's.exe"); },
         false,
         {"Ongeldige bestandsnaam voor de download: \"it's.exe\""}},
        {"no_size",
         [&] { bied(0, {}); },
         false,
         {"De grootte van de download is niet bekend; er is niets gedownload."}},
        {"get_500",
         [&] { bied(3, {HttpPeer::raw(Antwoord("", "500 Kapot"))}); },
         true,
         {"De download is mislukt: 500 Kapot."},
         "Mislukt: 500 Kapot"},
        {"damaged",
         [&] {
             bied3000();
             notify->HashType = THashType::CRC32;
             notify->record.CRC32Hash = "00000000";
         },
         true,
         {"De download is beschadigd."},
         "Download bestand"},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.naam);
        vergeet();
        g.bied();
        ToonTeller getoond;
        QString status;
        platform.onNextDialog([&] { status = venster()->StatusLabel->text(); });
        platform.answer(DialogResult::OK);
        download();
        EXPECT_EQ(getoond.keer, g.getoond ? 1 : 0);
        if (g.getoond) EXPECT_EQ(status, g.status);
        QStringList dialogen;
        for (const ShownDialog& d : platform.dialogs) {
            EXPECT_EQ(d.kind, DialogKind::Error);
            dialogen << d.text;
        }
        EXPECT_EQ(dialogen, g.dialogen);
        EXPECT_EQ(venster(), nullptr);
        verwachtNietsGeinstalleerd();
    }

    // A checked installer: the notice first, then the updater.
    vergeet();
    notify->HashType = THashType::None;
    bied3000();
    platform.answer(DialogResult::OK);
    download();
    verwachtOverdracht();

    // An updater that does not start gets its own report; nothing ends.
    WeigerendPlatform weigert(folder.path());
    TLumoAppUpdateNotifyBox box(weigert);
    box.record.DownloadFileURL = notify->record.DownloadFileURL;
    weigert.answer(DialogResult::OK);
    weigert.answer(DialogResult::OK);
    TLumoAppUpdateDownloadBox::Download(box);
    ASSERT_EQ(weigert.dialogs.size(), 2u);
    EXPECT_EQ(weigert.dialogs[1].kind, DialogKind::Error);
    EXPECT_EQ(weigert.dialogs[1].text,
              "Het updateprogramma " + kUpdaterStart.chopped(2) +
                  " kan niet worden gestart: het bestand ontbreekt.");
    EXPECT_EQ(weigert.quitRequests, 0);
    EXPECT_EQ(Lees(doel()), HttpPeer::patternBytes(3000));

    // An error that no outcome names leaves through the handler, the window gone.
    QFile::remove(doel());
    ASSERT_TRUE(QDir(folder.file("TempDownloads")).removeRecursively());
    platform.dialogs.clear();
    EXPECT_EQ(FoutVan([&] { download(); }),
              "Kan het bestand \"setup.exe\" niet openen om te schrijven: de map \"" +
                  QDir::toNativeSeparators(folder.file("TempDownloads")) + "\" bestaat niet.");
    EXPECT_EQ(venster(), nullptr);
    EXPECT_TRUE(platform.dialogs.empty());
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

}  // namespace
}  // namespace korvex::test
