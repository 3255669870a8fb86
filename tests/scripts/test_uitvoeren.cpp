#include "tests/scripts/ScriptBeheerFixture.h"

namespace korvex::test {
namespace {

const QString stempel313 =
    "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.3' where dat_id=1";
const QString versieVraag = "select * from DatabaseInstellingen\r\nwhere dat_id=1\r\n";

class Uitvoeren : public ScriptBeheer {
  protected:
    // Opens the window with the given local scripts and selects the first.
    void OpenMet(const std::vector<std::pair<QString, QByteArray>>& scripts) {
        for (const auto& [naam, inhoud] : scripts) Schrijf(Lokaal(naam), inhoud);
        Open();
        venster->OverzichtBestanden->setCurrentRow(0);
        db.clearJournal();
    }
    // The one dialog shown. Anything else ends the test here: there would be
    // no dialog to return.
    const ShownDialog& Vraag() {
        if (platform.dialogs.size() != 1u) {
            const std::string waarom =
                "expected one dialog, got " + std::to_string(platform.dialogs.size());
            [&] { FAIL() << waarom; }();
            throw ::testing::AssertionException(::testing::TestPartResult(
                ::testing::TestPartResult::kFatalFailure, __FILE__, __LINE__, waarom.c_str()));
        }
        return platform.dialogs.back();
    }
};

TEST_F(Uitvoeren, JaRunsTheScriptAsOneBatchStampsDeletesAndSelectsTheNext) {
    // Windows-1252 with LF only, a GO line, parameter-like text and "?"
    // where the driver leaves it alone.
    const QByteArray ansi = "create table t (a varchar(9))\n"
                            "GO\n"
                            "insert t values ('\xE9\x80 ?') -- waarom?\n"
                            "/* :naam ? */ select [kolom?], ':naam' from t";
    OpenMet({{"3-1-3.sql", ansi}, {"3-1-4.sql", "\xEF\xBB\xBFselect '\xC3\xA9\xE2\x82\xAC'\r\n"}});
    EXPECT_FALSE(venster->ScriptUitvoeren->isEnabled());
    venster->ControllerTimer();
    EXPECT_TRUE(venster->ScriptUitvoeren->isEnabled());
    Versie("3.1.3", QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    platform.answer(DialogResult::Yes);
    venster->ScriptUitvoerenClick();

    const ShownDialog& vraag = Vraag();
    EXPECT_EQ(vraag.type, "system");
    EXPECT_EQ(vraag.caption, "Uitvoeren van een SQL script");
    EXPECT_EQ(vraag.text, "Wenst u het script 3-1-3.sql uit te voeren?");
    EXPECT_EQ(vraag.system.buttons, unsigned(BtnYes | BtnNo));
    EXPECT_EQ(vraag.system.defaultButton, BtnNo);
    EXPECT_EQ(vraag.system.icon, SystemIcon::Question);
    EXPECT_FALSE(vraag.system.withOwner);

    EXPECT_EQ(Verzonden(),
              QStringList({QString("create table t (a varchar(9))\r\nGO\r\ninsert t values ('") +
                               QChar(0xE9) + QChar(0x20AC) +
                               " ?') -- waarom?\r\n/* :naam ? */ select [kolom?], ':naam' from t\r\n",
                           stempel313, versieVraag}));
    EXPECT_FALSE(QFile::exists(Lokaal("3-1-3.sql")));
    EXPECT_EQ(LokaleLijst(), QStringList({"3-1-4.sql"}));
    EXPECT_EQ(venster->OverzichtBestanden->currentRow(), 0);
    EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.3 - 09-12-2026");
    EXPECT_EQ(venster->VersieSleutel, "3-1-3");
    EXPECT_TRUE(logboek.isEmpty());

    // The next one, from a UTF-8 file.
    db.clearJournal();
    platform.dialogs.clear();
    platform.answer(DialogResult::Yes);
    venster->ScriptUitvoerenClick();
    ASSERT_FALSE(Verzonden().isEmpty());
    EXPECT_EQ(Verzonden().first(), QString("select '") + QChar(0xE9) + QChar(0x20AC) + "'\r\n");
    EXPECT_EQ(Verzonden()[1],
              "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.4' where dat_id=1");
    EXPECT_TRUE(LokaleLijst().isEmpty());
}

TEST_F(Uitvoeren, FailuresGoToTheLogAndNothingIsStamped) {
    struct Geval {
        const char* wat;
        QByteArray inhoud;
        std::function<void(TdsPeer&)> regel;
        QStringList verzonden;  // what reached the server
        QStringList logboek;
    };
    const QString script = "update x set y = 1\r\n";
    const std::vector<Geval> gevallen = {
        {"the script fails", "update x set y = 1",
         [](TdsPeer& p) {
             p.onBatch("update x", TdsReply().error(208, 16, 1, "Invalid object name 'x'."));
         },
         {script},
         {"Invalid object name 'x'.", script}},
        {"the stamp fails", "update x set y = 1",
         [](TdsPeer& p) {
             p.onBatch("update DatabaseInstellingen",
                       TdsReply().error(8152, 16, 14, "String or binary data would be truncated."));
         },
         {script, stempel313},
         {"String or binary data would be truncated.", stempel313}},
        {"a bare question mark", "select ?", nullptr, {},
         {"Het script bevat op regel 1 een vraagteken buiten een tekst, opmerking of naam tussen "
          "haken. De ODBC-driver houdt dat voor een parameter en verstuurt het script niet; het is "
          "niet uitgevoerd.",
          "select ?\r\n"}},
        {"a NUL", QByteArray("select 1\nselect '\0'", 19), nullptr, {},
         {"Het script bevat op regel 2 een NUL-teken of een half UTF-16-tekenpaar. De verbinding "
          "zou het script daar afbreken; het is niet uitgevoerd.",
          QString("select 1\r\nselect '") + QChar(0xFFFD) + "'\r\n"}},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.wat);
        Versie("3.1.2", QDateTime(QDate(2013, 8, 21), QTime(10, 11, 12)));
        if (g.regel) g.regel(db);
        logboek.clear();
        platform.dialogs.clear();
        OpenMet({{"3-1-3.sql", g.inhoud}});
        platform.answer(DialogResult::Yes);
        venster->ScriptUitvoerenClick();
        EXPECT_EQ(Verzonden(), g.verzonden);
        EXPECT_EQ(logboek, g.logboek);
        EXPECT_TRUE(QFile::exists(Lokaal("3-1-3.sql")));
        EXPECT_EQ(venster->windowTitle(), "Zelvo Korvex SQL script beheerder - v3.1.2 - 21-08-2013");
        EXPECT_EQ(venster->OverzichtBestanden->currentRow(), 0);
        EXPECT_EQ(Status(), g.logboek.first()) << "the log lies under this window";
    }
}

TEST_F(Uitvoeren, EmptyAndBinaryFilesReachTheLogWithAMessage) {
    QByteArray binair;
    for (int i = 0; i < 4096; ++i) binair += char((i * 7 + 3) % 256);
    for (const auto& [inhoud, melding] :
         {std::pair<QByteArray, QString>{{}, "Het script is leeg; er is niets uitgevoerd."},
          {binair, "Het script bevat op regel 3 een NUL-teken"}}) {
        logboek.clear();
        OpenMet({{"3-1-3.sql", inhoud}});
        platform.answer(DialogResult::Yes);
        venster->ScriptUitvoerenClick();
        ASSERT_EQ(logboek.size(), 2);
        EXPECT_TRUE(logboek[0].startsWith(melding)) << logboek[0].toStdString();
        EXPECT_TRUE(QFile::exists(Lokaal("3-1-3.sql")));
        EXPECT_TRUE(Verzonden().isEmpty());
    }
}

TEST_F(Uitvoeren, NeeSendsNothingAndAnUnreadableChoiceOnlyReports) {
    OpenMet({{"3-1-3.sql", "select 1"}, {"3-1-4.sql", "select 2"}});
    venster->OverzichtBestanden->setCurrentRow(1);
    platform.answer(DialogResult::No);
    venster->ScriptUitvoerenClick();
    EXPECT_EQ(Vraag().text, "Wenst u het script 3-1-4.sql uit te voeren?");
    EXPECT_TRUE(Verzonden().isEmpty());
    EXPECT_EQ(venster->OverzichtBestanden->currentRow(), 0);
    EXPECT_EQ(LokaleLijst(), QStringList({"3-1-3.sql", "3-1-4.sql"}));

    // Gone from under the list: the reason in the status bar, no question.
    platform.dialogs.clear();
    QFile::remove(Lokaal("3-1-3.sql"));
    venster->ScriptUitvoerenClick();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(Status(), "Het bestand \"" +
                            QDir::toNativeSeparators(QDir::cleanPath(Lokaal("3-1-3.sql"))) +
                            "\" bestaat niet.");
    EXPECT_TRUE(Verzonden().isEmpty());
}

}  // namespace
}  // namespace korvex::test
