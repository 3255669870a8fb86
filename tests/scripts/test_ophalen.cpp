#include <QCoreApplication>
#include <QDir>

#include "tests/scripts/ScriptBeheerFixture.h"

namespace korvex::test {
namespace {

QByteArray Inhoud(const QString& naam, int grootte = 3000) {
    QByteArray b;
    while (b.size() < grootte)
        b += ("-- " + naam + " regel " + QString::number(b.size()) + "\r\n").toUtf8();
    return b.left(grootte);
}

QStringList AllesIn(const QString& map) {
    return QDir(map).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

int Aantal(const QStringList& regels, const QString& begin) {
    return int(std::count_if(regels.begin(), regels.end(),
                             [&](const QString& r) { return r.startsWith(begin); }));
}

TEST_F(ScriptBeheer, ShowingReadsTheVersionIntoCaptionAndKey) {
    Open();
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.2 - 21-08-2013");
    EXPECT_EQ(venster->VersieSleutel(), "3-1-2");
    EXPECT_EQ(venster->SQLBestandenLokaal->Directory(), QDir::cleanPath(Lokaal()));
    // The VKM ID was typed with blanks; the database name has none.
    ASSERT_FALSE(db.logins().empty());
    EXPECT_EQ(db.logins().back().database, "KORVEX_42");
    EXPECT_EQ(Verzonden(),
              QStringList({"select * from DatabaseInstellingen\r\nwhere dat_id=1\r\n"}));
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
    EXPECT_EQ(venster->VersieSleutel(), "");

    // The database refuses: its message in the status bar, the caption as it was.
    vkmId = "43";
    Open();
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder");
    EXPECT_EQ(venster->VersieSleutel(), "");
    EXPECT_TRUE(Status().contains("KORVEX_43")) << Status().toStdString();

    // Without the local folder nothing further runs.
    vkmId = "42";
    ASSERT_TRUE(QDir(Lokaal()).removeRecursively());
    db.clearJournal();
    Open();
    EXPECT_EQ(Status(), "De map \"" +
                            QDir::toNativeSeparators(programma.path() + "SQLOnlineScripts") +
                            "\" bestaat niet.");
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder");
    EXPECT_TRUE(Verzonden().isEmpty());
}

TEST_F(Sessie, OneBatchFetchesAtMostFiveInListOrderThenLogsOut) {
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
        Nieuw().Openen();
        S().Inloggen(true, Lokaal());
        ASSERT_EQ(S().Aangeboden(), verwacht);

        EXPECT_TRUE(S().OphalenBatch(Lokaal(), waarnemer));
        EXPECT_FALSE(Verbonden());
        const QStringList vijf = verwacht.mid(0, 5);
        EXPECT_EQ(AllesIn(Lokaal()), vijf) << "nothing else, no leftover partial file";
        for (const QString& naam : vijf) EXPECT_EQ(Lees(Lokaal(naam)), Inhoud(naam));
        EXPECT_EQ(lokaalGelezen, 5);
        // Listed afresh after every pass, each time without what was fetched.
        ASSERT_EQ(lijsten.size(), 5);
        EXPECT_EQ(lijsten.first(), verwacht.mid(1));
        EXPECT_EQ(lijsten.last(), verwacht.mid(5));
        EXPECT_EQ(ftp->commands().last(), "QUIT");
        EXPECT_TRUE(meldingen.isEmpty()) << meldingen.join('|').toStdString();

        // Logging in again offers what is left.
        S().Inloggen(true, Lokaal());
        EXPECT_EQ(S().Aangeboden(), verwacht.mid(5));
        if (nieuw == 6) {
            EXPECT_TRUE(S().OphalenBatch(Lokaal(), waarnemer));
            EXPECT_TRUE(QFile::exists(Lokaal(verwacht[5])));
            EXPECT_TRUE(Verbonden()) << "one pass does not log out";
            EXPECT_TRUE(S().Aangeboden().isEmpty());
        }
    }
}

TEST_F(Sessie, ExistingLocalCopyAsksAndNeeFetchesNothing) {
    struct Geval {
        const char* wat;
        bool rest;
        DialogResult antwoord;
        bool compleet;
        QStringList meldingen;
    };
    const QByteArray heel = Inhoud("3-1-3.sql", 5000);
    for (const Geval& g :
         {Geval{"Nee", true, DialogResult::No, false, {}},
          Geval{"Ja, server restarts", true, DialogResult::Yes, true, {}},
          Geval{"Ja, server cannot restart",
                false,
                DialogResult::Yes,
                false,
                {"Het doelbestand \"" + Lokaal("3-1-3.sql") + "\" bestaat al."}}}) {
        SCOPED_TRACE(g.wat);
        FtpPeerOptions opties;
        opties.rest = g.rest;
        ftp = std::make_unique<FtpPeer>(opties);
        ASSERT_TRUE(ftp->start());
        ftp->writeFile("3-1-3.sql", heel);
        ftp->writeFile("3-1-4.sql", Inhoud("3-1-4.sql"));
        QFile::remove(Lokaal("3-1-3.sql"));
        Nieuw().Openen();
        S().Inloggen(false, Lokaal());
        ASSERT_EQ(S().Aangeboden(), QStringList({"3-1-3.sql", "3-1-4.sql"}));
        // The copy turns up after the listing.
        Schrijf(Lokaal("3-1-3.sql"), heel.left(1200));
        antwoord = g.antwoord;
        gevraagd = lokaalGelezen = 0;
        meldingen.clear();
        EXPECT_TRUE(S().OphalenBatch(Lokaal(), waarnemer));
        EXPECT_EQ(gevraagd, 1);
        EXPECT_EQ(Lees(Lokaal("3-1-3.sql")), g.compleet ? heel : heel.left(1200));
        EXPECT_FALSE(QFile::exists(Lokaal("3-1-4.sql"))) << "the batch ends after the question";
        EXPECT_EQ(Aantal(ftp->commands(), "RETR"),
                  g.antwoord == DialogResult::Yes && g.rest ? 1 : 0);
        EXPECT_EQ(meldingen, g.meldingen);
        // Re-read after a fetch that returned; a failed one leaves it as it was.
        EXPECT_EQ(lokaalGelezen, g.rest ? 1 : 0);
    }
}

TEST_F(Sessie, FailedFetchLeavesNoFileAndIsOfferedAgainOnlyInANewSession) {
    struct Geval {
        const char* wat;
        FtpPeerOptions opties;
        bool verbonden;
        QString melding;
    };
    FtpPeerOptions breekt;
    breekt.dropAfter = 1000;
    FtpPeerOptions stokt;
    stokt.stallAfter = 1000;
    for (const Geval& g :
         {Geval{"dropped", breekt, true, "426 Connection closed; transfer aborted."},
          Geval{"silent", stokt, false, "Time-out: de server zond binnen 400 ms geen gegevens."}}) {
        SCOPED_TRACE(g.wat);
        ftp = std::make_unique<FtpPeer>(g.opties);
        ASSERT_TRUE(ftp->start());
        ftp->writeFile("3-1-3.sql", Inhoud("3-1-3.sql", 300000));
        ftp->writeFile("3-1-4.sql", Inhoud("3-1-4.sql", 500));
        auto server = Server();
        server.gegevensTimeoutMs = 400;
        Nieuw(server).Openen();
        S().Inloggen(true, Lokaal());
        meldingen.clear();
        EXPECT_EQ(S().OphalenBatch(Lokaal(), waarnemer), g.verbonden);
        // A fetch that fails keeps its text over that of the listing after it.
        const QStringList verwacht(g.verbonden ? 2 : 1, g.melding);
        EXPECT_EQ(meldingen, verwacht);
        EXPECT_EQ(Verbonden(), g.verbonden);
        EXPECT_EQ(AllesIn(Lokaal()), QStringList()) << "no partial file, hidden or not";
        if (g.verbonden) {
            EXPECT_EQ(S().Aangeboden(), QStringList({"3-1-4.sql"}));
        }

        // Logging in again within this session does not offer it; the next
        // session does.
        S().Inloggen(true, Lokaal());
        EXPECT_EQ(S().Aangeboden(), QStringList({"3-1-4.sql"}));
        Nieuw(server).Openen();
        S().Inloggen(true, Lokaal());
        EXPECT_EQ(S().Aangeboden(), QStringList({"3-1-3.sql", "3-1-4.sql"}));
    }
}

TEST_F(Sessie, WithAKeyOnlyAPairThatVerifiesIsKept) {
    sleutel = Maker("maker.pem");
    Maker("ander.pem");
    const QByteArray heel = Inhoud("3-1-3.sql", 5000), oud = "vorige handtekening\n";
    const QByteArray goed = Handtekening("maker.pem", "3-1-3.sql", heel);
    const QByteArray vreemd = Handtekening("ander.pem", "3-1-3.sql", heel);
    const QString nee =
        "Het script 3-1-3.sql is niet door de maker ondertekend; het is niet bewaard.";
    const QStringList paar = {"3-1-3.sql", "3-1-3.sql.sig"},
                      ander4 = {"3-1-4.sql", "3-1-4.sql.sig"};
    // The signature beside 3-1-3.sql on the server (null: none); whether the
    // operator's copy turns up after the listing (answered Ja); then the
    // local folder, the signature file kept there, and the reports.
    struct Geval {
        QByteArray handtekening;
        bool kopie;
        QStringList bewaard;
        QByteArray lokaal;
        QStringList meldingen;
    };
    // clang-format off
    for (const Geval& g : {Geval{goed, false, paar + ander4, goed, {}},
                           Geval{vreemd, false, {}, {}, {nee, nee}},
                           Geval{Handtekening("maker.pem", "3-1-2.sql", heel), false, {}, {}, {nee, nee}},
                           Geval{{}, false, ander4, {}, {}},
                           Geval{goed, true, paar, goed, {}},
                           Geval{vreemd, true, paar, oud, {nee}}}) {
        // clang-format on
        SCOPED_TRACE(g.bewaard.join(' ').toStdString() + " " + g.lokaal.toStdString());
        for (const QString& naam : AllesIn(ftp->root())) QFile::remove(ftp->file(naam));
        for (const QString& naam : AllesIn(Lokaal())) QFile::remove(Lokaal(naam));
        ftp->writeFile("3-1-3.sql", heel);
        if (!g.handtekening.isNull()) ftp->writeFile("3-1-3.sql.sig", g.handtekening);
        ftp->writeFile("3-1-4.sql", Inhoud("3-1-4.sql"));
        ftp->writeFile("3-1-4.sql.sig",
                       Handtekening("maker.pem", "3-1-4.sql", Inhoud("3-1-4.sql")));
        Nieuw().Openen();
        S().Inloggen(true, Lokaal());
        EXPECT_EQ(S().Aangeboden().size(), g.handtekening.isNull() ? 1 : 2);
        antwoord = DialogResult::Yes;
        if (g.kopie) {
            Schrijf(Lokaal("3-1-3.sql"), heel.left(1200));
            Schrijf(Lokaal("3-1-3.sql.sig"), oud);
        }
        EXPECT_TRUE(S().OphalenBatch(Lokaal(), waarnemer));
        // Nothing else, no partial file; the operator's copy completed in place.
        EXPECT_EQ(AllesIn(Lokaal()), g.bewaard);
        EXPECT_EQ(Lees(Lokaal("3-1-3.sql")), g.bewaard.contains("3-1-3.sql") ? heel : "<missing>");
        EXPECT_EQ(Lees(Lokaal("3-1-3.sql.sig")), g.lokaal.isNull() ? "<missing>" : g.lokaal);
        EXPECT_EQ(meldingen, g.meldingen);
        S().Inloggen(true, Lokaal());
        EXPECT_FALSE(S().Aangeboden().contains("3-1-3.sql"));
    }
}

TEST_F(Sessie, HostileListingNamesAreNeverOfferedOrWritten) {
    FtpPeerOptions opties;
    opties.listing =
        "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ../4-0-0.sql\r\n"
        "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ../../4-0-1.sql\r\n"
        "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 /tmp/4-0-2.sql\r\n"
        "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ..\\4-0-3.sql\r\n"
        "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 ..\r\n"
        "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 4-0-4\x01.sql\r\n"
        "-rw-r--r-- 1 ftp ftp 3 Aug 21 10:00 4-0-5.sql\r\n";
    ftp = std::make_unique<FtpPeer>(opties);
    ASSERT_TRUE(ftp->start());
    ftp->writeFile("4-0-5.sql", "ok");
    Nieuw().Openen();
    S().Inloggen(true, Lokaal());
    EXPECT_EQ(S().Aangeboden(), QStringList({"4-0-5.sql"}));
    S().OphalenBatch(Lokaal(), waarnemer);
    EXPECT_EQ(AllesIn(programma.path()), QStringList({"SQLOnlineScripts"}));
    EXPECT_EQ(AllesIn(Lokaal()), QStringList({"4-0-5.sql"}));
    EXPECT_EQ(Aantal(ftp->commands(), "RETR"), 1);
}

TEST_F(ScriptBeheer, LoginAndFetchBatchReachTheListsTheButtonsAndTheStatusBar) {
    ftp->writeFile("3-1-3.sql", Inhoud("3-1-3.sql"));
    ftp->writeFile("3-1-4.sql", Inhoud("3-1-4.sql"));
    Open();
    venster->VerbindenClick();
    ASSERT_EQ(Online(), QStringList({"3-1-3.sql", "3-1-4.sql"})) << Status().toStdString();
    EXPECT_EQ(venster->SQLBestandenFTP->currentRow(), 0);
    EXPECT_EQ(Status(), "FTP->Directory opgehaald");
    venster->ControllerTimer();
    EXPECT_FALSE(venster->Verbinden->isEnabled());
    EXPECT_TRUE(venster->Verbreken->isEnabled());
    EXPECT_TRUE(venster->OphalenBestand->isEnabled());

    // The local copy that turns up is asked about in the window's words;
    // Nee ends the batch, the remote list listed afresh.
    Schrijf(Lokaal("3-1-3.sql"), "deels");
    platform.answer(DialogResult::No);
    venster->SQLBestandenFTPDblClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].caption, "Korvex® bevestiging");
    EXPECT_EQ(platform.dialogs[0].text, "Zelvo Korvex SQL script bestaat al, toch downloaden?");
    EXPECT_EQ(platform.dialogs[0].buttons, QStringList({"&Ja", "&Nee"}));
    EXPECT_EQ(Online(), QStringList({"3-1-4.sql"}));
    EXPECT_EQ(venster->SQLBestandenFTP->currentRow(), -1);
    EXPECT_EQ(LokaleLijst(), QStringList({"3-1-3.sql"}));
    EXPECT_EQ(venster->OverzichtBestanden->FileName(), QDir(Lokaal()).filePath("3-1-3.sql"));

    venster->OphalenBestandClick();
    EXPECT_EQ(LokaleLijst(), QStringList({"3-1-3.sql", "3-1-4.sql"}));
    EXPECT_TRUE(Online().isEmpty());
    for (const char* naam : {"SQLBestandenFTP", "OverzichtBestanden", "SQLBestandenLokaal",
                             "DriveComboBox1", "OphalenBestand"})
        EXPECT_TRUE(venster->findChild<QWidget*>(naam)->isEnabled()) << naam;

    venster->VerbrekenClick();
    EXPECT_FALSE(venster->FTP.connected());
    EXPECT_EQ(Status(), "FTP->Verbinding verbroken");
    // A failed login leaves the list empty and says why.
    ftp.reset();
    venster->VerbindenClick();
    EXPECT_TRUE(Online().isEmpty());
    EXPECT_FALSE(Status().startsWith("FTP->")) << Status().toStdString();
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
