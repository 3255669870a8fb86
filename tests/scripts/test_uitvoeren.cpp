#include "tests/scripts/ScriptBeheerFixture.h"

namespace korvex::test {
namespace {

const QString stempel313 =
    "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.3' where dat_id=1";
const QString versieVraag = "select * from DatabaseInstellingen\r\nwhere dat_id=1\r\n";

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
    Versie("3.1.3", QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    const scripts::Uitvoering u = Voer("3-1-3.sql");
    EXPECT_EQ(gevraagdNaar, QStringList({"3-1-3.sql"}));
    EXPECT_EQ(u.uitkomst, Uitkomst::Uitgevoerd);
    EXPECT_TRUE(u.verwijderd);
    EXPECT_EQ(
        Verzonden(),
        QStringList({QString("create table t (a varchar(9))\r\nGO\r\ninsert t values ('") +
                         QChar(0xE9) + QChar(0x20AC) +
                         " ?') -- waarom?\r\n/* :naam ? */ select [kolom?], ':naam' from t\r\n",
                     stempel313, versieVraag}));
    EXPECT_FALSE(QFile::exists(Lokaal("3-1-3.sql")));
    EXPECT_EQ(u.versie.versie, "3.1.3");
    EXPECT_EQ(u.versie.datum, "09-12-2026");
    EXPECT_EQ(S().VersieSleutel(), "3-1-3");

    // The next one, from a UTF-8 file.
    db.clearJournal();
    EXPECT_EQ(Voer("3-1-4.sql").uitkomst, Uitkomst::Uitgevoerd);
    ASSERT_FALSE(Verzonden().isEmpty());
    EXPECT_EQ(Verzonden().first(), QString("select '") + QChar(0xE9) + QChar(0x20AC) + "'\r\n");
    EXPECT_EQ(
        Verzonden()[1],
        "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.4' where dat_id=1");
}

TEST_F(Uitvoeren, FailuresReturnTheTextAndTheCommandAndNothingIsStamped) {
    struct Geval {
        const char* wat;
        QByteArray inhoud;
        std::function<void(TdsPeer&)> regel;
        QStringList verzonden;  // what reached the server
        QStringList logboek;    // the failure's text and its command
    };
    const QString script = "update x set y = 1\r\n";
    QByteArray binair;
    for (int i = 0; i < 4096; ++i) binair += char((i * 7 + 3) % 256);
    const std::vector<Geval> gevallen = {
        {"the script fails",
         "update x set y = 1",
         [](TdsPeer& p) {
             p.onBatch("update x", TdsReply().error(208, 16, 1, "Invalid object name 'x'."));
         },
         {script},
         {"Invalid object name 'x'.", script}},
        {"the stamp fails",
         "update x set y = 1",
         [](TdsPeer& p) {
             p.onBatch("update DatabaseInstellingen",
                       TdsReply().error(8152, 16, 14, "String or binary data would be truncated."));
         },
         {script, stempel313},
         {"String or binary data would be truncated.", stempel313}},
        {"a bare question mark",
         "select ?",
         nullptr,
         {},
         {"Het script bevat op regel 1 een vraagteken buiten een tekst, opmerking of naam tussen "
          "haken. De ODBC-driver houdt dat voor een parameter en verstuurt het script niet; het is "
          "niet uitgevoerd.",
          "select ?\r\n"}},
        {"a NUL",
         QByteArray("select 1\nselect '\0'", 19),
         nullptr,
         {},
         {"Het script bevat op regel 2 een NUL-teken of een half UTF-16-tekenpaar. De verbinding "
          "zou het script daar afbreken; het is niet uitgevoerd.",
          QString("select 1\r\nselect '") + QChar(0) + "'\r\n"}},
        {"empty", {}, nullptr, {}, {"Het script is leeg; er is niets uitgevoerd.", ""}},
        {"binary", binair, nullptr, {}, {}},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.wat);
        Versie("3.1.2", QDateTime(QDate(2013, 8, 21), QTime(10, 11, 12)));
        if (g.regel) g.regel(db);
        Met({{"3-1-3.sql", g.inhoud}});
        const scripts::Uitvoering u = Voer("3-1-3.sql");
        EXPECT_EQ(u.uitkomst, Uitkomst::Mislukt);
        EXPECT_EQ(Verzonden(), g.verzonden);
        if (g.logboek.isEmpty())
            EXPECT_TRUE(u.fout.startsWith("Het script bevat op regel 3 een NUL-teken"))
                << u.fout.toStdString();
        else
            EXPECT_EQ(QStringList({u.fout, u.opdracht}), g.logboek);
        EXPECT_FALSE(u.verwijderd);
        EXPECT_TRUE(QFile::exists(Lokaal("3-1-3.sql")));
        EXPECT_EQ(S().VersieSleutel(), "3-1-2");
    }
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
        EXPECT_EQ(Verzonden(),
                  g.uitgevoerd ? QStringList({script, stempel313, versieVraag}) : QStringList());
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
    Schrijf(Lokaal("3-1-4.sql"), "select 2");
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

    // A failure: in the status bar and twice in the log, the caption as it was.
    db.onBatch("update x", TdsReply().error(208, 16, 1, "Invalid object name 'x'."));
    platform.answer(DialogResult::Yes);
    venster->ScriptUitvoerenClick();
    EXPECT_EQ(Status(), "Invalid object name 'x'.");
    EXPECT_EQ(logboek, QStringList({"Invalid object name 'x'.", "update x set y = 1\r\n"}));
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.2 - 21-08-2013");
    EXPECT_EQ(LokaleLijst(), QStringList({"3-1-3.sql", "3-1-4.sql"}));

    // Success: the list without it, the next selected, the new caption.
    QFile::remove(Lokaal("3-1-3.sql"));
    venster->OverzichtBestanden->Update();
    venster->OverzichtBestanden->setCurrentRow(0);
    Versie("3.1.4", QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    logboek.clear();
    platform.answer(DialogResult::Yes);
    venster->ScriptUitvoerenClick();
    EXPECT_TRUE(logboek.isEmpty());
    EXPECT_TRUE(LokaleLijst().isEmpty());
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.4 - 09-12-2026");
    EXPECT_EQ(venster->VersieSleutel(), "3-1-4");

    // Nothing to read: only the status bar.
    platform.dialogs.clear();
    venster->ScriptUitvoerenClick();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(Status(), "Er is geen script gekozen.");
}

}  // namespace
}  // namespace korvex::test
