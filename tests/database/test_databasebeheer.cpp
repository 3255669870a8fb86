#include <gtest/gtest.h>

#include "Deployment.h"
#include "database/admin/Databasebeheer.h"
#include "platform/KorvexError.h"
#include "tests/database/Bedrijfsrecord.h"
#include "tests/support/ScriptedPlatform.h"

using namespace korvex;
using admin::Levenscyclus;
using admin::Uitkomst;
using test::bedrijfsrij;
using test::TdsReply;
using Soort = Uitkomst::Soort;

namespace {

QString crlf(const QStringList& lines) {
    return lines.join("\r\n") + "\r\n";
}

struct Opdracht {
    const char* naam;
    Levenscyclus opdracht;
    QString vraag;
    QString succes;
    QStringList regels;  // for VKM ID " 42 " and location D:\SQL
};

const std::vector<Opdracht>& opdrachten() {
    static const std::vector<Opdracht> lijst{
        {"aanmaken",
         Levenscyclus::Aanmaken,
         "Een nieuwe database aanmaken op de gekozen locatie?",
         "De database KORVEX_42 werd met succes aangemaakt",
         {"USE master", ";", "CREATE DATABASE KORVEX_42 ", "ON", "( NAME = KORVEX_42_dat,",
          "FILENAME = 'D:\\SQL\\KORVEX_42.mdf') ", "LOG ON", "(NAME = 'KORVEX_42_log',",
          "FILENAME = 'D:\\SQL\\KORVEX_42_log.ldf')", ";"}},
        {"koppelen",
         Levenscyclus::Koppelen,
         "De database koppelen met de gekozen locatie?",
         "De database KORVEX_42 werd met succes gekoppeld",
         {"USE master", ";", "EXEC sp_attach_db @dbname = 'KORVEX_42',",
          "@filename1 = 'D:\\SQL\\KORVEX_42.mdf',", "@filename2 = 'D:\\SQL\\KORVEX_42_log.ldf'",
          ";"}},
        {"verwijderen",
         Levenscyclus::Verwijderen,
         "De database verwijderen op de gekozen locatie?",
         "De database KORVEX_42 werd met succes verwijderd",
         {"USE master", ";", "DROP DATABASE KORVEX_42 ", ";"}},
        {"ontkoppelen",
         Levenscyclus::Ontkoppelen,
         "De database ontkoppelen van deze locatie?",
         "De database KORVEX_42 werd met succes ontkoppeld",
         {"USE master", ";", "EXEC sp_detach_db 'KORVEX_42','false'", ";"}},
    };
    return lijst;
}

// The service on its own connections to a TDS peer that knows the login
// "sa"/"geheim" and the databases master and KORVEX_42. The server
// connection opens on `database`, which the reset's step sets to master, as
// the window's field does.
class Databasebeheer : public ::testing::Test {
  protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(peer.start(&error)) << error.toStdString();
        peer.addDatabase("KORVEX_42");
        ADO.beforeConnect = [this] { ADO.setValues({peer.server(), "sa", "geheim", database}); };
        ADO2.beforeConnect = [this] {
            ADO2.setValues({peer.server(), "sa", "geheim", "KORVEX_42"});
        };
        ADO.afterConnect = [this] { status << "geopend"; };
        ADO.afterDisconnect = [this] { status << "gesloten"; };
    }

    // Answers every question with `ja` and keeps the questions asked.
    admin::Databasebeheer::Vraag antwoord(bool ja) {
        return [this, ja](const QString& vraag) {
            vragen << vraag;
            return ja;
        };
    }
    Uitkomst levenscyclus(const Opdracht& o, const QString& vkmId, const QString& locatie,
                          bool ja = true) {
        return beheer.Levenscyclus(
            o.opdracht, [this] { database = "master"; },
            [vkmId, locatie] {
                return admin::Invoer{vkmId, locatie};
            },
            antwoord(ja));
    }
    // Both connections open on the company database, so a reset has
    // something to undo.
    void beideOpen() {
        database = "KORVEX_42";
        ADO.open();
        ADO2.open();
        ASSERT_TRUE(ADO.isOpen() && ADO2.isOpen());
        peer.clearJournal();
        vragen.clear();
    }
    QStringList sent() const { return peer.batchesExceptDriver(); }

    test::TdsPeer peer;
    test::ScriptedPlatform platform;
    db::Connection ADO{KORVEX_ODBC_DRIVER};
    db::Connection ADO2{KORVEX_ODBC_DRIVER};
    db::Command ADOCommand{ADO};
    db::Query ADOBDR{ADO2};
    admin::Databasebeheer beheer{ADO, ADO2, ADOCommand, ADOBDR, platform};
    QString database = "master";
    QStringList vragen;
    QStringList status;  // what the server connection reported, in order
};

QString fout(const std::function<void()>& actie) {
    try {
        actie();
    } catch (const std::exception& e) {
        return foutTekst(e);
    }
    return "(geen fout)";
}

}  // namespace

TEST_F(Databasebeheer, EachLifecycleCommandSendsItsExactBatchAfterJaAndReports) {
    for (const Opdracht& o : opdrachten()) {
        peer.clearJournal();
        vragen.clear();
        const Uitkomst u = levenscyclus(o, " 42 ", "D:\\SQL");
        EXPECT_EQ(u.soort, Soort::Gedaan) << o.naam;
        EXPECT_EQ(u.tekst, o.succes);
        EXPECT_EQ(vragen, QStringList({o.vraag}));
        EXPECT_EQ(sent(), QStringList({crlf(o.regels)})) << o.naam;
        EXPECT_TRUE(ADO.isOpen());
    }
    // The location goes in untrimmed, its apostrophes doubled.
    peer.clearJournal();
    levenscyclus(opdrachten()[0], "42", " D:\\O'Brien\\");
    ASSERT_EQ(sent().size(), 1);
    EXPECT_TRUE(sent()[0].contains("FILENAME = ' D:\\O''Brien\\\\KORVEX_42.mdf') \r\n"))
        << sent()[0].toStdString();
}

TEST_F(Databasebeheer, EmptyOrHostileVkmIdWarnsAfterTheResetAndSendsNothing) {
    const QStringList ids{"", "   ", "42; DROP DATABASE master", "42'", "4 2", "42]"};
    for (const Opdracht& o : opdrachten()) {
        for (const QString& id : ids) {
            beideOpen();
            const Uitkomst u = levenscyclus(o, id, "D:\\SQL");
            const bool create = o.opdracht == Levenscyclus::Aanmaken;
            EXPECT_EQ(u.soort, Soort::Waarschuwing) << o.naam << " " << id.toStdString();
            EXPECT_EQ(u.tekst, "Voer een geldige VKM ID in en probeer opnieuw");
            EXPECT_EQ(u.foutGeluid, create) << o.naam;
            EXPECT_TRUE(vragen.isEmpty());
            EXPECT_TRUE(sent().isEmpty());
            EXPECT_EQ(ADO.isOpen(), create) << o.naam;
            EXPECT_EQ(ADO2.isOpen(), create) << o.naam;
            EXPECT_EQ(database, create ? "KORVEX_42" : "master") << o.naam;
            ADO.close();
            ADO2.close();
        }
    }
}

TEST_F(Databasebeheer, EmptyLocationOrTextTheDriverWouldCutShortIsRefusedBeforeAnythingIsSent) {
    // The driver ends a command text at U+0000 or half a surrogate pair, and
    // the server would run what came before.
    const QString gevaarlijk[] = {" \t", QString("D:\\SQL") + QChar(0) + "X",
                                  QString("D:\\SQL") + QChar(0xD800), QString("D:\\SQL\x1B"),
                                  QString("D:\\SQL") + QChar(0xDC00) + QChar(0xD800)};
    for (const QString& waarde : gevaarlijk) {
        for (const Opdracht& o : opdrachten()) {
            const Uitkomst u = levenscyclus(o, "42", waarde);
            EXPECT_EQ(u.soort, Soort::Waarschuwing) << o.naam;
            EXPECT_EQ(u.tekst, "Voer een locatie database in en probeer opnieuw");
        }
        if (waarde == " \t") continue;
        const Uitkomst btw = beheer.BtwNummer("42", "D:\\SQL", waarde, antwoord(true));
        EXPECT_EQ(btw.soort, Soort::Waarschuwing);
        EXPECT_EQ(btw.tekst, "Voer een geldig BTW nummer in en probeer opnieuw");
        EXPECT_FALSE(btw.foutGeluid);
    }
    EXPECT_TRUE(vragen.isEmpty());
    EXPECT_TRUE(sent().isEmpty());
    // A whole pair is one character and goes through.
    peer.clearJournal();
    EXPECT_EQ(beheer.BtwNummer("42", "D:\\SQL", QString::fromUtf8("NL😀"), antwoord(true)).soort,
              Soort::Gedaan);
    ASSERT_EQ(sent().size(), 1);
    EXPECT_TRUE(sent()[0].contains(QString::fromUtf8("bdr_btwnummer='NL😀'where")))
        << sent()[0].toStdString();
}

TEST_F(Databasebeheer, FailuresThrowTheServersTextAndTheNextCommandReconnects) {
    database = "KORVEX_NIEUW";
    EXPECT_TRUE(fout([&] {
                    levenscyclus(opdrachten()[0], "42", "D:\\SQL");
                }).contains("Cannot open database \"KORVEX_NIEUW\""));
    EXPECT_TRUE(vragen.isEmpty()) << "no question without a connection";
    EXPECT_TRUE(sent().isEmpty());

    database = "master";
    peer.onBatch("sp_attach_db", TdsReply().error(5120, 16, 101,
                                                  "Unable to open the physical file "
                                                  "\"D:\\SQL\\KORVEX_42.mdf\"."));
    EXPECT_EQ(fout([&] { levenscyclus(opdrachten()[1], "42", "D:\\SQL"); }),
              "Unable to open the physical file \"D:\\SQL\\KORVEX_42.mdf\".");

    // A time-out and a dropped connection.
    peer.clearBatchRules();
    ADOCommand.commandTimeout = 1;
    peer.onBatch("sp_attach_db", TdsReply().delay(8000).done());
    peer.onBatch("sp_detach_db", TdsReply().disconnect());

    const QString timeout = fout([&] { levenscyclus(opdrachten()[1], "42", "D:\\SQL"); });
    EXPECT_FALSE(timeout.isEmpty());
    EXPECT_FALSE(timeout.contains("met succes"));
    EXPECT_NE(fout([&] { levenscyclus(opdrachten()[3], "42", "D:\\SQL"); }), "(geen fout)");
    EXPECT_FALSE(ADO.isOpen()) << "a dropped connection counts as closed";
    EXPECT_EQ(status.last(), "geopend") << "a dropped connection reports no close";

    // Create, which does not close first, reconnects and succeeds.
    EXPECT_EQ(levenscyclus(opdrachten()[0], "42", "D:\\SQL").tekst,
              "De database KORVEX_42 werd met succes aangemaakt");
    // So does the next of the others.
    EXPECT_EQ(levenscyclus(opdrachten()[2], "42", "D:\\SQL").tekst,
              "De database KORVEX_42 werd met succes verwijderd");
}

TEST_F(Databasebeheer, ReportReadsTheCompanyRecordAndClosesIt) {
    peer.onBatch("select * from bedrijven", bedrijfsrij(true));
    admin::Bedrijfsrapport r = beheer.Rapport();
    EXPECT_EQ(r.regels, QStringList({"Zelvo Korvex administratie is actief met volgende gegevens",
                                     "noteer de gegevens goed voor later gebruik in de software",
                                     "", "Inlognaam: beheerder", "Paswoord: w8woord",
                                     "Bedrijfsnummer: 1", "Pincode: 4711", "BTW nummer: NL001"}));
    EXPECT_EQ(r.pincode, "4711");
    EXPECT_EQ(sent(),
              QStringList({"select * from bedrijven\r\nINNER JOIN PORTAAL ON "
                           "por_bedrijf=bdr_id\r\nand por_groep=500\r\nwhere bdr_id=1\r\n"}));
    EXPECT_TRUE(ADO2.isOpen());
    EXPECT_FALSE(ADOBDR.isOpen());

    // Without a row, or with a column missing.
    peer.clearBatchRules();
    peer.onBatch("select * from bedrijven", bedrijfsrij(false));
    r = beheer.Rapport();
    EXPECT_EQ(r.regels.mid(3), QStringList({"Inlognaam: ", "Paswoord: ", "Bedrijfsnummer: 1",
                                            "Pincode: ", "BTW nummer: "}));
    EXPECT_EQ(r.pincode, "");
    peer.clearBatchRules();
    peer.onBatch("select * from bedrijven", bedrijfsrij(true, "por_koppelingen"));
    EXPECT_EQ(fout([&] { beheer.Rapport(); }), "Field 'por_koppelingen' not found");
}

TEST_F(Databasebeheer, BtwNummerSendsThreeLinesAfterJaAndARefusalIsAnOutcome) {
    Uitkomst u = beheer.BtwNummer("42", "D:\\SQL", "NL001", antwoord(true));
    EXPECT_EQ(u.soort, Soort::Gedaan);
    EXPECT_EQ(u.tekst, "Het BTW nummer werd met succes gewijzigd.");
    EXPECT_EQ(vragen, QStringList({"Wenst u het BTW nummer te wijzigen in de database?"}));
    EXPECT_EQ(sent(), QStringList({"USE KORVEX_42\r\n;\r\nUPDATE dbo.Bedrijven set "
                                   "bdr_btwnummer='NL001'where bdr_id=1\r\n"}));

    peer.clearJournal();
    EXPECT_EQ(beheer.BtwNummer("42", "D:\\SQL", "NL'01", antwoord(false)).soort, Soort::Afgezegd);
    EXPECT_TRUE(sent().isEmpty());
    peer.onBatch("UPDATE dbo.Bedrijven",
                 TdsReply().error(208, 16, 1, "Invalid object name 'dbo.Bedrijven'."));
    u = beheer.BtwNummer("42", "D:\\SQL", "NL'01", antwoord(true));
    ASSERT_EQ(sent().size(), 1);
    EXPECT_TRUE(sent()[0].contains("bdr_btwnummer='NL''01'where")) << sent()[0].toStdString();
    EXPECT_EQ(u.soort, Soort::Geweigerd);
    EXPECT_EQ(u.tekst, "Invalid object name 'dbo.Bedrijven'.");
}

TEST_F(Databasebeheer, TypeProfilesSendTwelveLinesAfterJaAndNothingAfterNee) {
    struct Case {
        admin::TypeProfiel profiel;
        QString vraag;
        QString succes;
        QString eerste;
    };
    const Case cases[] = {
        {admin::TypeProfiel::Taxi, "Instellingen database aanpassen naar taxibedrijf?",
         "Database met succes aangepast naar taxibedrijf",
         "Alter Table Opdrachtregels Add reg_totaal As ([reg_eenheidsprijs]*[reg_aantal]);"},
        {admin::TypeProfiel::Koerier, "Instellingen database aanpassen naar koerierbedrijf?",
         "Database werd met succes aangepast naar koerierbedrijf",
         "Alter Table Opdrachtregels Add reg_totaal As "
         "(([reg_eenheidsprijs]/100)*(100+[reg_btw_perc]));"},
    };
    for (const Case& c : cases) {
        peer.clearJournal();
        vragen.clear();
        EXPECT_EQ(beheer.TypeProfiel(c.profiel, antwoord(false)).soort, Soort::Afgezegd);
        EXPECT_TRUE(sent().isEmpty());
        const Uitkomst u = beheer.TypeProfiel(c.profiel, antwoord(true));
        EXPECT_EQ(vragen, QStringList({c.vraag, c.vraag}));
        EXPECT_EQ(u.soort, Soort::Gedaan);
        EXPECT_EQ(u.tekst, c.succes);
        ASSERT_EQ(sent().size(), 1);
        const QStringList regels = sent()[0].split("\r\n");
        ASSERT_EQ(regels.size(), 13) << "twelve lines, each ended by CR LF";
        EXPECT_EQ(regels[12], "");
        EXPECT_EQ(regels[0], "Alter Table Opdrachtregels Drop Column reg_totaal;");
        EXPECT_EQ(regels[1], c.eerste);
        EXPECT_EQ(regels[10], "Alter Table Planning Drop Column pla_netto;");
    }
    peer.onBatch("Drop Column reg_totaal",
                 TdsReply().error(4902, 16, 1,
                                  "Cannot find the object \"Opdrachtregels\" because it does not "
                                  "exist or you do not have permissions."));
    EXPECT_TRUE(fout([&] {
                    beheer.TypeProfiel(admin::TypeProfiel::Koerier, antwoord(true));
                }).startsWith("Cannot find the object \"Opdrachtregels\""));
}
