#include <gtest/gtest.h>

#include <QDir>
#include <QSet>

#include "scripts/ScriptBestand.h"
#include "scripts/Scriptlijst.h"
#include "tests/support/Bestanden.h"
#include "tests/support/TempFolder.h"

namespace korvex::test {
namespace {

using scripts::ScriptBestand;
using scripts::Scriptlijst;

TEST(Scriptlijst, FilterOffersOnlyNewerSafeNamesThatAreNotHereYet) {
    struct Geval {
        const char* wat;
        QString sleutel;
        QStringList regels;
        QStringList lokaal;
        QStringList verwacht;
        bool ondertekend = false;
    };
    const QString lijn = "-rw-r--r--   1 ftp ftp  12 Aug 21 10:00 ";
    const std::vector<Geval> gevallen = {
        {"version key 3-1-2", "3-1-2",
         {lijn + "3-1-1.sql", lijn + "3-1-2.sql", lijn + "3-1-3.sql", lijn + "4-0-0.sql"},
         {},
         {"3-1-3.sql", "4-0-0.sql"}},
        {"character codes, not numbers", "3-1-10", {lijn + "3-1-9.sql"}, {}, {"3-1-9.sql"}},
        {"and the reverse", "3-1-9", {lijn + "3-1-10.sql"}, {}, {}},
        {"digits before capitals before small letters", "3-1-2",
         {lijn + "A.sql", lijn + "a.sql", lijn + "3-1-2a.sql"},
         {},
         {"A.sql", "a.sql", "3-1-2a.sql"}},
        {"empty key: all but dots, empty stems and local ones", "",
         {lijn + ".", lijn + "..", lijn + ".sql", lijn + "1-0-0.sql", lijn + "2-0-0.sql"},
         {"2-0-0.sql"},
         {"1-0-0.sql"}},
        {"summary line on the first line only", "",
         {"total 24", lijn + "1.sql", "total 3"},
         {},
         {"1.sql", "3"}},
        {"the name is what follows the last blank", "",
         {"type=file;size=9; mijn script.sql", "zonderblanco.sql"},
         {},
         {"script.sql", "zonderblanco.sql"}},
        {"machine listing, a sub-folder passes like a file", "3-1-2",
         {"type=dir;modify=20130821; 3-1-5.sql", "type=file;size=9; 3-1-4.sql"},
         {},
         {"3-1-5.sql", "3-1-4.sql"}},
        {"names that would leave the local folder or carry control characters", "",
         {lijn + "../4-0-0.sql", lijn + "sub/4-0-0.sql", lijn + "..\\4-0-0.sql", lijn,
          lijn + "4-0-0\t.sql", lijn + QString("4-0-0") + QChar(0x85) + ".sql",
          lijn + "/etc/passwd", lijn + "4-0-1.sql"},
         {},
         {"4-0-1.sql"}},
        {"names Windows cannot hold or takes for a device, refused on both systems", "",
         {lijn + "C:4-0-0.sql", lijn + "4-0-0.sql:s", lijn + "4<0.sql", lijn + "4>0.sql",
          lijn + "4\"0.sql", lijn + "4|0.sql", lijn + "4?0.sql", lijn + "4*0.sql", lijn + "CON",
          lijn + "nul.sql", lijn + "Com1.SQL", lijn + "LPT9", lijn + "aux.tar.sql",
          lijn + "4-0-0.sql.", lijn + "COM10.sql", lijn + "CONSOLE.sql", lijn + "LPT0.sql"},
         {},
         {"COM10.sql", "CONSOLE.sql", "LPT0.sql"}},
        {"signature files are no scripts, in any letter case", "3-1-2",
         {lijn + "3-1-3.sql", lijn + "3-1-3.sql.sig", lijn + "3-1-4.SIG", lijn + "3-1-5.sql.Sig"},
         {},
         {"3-1-3.sql"}},
        {"with a key, only scripts listed with their signature file", "3-1-2",
         {lijn + "3-1-3.sql.sig", lijn + "3-1-3.sql", lijn + "3-1-4.sql", lijn + "3-1-5.sql",
          lijn + "3-1-5.sql.SIG", lijn + "3-1-6.sql.sig", lijn + "3-1-7.sql", lijn + "3-1-7.sig"},
         {},
         {"3-1-3.sql"},
         true},
    };
    for (const Geval& g : gevallen) {
        const QSet<QString> lokaal(g.lokaal.begin(), g.lokaal.end());
        EXPECT_EQ(Scriptlijst::Filter(g.regels, g.sleutel,
                                      [&](const QString& naam) { return lokaal.contains(naam); },
                                      g.ondertekend),
                  g.verwacht)
            << g.wat;
    }
}

TEST(Scriptlijst, SortIsAlphabeticalWithoutRegardToCase) {
    QStringList namen = {"b.sql", "A.sql", "a.sql", "3-1-10.sql", "3-1-9.sql", "B.sql"};
    Scriptlijst::Sorteer(namen);
    EXPECT_EQ(namen, QStringList({"3-1-10.sql", "3-1-9.sql", "A.sql", "a.sql", "B.sql", "b.sql"}));
}

TEST(ScriptBestand, VersionAndStampStatementFromTheFileName) {
    const std::vector<std::pair<QString, QString>> gevallen = {
        {"3-1-2.sql", "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.2' "
                      "where dat_id=1"},
        {"3-1-2.SQL", "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='3.1.2' "
                      "where dat_id=1"},
        {"3-1-2.sql.sql", "update DatabaseInstellingen set dat_datum=getdate(), "
                          "dat_versie='3.1.2.sql' where dat_id=1"},
        {"update.sql", "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='update' "
                       "where dat_id=1"},
        {"it's.sql", "update DatabaseInstellingen set dat_datum=getdate(), dat_versie='it''s' "
                     "where dat_id=1"},
    };
    for (const auto& [naam, opdracht] : gevallen)
        EXPECT_EQ(ScriptBestand::StempelOpdracht(ScriptBestand::Versie(naam)), opdracht)
            << naam.toStdString();
}

TEST(ScriptBestand, FileIsReadWithItsMarkAndEveryLineEndsInCrLf) {
    TempFolder map;
    struct Geval {
        const char* wat;
        QByteArray inhoud;
        QString verwacht;
    };
    const std::vector<Geval> gevallen = {
        {"LF only, no final line end", "select 1\nselect 2", "select 1\r\nselect 2\r\n"},
        {"CR, LF and CR LF mixed, empty lines kept", "a\rb\r\n\r\nc\n\nd\n",
         "a\r\nb\r\n\r\nc\r\n\r\nd\r\n"},
        {"Windows-1252 without a mark", "select '\xE9\x80'\r\n",
         QString("select '") + QChar(0xE9) + QChar(0x20AC) + "'\r\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFselect '\xC3\xA9\xE2\x82\xAC'",
         QString("select '") + QChar(0xE9) + QChar(0x20AC) + "'\r\n"},
        {"UTF-16 LE", QByteArray("\xFF\xFEg\0o\0\n\0\xAC\x20", 10),
         QString("go\r\n") + QChar(0x20AC) + "\r\n"},
        {"UTF-16 BE", QByteArray("\xFE\xFF\0g\0o\0\r\0\n", 10), "go\r\n"},
        {"empty", "", ""},
        {"a line end only", "\n", "\r\n"},
    };
    for (const Geval& g : gevallen) {
        Schrijf(map.file("s.sql"), g.inhoud);
        EXPECT_EQ(ScriptBestand::LeesOpdracht(map.file("s.sql")), g.verwacht) << g.wat;
    }
    // A CR LF split over the boundary of two read blocks stays one line end.
    QByteArray groot(1 << 20, 'x');
    groot[(1 << 20) - 1] = '\r';
    Schrijf(map.file("s.sql"), groot + "\ny");
    const QString gelezen = ScriptBestand::LeesOpdracht(map.file("s.sql"));
    EXPECT_EQ(gelezen.size(), (1 << 20) - 1 + 2 + 1 + 2);
    EXPECT_TRUE(gelezen.endsWith("x\r\ny\r\n"));

    EXPECT_EQ(
        FoutVan([&] { ScriptBestand::LeesOpdracht(map.file("weg.sql")); }),
        "Het bestand \"" + QDir::toNativeSeparators(map.file("weg.sql")) + "\" bestaat niet.");
    EXPECT_EQ(FoutVan([&] { ScriptBestand::LeesOpdracht(map.path() + "."); }),
              "\"" + QDir::toNativeSeparators(map.path()) + ".\" is geen gewoon bestand.");
}

TEST(ScriptBestand, TextTheDriverWouldCutOrMisreadIsNamed) {
    const QString nul = QStringLiteral("select 1\r\nselect '") + QChar(0) + "'\r\n";
    EXPECT_EQ(ScriptBestand::NietVerzendbaar(nul),
              "Het script bevat op regel 2 een NUL-teken of een half UTF-16-tekenpaar. De "
              "verbinding zou het script daar afbreken; het is niet uitgevoerd.");
    EXPECT_FALSE(ScriptBestand::NietVerzendbaar(QString("x") + QChar(0xD800)).isEmpty());
    EXPECT_FALSE(ScriptBestand::NietVerzendbaar(QString("x") + QChar(0xDC00) + "y").isEmpty());
    EXPECT_TRUE(ScriptBestand::NietVerzendbaar(QString::fromUtf8("\xF0\x9F\x98\x80 \t")).isEmpty());

    EXPECT_EQ(ScriptBestand::LosVraagteken("select 1\r\nselect ? \r\n"),
              "Het script bevat op regel 2 een vraagteken buiten een tekst, opmerking of naam "
              "tussen haken. De ODBC-driver houdt dat voor een parameter en verstuurt het script "
              "niet; het is niet uitgevoerd.");
    for (const char* zonder :
         {"select '?', 'it''s ?'", "-- waarom?\r\nselect 1", "/* wat?\r\n nog? */ select 1",
          "select [kolom?] from [a]]?]", "select \"naam?\"", "select 1 -- ? "})
        EXPECT_TRUE(ScriptBestand::LosVraagteken(zonder).isEmpty()) << zonder;
    EXPECT_FALSE(ScriptBestand::LosVraagteken("/* dicht */ ?").isEmpty());
    EXPECT_FALSE(ScriptBestand::LosVraagteken("select '' + ?").isEmpty());
}

TEST(ScriptBestand, LogEntryIsCutAboveOneMegabyteWithACount) {
    EXPECT_EQ(ScriptBestand::VoorLogboek("select 1\r\n"), "select 1\r\n");
    const QString groot = QString(1 << 20, u'a') + QString(1234567, u'b');
    const QString entry = ScriptBestand::VoorLogboek(groot);
    EXPECT_EQ(entry, QString(1 << 20, u'a') +
                         "\n... (nog 1.234.567 tekens van het script weggelaten)");
}

}  // namespace
}  // namespace korvex::test
