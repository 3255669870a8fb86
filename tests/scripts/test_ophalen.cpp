#include <QCoreApplication>
#include <QDir>

#include "tests/scripts/ScriptBeheerFixture.h"

namespace korvex::test {
namespace {

QByteArray Inhoud(const QString& naam, int grootte = 3000) {
    QByteArray b;
    while (b.size() < grootte) b += ("-- " + naam + " regel " + QString::number(b.size()) + "\r\n").toUtf8();
    return b.left(grootte);
}

QStringList AllesIn(const QString& map) {
    return QDir(map).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

int Aantal(const QStringList& regels, const QString& begin) {
    return int(std::count_if(regels.begin(), regels.end(),
                             [&](const QString& r) { return r.startsWith(begin); }));
}

TEST_F(ScriptBeheer, ShowingReadsTheVersionIntoCaptionAndKey) {
    Open();
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.2 - 21-08-2013");
    EXPECT_EQ(venster->VersieSleutel, "3-1-2");
    EXPECT_EQ(venster->SQLBestandenLokaal->Directory(), QDir::cleanPath(Lokaal()));
    // The VKM ID was typed with blanks; the database name has none.
    ASSERT_FALSE(db.logins().empty());
    EXPECT_EQ(db.logins().back().database, "KORVEX_42");
    EXPECT_EQ(Verzonden(), QStringList({"select * from DatabaseInstellingen\r\nwhere dat_id=1\r\n"}));
    EXPECT_EQ(venster->size(), QSize(821, 518));
    EXPECT_TRUE(venster->Verbinden->isEnabled());
    EXPECT_FALSE(venster->OphalenBestand->isEnabled());
    EXPECT_FALSE(venster->ScriptUitvoeren->isEnabled());
    EXPECT_FALSE(venster->Verbreken->isEnabled());
    EXPECT_EQ(venster->Verbinden->toolTip(), "Inloggen in de Zelvo Korvex script server");
    EXPECT_TRUE(venster->Controller.isActive());

    // No row: an empty version and the date-time origin.
    Versie(QString(), {});
    Open();
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v - 30-12-1899");
    EXPECT_EQ(venster->VersieSleutel, "");

    // The database refuses: its message in the status bar, the caption as it was.
    vkmId = "43";
    Open();
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder");
    EXPECT_EQ(venster->VersieSleutel, "");
    EXPECT_TRUE(Status().contains("KORVEX_43")) << Status().toStdString();

    // Without the local folder nothing further runs.
    vkmId = "42";
    ASSERT_TRUE(QDir(Lokaal()).removeRecursively());
    db.clearJournal();
    Open();
    EXPECT_EQ(Status(), "De map \"" + QDir::toNativeSeparators(programma.path() + "SQLOnlineScripts") +
                            "\" bestaat niet.");
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder");
    EXPECT_TRUE(Verzonden().isEmpty());
}

TEST_F(ScriptBeheer, OneClickFetchesAtMostFiveInListOrderThenLogsOut) {
    for (const int nieuw : {6, 5}) {
        SCOPED_TRACE(nieuw);
        for (const QString& naam : AllesIn(ftp->root())) QFile::remove(ftp->file(naam));
        for (const QString& naam : AllesIn(Lokaal())) QFile::remove(Lokaal(naam));
        ftp->writeFile("3-1-1.sql", "oud");
        ftp->writeFile("3-1-2.sql", "huidig");
        QStringList verwacht;
        for (int i = 0; i < nieuw; ++i) {
            // Written in reverse, so list order is not the server's order.
            const QString naam = QString("3-1-%1.SQL").arg(8 - i + (6 - nieuw));
            ftp->writeFile(naam, Inhoud(naam));
            verwacht.prepend(naam);
        }
        Open();
        venster->VerbindenClick();
        ASSERT_EQ(Online(), verwacht) << Status().toStdString();
        EXPECT_EQ(venster->SQLBestandenFTP->currentRow(), 0);
        EXPECT_EQ(Status(), "FTP->Directory opgehaald");
        venster->ControllerTimer();
        EXPECT_FALSE(venster->Verbinden->isEnabled());
        EXPECT_TRUE(venster->Verbreken->isEnabled());
        EXPECT_TRUE(venster->OphalenBestand->isEnabled());

        venster->OphalenBestandClick();
        EXPECT_FALSE(venster->FTP.connected());
        EXPECT_EQ(Status(), "FTP->Verbinding verbroken");
        const QStringList vijf = verwacht.mid(0, 5);
        EXPECT_EQ(AllesIn(Lokaal()), vijf) << "nothing else, no leftover partial file";
        for (const QString& naam : vijf) EXPECT_EQ(Lees(Lokaal(naam)), Inhoud(naam));
        EXPECT_EQ(LokaleLijst(), vijf);
        EXPECT_EQ(venster->OverzichtBestanden->FileName(), QDir(Lokaal()).filePath(vijf[0]));
        EXPECT_TRUE(venster->SQLBestandenFTP->isEnabled());
        EXPECT_TRUE(venster->OverzichtBestanden->isEnabled());
        EXPECT_EQ(ftp->commands().last(), "QUIT");

        // Logging in again offers what is left.
        venster->VerbindenClick();
        EXPECT_EQ(Online(), verwacht.mid(5));
        if (nieuw == 6) {
            venster->OphalenBestandClick();
            EXPECT_TRUE(QFile::exists(Lokaal(verwacht[5])));
            EXPECT_TRUE(venster->FTP.connected()) << "one pass does not log out";
            EXPECT_TRUE(Online().isEmpty());
            EXPECT_EQ(venster->SQLBestandenFTP->currentRow(), -1);
        }
        venster->close();
    }
}

TEST_F(ScriptBeheer, ExistingLocalCopyAsksAndNeeFetchesNothing) {
    struct Geval {
        const char* wat;
        bool rest;
        DialogResult antwoord;
        bool compleet;
        QString status;
    };
    const QByteArray heel = Inhoud("3-1-3.sql", 5000);
    for (const Geval& g :
         {Geval{"Nee", true, DialogResult::No, false, "FTP->Directory opgehaald"},
          Geval{"Ja, server restarts", true, DialogResult::Yes, true, "FTP->Directory opgehaald"},
          Geval{"Ja, server cannot restart", false, DialogResult::Yes, false,
                "Het doelbestand \"" + Lokaal("3-1-3.sql") + "\" bestaat al."}}) {
        SCOPED_TRACE(g.wat);
        FtpPeerOptions opties;
        opties.rest = g.rest;
        ftp = std::make_unique<FtpPeer>(opties);
        ASSERT_TRUE(ftp->start());
        ftp->writeFile("3-1-3.sql", heel);
        ftp->writeFile("3-1-4.sql", Inhoud("3-1-4.sql"));
        QFile::remove(Lokaal("3-1-3.sql"));
        Open();
        venster->VerbindenClick();
        ASSERT_EQ(Online(), QStringList({"3-1-3.sql", "3-1-4.sql"}));
        // The copy turns up after the listing.
        Schrijf(Lokaal("3-1-3.sql"), heel.left(1200));
        platform.answer(g.antwoord);
        venster->OphalenBestandClick();
        ASSERT_EQ(platform.dialogs.size(), 1u);
        EXPECT_EQ(platform.dialogs[0].caption, "Korvex® bevestiging");
        EXPECT_EQ(platform.dialogs[0].text, "Zelvo Korvex SQL script bestaat al, toch downloaden?");
        EXPECT_EQ(platform.dialogs[0].buttons, QStringList({"&Ja", "&Nee"}));
        platform.dialogs.clear();
        EXPECT_EQ(Lees(Lokaal("3-1-3.sql")), g.compleet ? heel : heel.left(1200));
        EXPECT_FALSE(QFile::exists(Lokaal("3-1-4.sql"))) << "the batch ends after the question";
        EXPECT_EQ(Aantal(ftp->commands(), "RETR"), g.antwoord == DialogResult::Yes && g.rest ? 1 : 0);
        EXPECT_EQ(Status(), g.status);
        // Re-read after a fetch that returned; a failed one leaves it as it was.
        EXPECT_EQ(venster->OverzichtBestanden->currentRow(), g.rest ? 0 : -1);
        venster->close();
    }
}

TEST_F(ScriptBeheer, FailedFetchLeavesNoFileAndIsOfferedAgainOnlyInANewWindow) {
    struct Geval {
        const char* wat;
        FtpPeerOptions opties;
        bool verbonden;
        QString status;
    };
    FtpPeerOptions breekt;
    breekt.dropAfter = 1000;
    FtpPeerOptions stokt;
    stokt.stallAfter = 1000;
    // A fetch that fails keeps its text over that of the listing after it.
    for (const Geval& g : {Geval{"dropped", breekt, true, "426 Connection closed; transfer aborted."},
                           Geval{"silent", stokt, false,
                                 "Time-out: de server zond binnen 400 ms geen gegevens."}}) {
        SCOPED_TRACE(g.wat);
        ftp = std::make_unique<FtpPeer>(g.opties);
        ASSERT_TRUE(ftp->start());
        ftp->writeFile("3-1-3.sql", Inhoud("3-1-3.sql", 300000));
        ftp->writeFile("3-1-4.sql", Inhoud("3-1-4.sql", 500));
        auto context = Context();
        context.server.gegevensTimeoutMs = 400;
        venster = std::make_unique<scripts::TFKorvexFTP>(platform, context);
        venster->show();
        venster->VerbindenClick();
        venster->OphalenBestandClick();
        EXPECT_EQ(Status(), g.status);
        EXPECT_EQ(venster->FTP.connected(), g.verbonden);
        EXPECT_EQ(AllesIn(Lokaal()), QStringList()) << "no partial file, hidden or not";
        EXPECT_TRUE(LokaleLijst().isEmpty());
        if (g.verbonden) {
            EXPECT_EQ(Online(), QStringList({"3-1-4.sql"}));
        }

        // Logging in again within this window does not offer it; the next
        // window does.
        venster->VerbindenClick();
        EXPECT_EQ(Online(), QStringList({"3-1-4.sql"}));
        venster->close();
        venster = std::make_unique<scripts::TFKorvexFTP>(platform, context);
        venster->show();
        venster->VerbindenClick();
        EXPECT_EQ(Online(), QStringList({"3-1-3.sql", "3-1-4.sql"}));
        // The window stays usable, and closing always works.
        venster->close();
        EXPECT_FALSE(venster->isVisible());
        EXPECT_FALSE(venster->FTP.connected());
    }
}

TEST_F(ScriptBeheer, HostileListingNamesAreNeverOfferedOrWritten) {
    FtpPeerOptions opties;
    opties.listing = "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ../4-0-0.sql\r\n"
                     "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ../../4-0-1.sql\r\n"
                     "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 /tmp/4-0-2.sql\r\n"
                     "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ..\\4-0-3.sql\r\n"
                     "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ..\r\n"
                     "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 4-0-4\x01.sql\r\n"
                     "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 4-0-5.sql\r\n";
    ftp = std::make_unique<FtpPeer>(opties);
    ASSERT_TRUE(ftp->start());
    ftp->writeFile("4-0-5.sql", "ok");
    Open();
    venster->VerbindenClick();
    EXPECT_EQ(Online(), QStringList({"4-0-5.sql"}));
    venster->OphalenBestandClick();
    EXPECT_EQ(AllesIn(programma.path()), QStringList({"SQLOnlineScripts"}));
    EXPECT_EQ(AllesIn(Lokaal()), QStringList({"4-0-5.sql"}));
    EXPECT_EQ(Aantal(ftp->commands(), "RETR"), 1);
}

TEST_F(ScriptBeheer, ClosingLogsOutStopsTheTimerAndKeepsTheDatabaseUntilDestroyed) {
    ftp->writeFile("3-1-3.sql", "x");
    Open();
    venster->VerbindenClick();
    ASSERT_TRUE(venster->FTP.connected());
    venster->BtnSluit->click();
    EXPECT_FALSE(venster->isVisible());
    EXPECT_FALSE(venster->FTP.connected());
    EXPECT_EQ(ftp->commands().last(), "QUIT");
    EXPECT_FALSE(venster->Controller.isActive());
    EXPECT_TRUE(venster->ADO.isOpen());
    venster.reset();
    EXPECT_TRUE(db.waitForDisconnects(1));
}

}  // namespace
}  // namespace korvex::test
