#include "tests/scripts/ScriptBeheerFixture.h"

namespace korvex::test {
namespace {

const QString stempel313 =
    "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.3' where dat_id=1";
const QString versieVraag = "select * from DatabaseInstellingen\r\nwhere dat_id=1\r\n";
// The batches around a script: its lock, its transaction and its stamp's check.
const QString slot =
    "DECLARE @uitkomst int\r\nEXEC @uitkomst = [KORVEX_42].sys.sp_getapplock @Resource = "
    "N'KorvexSQL script', @LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = 0\r\n"
    "SELECT @uitkomst\r\n";
const QString vrij =
    "DECLARE @uitkomst int\r\nEXEC @uitkomst = [KORVEX_42].sys.sp_releaseapplock @Resource = "
    "N'KorvexSQL script', @LockOwner = 'Session'\r\nSELECT @uitkomst\r\n";
const QString begin = "SET XACT_ABORT ON\r\nBEGIN TRANSACTION\r\n";
const QString telling = "SET NOCOUNT OFF\r\nSELECT @@TRANCOUNT\r\n";
const QString commit = "COMMIT TRANSACTION\r\n";
const QString terug = "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\n";
const QString xoff = "SET XACT_ABORT OFF\r\n";

// A session with the given local scripts; `bevestig` answers the question
// and records the name it was asked about.
class Uitvoeren : public Sessie {
  protected:
    void Met(const std::vector<std::pair<QString, QByteArray>>& scripts) {
        for (const auto& [naam, inhoud] : scripts) Schrijf(Lokaal(naam), inhoud);
        Nieuw().Openen();
        db.clearJournal();
        gevraagdNaar.clear();
    }
    scripts::Uitvoering Voer(const QString& naam, bool ja = true) {
        return S().VoerUit(naam.isEmpty() ? QString() : Lokaal(naam), [&, ja](const QString& n) {
            gevraagdNaar << n;
            return ja;
        });
    }
    QStringList gevraagdNaar;
};

using Uitkomst = scripts::Uitvoering::Uitkomst;

TEST_F(Uitvoeren, JaRunsTheScriptAsOneBatchStampsDeletesAndReadsTheVersionBack) {
    // Windows-1252 with LF only, a GO line, parameter-like text and "?"
    // where the driver leaves it alone.
    const QByteArray ansi =
        "create table t (a varchar(9))\n"
        "GO\n"
        "insert t values ('\xE9\x80 ?') -- waarom?\n"
        "/* :naam ? */ select [kolom?], ':naam' from t";
    Met({{"3-1-3.sql", ansi}, {"3-1-4.sql", "\xEF\xBB\xBFselect '\xC3\xA9\xE2\x82\xAC'\r\n"}});
    const scripts::Uitvoering u = Voer("3-1-3.sql");
    EXPECT_EQ(gevraagdNaar, QStringList({"3-1-3.sql"}));
    EXPECT_EQ(u.uitkomst, Uitkomst::Uitgevoerd);
    EXPECT_TRUE(u.verwijderd);
    // Under the lock, in one transaction, the version read again before and after.
    EXPECT_EQ(
        Verzonden(),
        QStringList({slot, versieVraag, begin,
                     QString("create table t (a varchar(9))\r\nGO\r\ninsert t values ('") +
                         QChar(0xE9) + QChar(0x20AC) +
                         " ?') -- waarom?\r\n/* :naam ? */ select [kolom?], ':naam' from t\r\n",
                     telling, stempel313, commit, xoff, vrij, versieVraag}));
    EXPECT_EQ(db.transactionEvents(), QStringList({"begin 1", "commit 0"}));
    EXPECT_FALSE(QFile::exists(Lokaal("3-1-3.sql")));
    EXPECT_TRUE(u.versieGelezen);
    EXPECT_EQ(u.versie.datum, "21-08-2013");

    // The next one, from a UTF-8 file.
    db.clearJournal();
    EXPECT_EQ(Voer("3-1-4.sql").uitkomst, Uitkomst::Uitgevoerd);
    ASSERT_EQ(Verzonden().size(), 10);
    EXPECT_EQ(Verzonden()[3], QString("select '") + QChar(0xE9) + QChar(0x20AC) + "'\r\n");
    EXPECT_EQ(
        Verzonden()[5],
        "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.4' where dat_id=1");
}

TEST_F(Uitvoeren, EveryOutcomeLeavesTheDatabaseWholeAndSaysWhatHappened) {
    const QString x = "update x set y = 1\r\n",
                  alter = "ALTER DATABASE KORVEX_42 SET RECOVERY SIMPLE\r\n";
    const QString open = "BEGIN TRANSACTION\r\n" + x, stil = "SET NOCOUNT ON\r\n" + x;
    const QString ongeldig = "Invalid object name 'x'.", geweigerd = "Niet in een transactie.";
    const QString geenRij =
        "De versie is niet vastgelegd: de tabel DatabaseInstellingen heeft geen rij met dat_id 1.";
    const QString lang = "String or binary data would be truncated.";
    // The script's rule: 'f' fails after a statement, 't' outlasts the time-out, 'w' is refused
    // inside a transaction; the stamp changes `rijen` rows, or fails (-2).
    struct Geval {
        QString script;
        char regel;
        int rijen;
        QStringList verzonden;  // what reached the server, in order
        QStringList melding;    // a failure's text and its command; empty: the run went through
        bool teruggedraaid;
        int zonder = -1;  // the answer to "without a transaction?": -1 not asked, 0 No, 1 Yes
    };
    QByteArray binair;
    for (int i = 0; i < 4096; ++i) binair += char((i * 7 + 3) % 256);
    const QStringList tot = {slot, versieVraag, begin};
    const QStringList weg = {terug, xoff, vrij}, klaar = {xoff, vrij, versieVraag};
    // clang-format off
    const std::vector<Geval> gevallen = {
        {x, 'f', 1, tot + QStringList{x} + weg, {ongeldig, x}, true},
        {x, 't', 1, tot + QStringList{x} + weg, {"*"}, true},
        {x, 0, 0, tot + QStringList{x, telling, stempel313} + weg, {geenRij, stempel313}, true},
        {x, 0, -2, tot + QStringList{x, telling, stempel313} + weg, {lang, stempel313}, true},
        {stil, 0, 1, tot + QStringList{stil, telling, stempel313, commit} + klaar, {}, false},
        {x + "COMMIT\r\n", 0, 1, tot + QStringList{x + "COMMIT\r\n", telling, stempel313} + klaar, {}, false},
        {open, 0, 1, tot + QStringList{open, telling} + weg, {"Het script laat een transactie open.", open}, true},
        {alter, 'w', 1, tot + QStringList{alter} + weg, {geweigerd, alter}, true, 0},
        {alter, 'w', 1, tot + QStringList{alter, terug, xoff, alter, "SET NOCOUNT OFF\r\n", stempel313, vrij, versieVraag}, {}, false, 1},
        {"select ?", 0, 1, {}, {"Het script bevat op regel 1 een vraagteken buiten een tekst, opmerking of naam tussen haken. De ODBC-driver houdt dat voor een parameter en verstuurt het script niet; het is niet uitgevoerd.", "select ?\r\n"}, false},
        {QString("select 1\nselect '") + QChar(0) + "'", 0, 1, {}, {"Het script bevat op regel 2 een NUL-teken of een half UTF-16-tekenpaar. De verbinding zou het script daar afbreken; het is niet uitgevoerd.", QString("select 1\r\nselect '") + QChar(0) + "'\r\n"}, false},
        {"", 0, 1, {}, {"Het script is leeg; er is niets uitgevoerd.", ""}, false},
        {"binair", 0, 1, {}, {"Het script bevat op regel 3 een NUL-teken of een half UTF-16-tekenpaar. De verbinding zou het script daar afbreken; het is niet uitgevoerd."}, false},
    };
    // clang-format on
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.script.left(40).toStdString());
        Versie("3.1.2", QDateTime(QDate(2013, 8, 21), QTime(10, 11, 12)));
        if (g.regel == 'f') db.onBatch("update x", TdsReply().done(3).error(208, 16, 1, ongeldig));
        if (g.regel == 't') db.onBatch("update x", TdsReply().delay(4000));
        if (g.regel == 'w')
            db.onBatch("ALTER", TdsReply().refuseInTransaction(226, 16, 1, geweigerd));
        db.onBatch("update DatabaseInstellingen",
                   g.rijen < -1 ? TdsReply().error(8152, 16, 14, lang) : TdsReply().done(g.rijen));
        Met({{"3-1-3.sql", g.script == "binair" ? binair : g.script.toUtf8()}});
        delen->opdracht.commandTimeout = 2;
        QStringList vragen;
        const scripts::Uitvoering u = S().VoerUit(
            Lokaal("3-1-3.sql"), [](const QString&) { return true; },
            [&](const QString& naam, const QString& melding) {
                vragen << naam + ": " + melding;
                return g.zonder == 1;
            });
        EXPECT_EQ(u.uitkomst, g.melding.isEmpty() ? Uitkomst::Uitgevoerd : Uitkomst::Mislukt);
        EXPECT_EQ(Verzonden(), g.verzonden);
        EXPECT_EQ(vragen, g.zonder < 0 ? QStringList() : QStringList("3-1-3.sql: " + geweigerd));
        // "*": the time-out's text is the driver's own.
        if (g.melding.value(0) != "*") {
            EXPECT_EQ(QStringList({u.fout, u.opdracht}).mid(0, g.melding.size()), g.melding);
        }
        EXPECT_EQ(u.teruggedraaid, g.teruggedraaid);
        EXPECT_EQ(QFile::exists(Lokaal("3-1-3.sql")), !g.melding.isEmpty());
    }
}

TEST_F(Uitvoeren, AnotherWorkstationsLockMeansNothingIsSent) {
    Met({{"3-1-3.sql", "update x set y = 1"}});
    db::Connection ander{QStringLiteral(KORVEX_ODBC_DRIVER)};
    ander.setValues({db.server(), "sa", "geheim", "KORVEX_42"});
    db::Command neem{ander};
    neem.commandText = slot;
    ASSERT_EQ(neem.executeInteger(), 0);
    db.clearJournal();
    const scripts::Uitvoering u = Voer("3-1-3.sql");
    EXPECT_EQ(u.uitkomst, Uitkomst::Afgewezen);
    EXPECT_EQ(u.fout,
              "Op een andere werkplek wordt al een script op deze database uitgevoerd; "
              "probeer het later opnieuw.");
    EXPECT_EQ(Verzonden(), QStringList({slot}));
}

TEST_F(Uitvoeren, NeeSendsNothingAndAnUnreadableChoiceIsNotAsked) {
    Met({{"3-1-3.sql", "select 1"}});
    EXPECT_EQ(Voer("3-1-3.sql", false).uitkomst, Uitkomst::NietGevraagd);
    EXPECT_EQ(gevraagdNaar, QStringList({"3-1-3.sql"}));
    EXPECT_TRUE(Verzonden().isEmpty());
    EXPECT_TRUE(QFile::exists(Lokaal("3-1-3.sql")));

    // Gone from under the list, or nothing chosen: thrown before the question.
    gevraagdNaar.clear();
    QFile::remove(Lokaal("3-1-3.sql"));
    for (const auto& [naam, melding] :
         {std::pair<QString, QString>{
              "3-1-3.sql", "Het bestand \"" +
                               QDir::toNativeSeparators(QDir::cleanPath(Lokaal("3-1-3.sql"))) +
                               "\" bestaat niet."},
          {QString(), "Er is geen script gekozen."}}) {
        try {
            Voer(naam);
            ADD_FAILURE() << "no failure for " << naam.toStdString();
        } catch (const std::exception& fout) {
            EXPECT_EQ(QString::fromUtf8(fout.what()), melding);
        }
    }
    EXPECT_TRUE(gevraagdNaar.isEmpty());
    EXPECT_TRUE(Verzonden().isEmpty());
}

TEST_F(Uitvoeren, WithAKeyOnlyTheMakersUnchangedScriptRunsAndExactlyAsChecked) {
    sleutel = Maker("maker.pem");
    const QByteArray script = "update x set y = 1\r\n";
    const QByteArray goed = Handtekening("maker.pem", "3-1-3.sql", script);
    // The file chosen, its contents, its signature file (null: none), and
    // whether it runs.
    struct Geval {
        QString naam;
        QByteArray inhoud;
        QByteArray handtekening;
        bool uitgevoerd;
    };
    // clang-format off
    for (const Geval& g : {Geval{"3-1-3.sql", script, goed, true},
                           Geval{"3-1-3.sql", script, goed.chopped(1) + "\r\n", true},
                           Geval{"3-1-3.sql", script + "drop table t\r\n", goed, false},  // changed
                           Geval{"3-1-3.sql", script, {}, false},                         // by hand
                           Geval{"3-1-4.sql", script, goed, false},                       // renamed
                           Geval{"3-1-3.sql", script, goed + "\n", false},
                           Geval{"3-1-3.sql", script, " " + goed, false},
                           Geval{"3-1-3.sql", script, goed.chopped(1) + QByteArray(1000, '='), false}}) {
        // clang-format on
        SCOPED_TRACE(g.handtekening.toStdString());
        Versie("3.1.2", QDateTime(QDate(2013, 8, 21), QTime(10, 11, 12)));
        const QString sig = g.naam + ".sig";
        if (!g.handtekening.isNull()) Schrijf(Lokaal(sig), g.handtekening);
        Met({{g.naam, g.inhoud}});
        // The file changes while the question is open: what was checked is sent.
        const auto bevestig = [&](const QString& naam) {
            gevraagdNaar << naam;
            Schrijf(Lokaal(g.naam), "drop database KORVEX_42");
            return true;
        };
        const QString fout = FoutVan([&] { S().VoerUit(Lokaal(g.naam), bevestig); });
        EXPECT_EQ(fout, g.uitgevoerd ? "<no error>"
                                     : "Het script " + g.naam +
                                           " draagt geen geldige handtekening van de maker en "
                                           "wordt niet uitgevoerd.");
        EXPECT_EQ(Verzonden(), g.uitgevoerd
                                   ? QStringList({slot, versieVraag, begin, script, telling,
                                                  stempel313, commit, xoff, vrij, versieVraag})
                                   : QStringList());
        EXPECT_EQ(gevraagdNaar.size(), g.uitgevoerd ? 1 : 0);
        // Deleted with its script, or both kept as they were.
        EXPECT_EQ(Lees(Lokaal(g.naam)), g.uitgevoerd ? "<missing>" : g.inhoud);
        EXPECT_EQ(QFile::exists(Lokaal(sig)), !g.uitgevoerd && !g.handtekening.isNull());
        for (const QString& naam : {g.naam, sig}) QFile::remove(Lokaal(naam));
    }
}

// The window's part: the question, and where each outcome shows.
TEST_F(ScriptBeheer, RunAsksInASystemBoxAndShowsEachOutcomeInItsPlace) {
    Schrijf(Lokaal("3-1-3.sql"), "update x set y = 1");
    Schrijf(Lokaal("3-1-4.sql"), "ALTER DATABASE KORVEX_42 SET RECOVERY SIMPLE");
    Open();
    venster->OverzichtBestanden->setCurrentRow(0);
    EXPECT_FALSE(venster->ScriptUitvoeren->isEnabled());
    venster->ControllerTimer();
    EXPECT_TRUE(venster->ScriptUitvoeren->isEnabled());

    // Nee: nothing, and the first script selected again.
    venster->OverzichtBestanden->setCurrentRow(1);
    platform.answer(DialogResult::No);
    venster->ScriptUitvoerenClick();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    const ShownDialog& vraag = platform.dialogs[0];
    EXPECT_EQ(vraag.type, "system");
    EXPECT_EQ(vraag.caption, "Uitvoeren van een SQL script");
    EXPECT_EQ(vraag.text, "Wenst u het script 3-1-4.sql uit te voeren?");
    EXPECT_EQ(vraag.system.buttons, unsigned(BtnYes | BtnNo));
    EXPECT_EQ(vraag.system.defaultButton, BtnNo);
    EXPECT_EQ(vraag.system.icon, SystemIcon::Question);
    EXPECT_FALSE(vraag.system.withOwner);
    EXPECT_EQ(venster->OverzichtBestanden->currentRow(), 0);

    // A failure: in the status bar and in the log with its command and the
    // rollback, the caption as it was.
    const QString teruggedraaid =
        "De wijzigingen van het script zijn teruggedraaid; de database is ongewijzigd.";
    db.onBatch("update x", TdsReply().error(208, 16, 1, "Invalid object name 'x'."));
    platform.answer(DialogResult::Yes);
    venster->ScriptUitvoerenClick();
    EXPECT_EQ(Status(), "Invalid object name 'x'.");
    EXPECT_EQ(logboek,
              QStringList({"Invalid object name 'x'.", "update x set y = 1\r\n", teruggedraaid}));
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.2 - 21-08-2013");
    EXPECT_EQ(LokaleLijst(), QStringList({"3-1-3.sql", "3-1-4.sql"}));

    // Refused inside a transaction: asked like the run, No is a rolled-back failure.
    db.onBatch("ALTER DATABASE", TdsReply().refuseInTransaction(226, 16, 1, "Niet hier."));
    venster->OverzichtBestanden->setCurrentRow(1);
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::No);
    venster->ScriptUitvoerenClick();
    ASSERT_EQ(platform.dialogs.size(), 4u);
    const ShownDialog& zonder = platform.dialogs[3];
    EXPECT_EQ(zonder.caption, "Uitvoeren van een SQL script");
    EXPECT_EQ(zonder.text,
              "Het script 3-1-4.sql kan niet binnen een transactie worden "
              "uitgevoerd: Niet hier.\rWenst u het zonder transactie uit te voeren? Bij "
              "een fout blijft dan staan wat het script tot dan toe heeft gedaan.");

    // Another workstation ran a script meanwhile: one entry, the new caption.
    Versie("3.1.4", QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    venster->OverzichtBestanden->setCurrentRow(0);
    logboek.clear();
    platform.answer(DialogResult::Yes);
    venster->ScriptUitvoerenClick();
    const QString bijgewerkt =
        "De database is intussen op een andere werkplek bijgewerkt naar versie 3.1.4; er is niets "
        "uitgevoerd.";
    EXPECT_EQ(Status(), bijgewerkt);
    EXPECT_EQ(logboek, QStringList({bijgewerkt}));
    EXPECT_EQ(Verzonden().mid(Verzonden().size() - 4),
              QStringList({slot, versieVraag, versieVraag, vrij}));
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.4 - 09-12-2026");
    EXPECT_EQ(venster->VersieSleutel(), "3-1-4");

    // Success: the list without it.
    QFile::remove(Lokaal("3-1-4.sql"));
    venster->OverzichtBestanden->Update();
    venster->OverzichtBestanden->setCurrentRow(0);
    logboek.clear();
    platform.answer(DialogResult::Yes);
    venster->ScriptUitvoerenClick();
    EXPECT_TRUE(logboek.isEmpty());
    EXPECT_TRUE(LokaleLijst().isEmpty());

    // Nothing to read: only the status bar.
    platform.dialogs.clear();
    venster->ScriptUitvoerenClick();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(Status(), "Er is geen script gekozen.");
}

}  // namespace
}  // namespace korvex::test
