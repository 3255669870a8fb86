#include <QStatusBar>
#include <QTabWidget>

#include "tests/app/WindowFixture.h"

using namespace korvex;
using test::TdsColumn;
using test::TdsReply;
using test::TdsType;

namespace {

QString crlf(const QStringList& lines) {
    return lines.join("\r\n") + "\r\n";
}

struct Opdracht {
    const char* naam;
    void (THoofdscherm::*klik)();
    QString vraag;
    QString succes;
    QStringList regels;  // for VKM ID " 42 " and location D:\SQL
};

const std::vector<Opdracht>& opdrachten() {
    static const std::vector<Opdracht> lijst{
        {"aanmaken",
         &THoofdscherm::Button4Click,
         "Een nieuwe database aanmaken op de gekozen locatie?",
         "De database KORVEX_42 werd met succes aangemaakt",
         {"USE master", ";", "CREATE DATABASE KORVEX_42 ", "ON", "( NAME = KORVEX_42_dat,",
          "FILENAME = 'D:\\SQL\\KORVEX_42.mdf') ", "LOG ON", "(NAME = 'KORVEX_42_log',",
          "FILENAME = 'D:\\SQL\\KORVEX_42_log.ldf')", ";"}},
        {"koppelen",
         &THoofdscherm::Button5Click,
         "De database koppelen met de gekozen locatie?",
         "De database KORVEX_42 werd met succes gekoppeld",
         {"USE master", ";", "EXEC sp_attach_db @dbname = 'KORVEX_42',",
          "@filename1 = 'D:\\SQL\\KORVEX_42.mdf',", "@filename2 = 'D:\\SQL\\KORVEX_42_log.ldf'",
          ";"}},
        {"verwijderen",
         &THoofdscherm::Button6Click,
         "De database verwijderen op de gekozen locatie?",
         "De database KORVEX_42 werd met succes verwijderd",
         {"USE master", ";", "DROP DATABASE KORVEX_42 ", ";"}},
        {"ontkoppelen",
         &THoofdscherm::Button7Click,
         "De database ontkoppelen van deze locatie?",
         "De database KORVEX_42 werd met succes ontkoppeld",
         {"USE master", ";", "EXEC sp_detach_db 'KORVEX_42','false'", ";"}},
    };
    return lijst;
}

// The company record's columns as the product's database has them. Written
// out here rather than taken from the program's own field list, so that a
// wrong name or kind there shows up as a failure instead of being mirrored.
std::vector<TdsColumn> bedrijfskolommen() {
    using T = TdsType;
    std::vector<TdsColumn> k{
        {"bdr_id", T::Int},
        {"bdr_bedrijfsnaam", T::VarChar, 50},
        {"bdr_straat", T::VarChar, 50},
        {"bdr_huisnummer", T::VarChar, 10},
        {"bdr_stad", T::VarChar, 50},
        {"bdr_postcode", T::VarChar, 10},
        {"bdr_btwnummer", T::VarChar, 20},
        {"bdr_email", T::VarChar, 150},
        {"bdr_telefoon", T::VarChar, 50},
        {"bdr_actief", T::Int},
        {"bdr_vkmid", T::VarChar, 10},
        {"bdr_postmaster", T::VarChar, 150},
        {"bdr_temp", T::VarChar, 40},
        {"bdr_start", T::DateTime},
        {"bdr_verval", T::DateTime},
        {"bdr_demo", T::Int},
        {"bdr_xmltag", T::Int},
        {"bdr_bankrelatie", T::VarChar, 50},
        {"bdr_kvk", T::VarChar, 50},
        {"bdr_vervaldagen", T::Int},
        {"bdr_factuurmail", T::Int},
        {"bdr_logo", T::VarChar, 254},
        {"bdr_pincode", T::VarChar, 55},
        {"bdr_bank_incas", T::VarChar, 10},
        {"bdr_bank_houder", T::VarChar, 35},
        {"bdr_basis", T::Int},
        {"bdr_vektis", T::Int},
        {"bdr_clieop", T::Int},
        {"bdr_school", T::Int},
        {"bdr_datacom", T::Int},
        {"bdr_extra", T::Int},
        {"bdr_online_rit", T::Int},
        {"bdr_sms", T::Int},
        {"bdr_teller", T::Int},
        {"bdr_factuur_layout", T::VarChar, 254},
        {"bdr_order_layout", T::VarChar, 254},
        {"por_id", T::Int},
        {"por_inlogcode", T::VarChar, 20},
        {"por_paswoord", T::VarChar, 10},
        {"por_groep", T::Int},
        {"por_leerling", T::Int},
        {"por_bedrijf", T::Int},
        {"por_opdrachtgever", T::Int},
        {"por_email", T::VarChar, 150},
        {"por_actief", T::Int},
        {"por_naam", T::VarChar, 50},
    };
    for (const char* naam :
         {"por_chauffeur",      "por_xmltag",        "por_ritaanvraag",   "por_rittenscherm",
          "por_uurroosters",    "por_stambestanden", "por_tabellen",      "por_tijdsverantwoording",
          "por_ritstaten",      "por_facturatie",    "por_declaraties",   "por_webservices",
          "por_beheersoftware", "por_parameters",    "por_noteerritten",  "por_incasso",
          "por_exporteren",     "por_macros",        "por_groepsvervoer", "por_koppelingen"})
        k.push_back({naam, T::Int});
    return k;
}

// The company record as the product's database returns it.
TdsReply bedrijfsrij(bool metRij, const QString& zonderKolom = {}) {
    std::vector<TdsColumn> kolommen;
    QVariantList rij;
    for (const TdsColumn& kolom : bedrijfskolommen()) {
        if (kolom.name == zonderKolom) continue;
        kolommen.push_back(kolom);
        if (kolom.name == "por_inlogcode")
            rij << "beheerder";
        else if (kolom.name == "por_paswoord")
            rij << "w8woord";
        else if (kolom.name == "bdr_pincode")
            rij << "4711";
        else if (kolom.name == "bdr_btwnummer")
            rij << "NL001";
        else if (kolom.type == TdsType::DateTime)
            rij << QVariant();
        else if (kolom.type == TdsType::VarChar)
            rij << "x";
        else
            rij << 1;
    }
    std::vector<test::TdsRow> rijen;
    if (metRij) rijen.push_back(rij);
    return TdsReply().resultSet(kolommen, rijen);
}

}  // namespace

using Beheer = test::WindowWithServer;

TEST_F(Beheer, EachLifecycleCommandSendsItsExactBatchAfterJaAndReports) {
    for (const Opdracht& o : opdrachten()) {
        peer.clearJournal();
        platform.dialogs.clear();
        window->P_VKMID->setText(" 42 ");
        window->LocatieDatabase->setText("D:\\SQL");
        platform.answer(DialogResult::Yes);
        platform.answer(DialogResult::OK);
        ((*window).*(o.klik))();
        ASSERT_EQ(platform.dialogs.size(), 2u) << o.naam;
        EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Warning) << o.naam;
        EXPECT_EQ(platform.dialogs[0].text, o.vraag);
        EXPECT_EQ(platform.dialogs[0].buttons, QStringList({"&Ja", "&Nee"}));
        EXPECT_EQ(platform.dialogs[1].kind, DialogKind::Information);
        EXPECT_EQ(platform.dialogs[1].text, o.succes);
        EXPECT_EQ(sent(), QStringList({crlf(o.regels)})) << o.naam;
        EXPECT_TRUE(window->ADO.isOpen());
        EXPECT_TRUE(platform.sounds.isEmpty());
    }
}

TEST_F(Beheer, AnsweringNeeSendsNothingAndTheResetStillHolds) {
    for (const Opdracht& o : opdrachten()) {
        // Both connections open on the company database, so the reset has
        // something to undo.
        window->P_DATABASE->setText("KORVEX_42");
        window->P_VKMID->setText("42");
        window->Button3->click();
        window->ADO2.open();
        ASSERT_TRUE(window->ADO.isOpen() && window->ADO2.isOpen());
        peer.clearJournal();
        window->LocatieDatabase->setText("D:\\SQL");
        platform.answer(DialogResult::No);
        ((*window).*(o.klik))();
        const bool create = std::string(o.naam) == "aanmaken";
        EXPECT_TRUE(sent().isEmpty()) << o.naam;
        EXPECT_EQ(window->P_DATABASE->text(), create ? "KORVEX_42" : "master") << o.naam;
        EXPECT_EQ(window->ADO2.isOpen(), create) << o.naam;
        // The server connection is open for the question: create kept its
        // own, the others closed it and opened it again on master.
        EXPECT_TRUE(window->ADO.isOpen()) << o.naam;
        const auto logins = peer.logins();
        if (create) {
            EXPECT_TRUE(logins.empty()) << o.naam;
        } else {
            ASSERT_EQ(logins.size(), 1u) << o.naam;
            EXPECT_EQ(logins[0].database, "master") << o.naam;
        }
        window->ADO.close();
        window->ADO2.close();
    }
}

TEST_F(Beheer, EmptyOrHostileVkmIdWarnsAfterTheResetAndSendsNothing) {
    const QStringList ids{"", "   ", "42; DROP DATABASE master", "42'", "4 2", "42]"};
    for (const Opdracht& o : opdrachten()) {
        for (const QString& id : ids) {
            window->P_DATABASE->setText("KORVEX_42");
            window->P_VKMID->setText("42");
            window->Button3->click();
            window->ADO2.open();
            ASSERT_TRUE(window->ADO.isOpen() && window->ADO2.isOpen());
            peer.clearJournal();
            platform.dialogs.clear();
            platform.sounds.clear();
            window->P_VKMID->setText(id);
            window->LocatieDatabase->setText("D:\\SQL");
            platform.answer(DialogResult::OK);
            ((*window).*(o.klik))();
            const bool create = std::string(o.naam) == "aanmaken";
            ASSERT_EQ(platform.dialogs.size(), 1u) << o.naam << " " << id.toStdString();
            EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Warning);
            EXPECT_EQ(platform.dialogs[0].text, "Voer een geldige VKM ID in en probeer opnieuw");
            EXPECT_EQ(platform.sounds, create ? QStringList({":/WAVE/ERROR"}) : QStringList());
            EXPECT_TRUE(sent().isEmpty());
            EXPECT_EQ(window->ADO.isOpen(), create) << o.naam;
            EXPECT_EQ(window->ADO2.isOpen(), create) << o.naam;
            EXPECT_EQ(window->P_DATABASE->text(), create ? "KORVEX_42" : "master") << o.naam;
            window->ADO.close();
            window->ADO2.close();
        }
    }
}

TEST_F(Beheer, EmptyLocationWarnsEvenWhereTheBatchDoesNotUseIt) {
    for (const Opdracht& o : opdrachten()) {
        platform.dialogs.clear();
        window->P_VKMID->setText("42");
        window->LocatieDatabase->setText(" \t");
        platform.answer(DialogResult::OK);
        ((*window).*(o.klik))();
        ASSERT_EQ(platform.dialogs.size(), 1u) << o.naam;
        EXPECT_EQ(platform.dialogs[0].text, "Voer een locatie database in en probeer opnieuw");
    }
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(Beheer, TextTheDriverWouldCutShortIsRefusedBeforeAnythingIsSent) {
    // The driver ends a command text at U+0000 or half a surrogate pair, and
    // the server would run what came before.
    const QString gevaarlijk[] = {QString("D:\\SQL") + QChar(0) + "X",
                                  QString("D:\\SQL") + QChar(0xD800), QString("D:\\SQL\x1B"),
                                  QString("D:\\SQL") + QChar(0xDC00) + QChar(0xD800)};
    for (const QString& waarde : gevaarlijk) {
        for (const Opdracht& o : opdrachten()) {
            platform.dialogs.clear();
            window->P_VKMID->setText("42");
            window->LocatieDatabase->setText(waarde);
            platform.answer(DialogResult::OK);
            ((*window).*(o.klik))();
            ASSERT_EQ(platform.dialogs.size(), 1u) << o.naam;
            EXPECT_EQ(platform.dialogs[0].text, "Voer een locatie database in en probeer opnieuw");
        }
        platform.dialogs.clear();
        window->LocatieDatabase->setText("D:\\SQL");
        window->BTWnummer->setText(waarde);
        platform.answer(DialogResult::OK);
        window->Button11Click();
        ASSERT_EQ(platform.dialogs.size(), 1u);
        EXPECT_EQ(platform.dialogs[0].caption, "Korvex® waarschuwing");
        EXPECT_EQ(platform.dialogs[0].text, "Voer een geldig BTW nummer in en probeer opnieuw");
    }
    EXPECT_TRUE(sent().isEmpty());
    // A whole pair is one character and goes through.
    peer.onBatch("select * from bedrijven", bedrijfsrij(true));
    window->BTWnummer->setText(QString::fromUtf8("NL😀"));
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button11Click();
    ASSERT_GE(sent().size(), 1);
    EXPECT_TRUE(sent()[0].contains(QString::fromUtf8("bdr_btwnummer='NL😀'where")))
        << sent()[0].toStdString();
}

TEST_F(Beheer, LocationIsSentUntrimmedWithApostrophesDoubled) {
    window->P_VKMID->setText("42");
    window->LocatieDatabase->setText(" D:\\O'Brien\\");
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button4Click();
    ASSERT_EQ(sent().size(), 1);
    EXPECT_TRUE(sent()[0].contains("FILENAME = ' D:\\O''Brien\\\\KORVEX_42.mdf') \r\n"))
        << sent()[0].toStdString();
}

TEST_F(Beheer, CreateThatCannotConnectLeavesOnlyALogLine) {
    window->Logboek->setPlainText("eerder");
    window->P_DATABASE->setText("KORVEX_NIEUW");
    window->P_VKMID->setText("42");
    window->Button4Click();
    EXPECT_TRUE(platform.dialogs.empty());
    const QStringList regels = window->Logboek->toPlainText().split('\n');
    ASSERT_EQ(regels.size(), 2);
    EXPECT_EQ(regels[0], "eerder");
    EXPECT_TRUE(regels[1].contains("Cannot open database \"KORVEX_NIEUW\""))
        << regels[1].toStdString();
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(Beheer, RefusedBatchGoesToTheDialogOrForCreateToTheLog) {
    peer.onBatch("sp_attach_db", TdsReply().error(5120, 16, 101,
                                                  "Unable to open the physical file "
                                                  "\"D:\\SQL\\KORVEX_42.mdf\"."));
    peer.onBatch("CREATE DATABASE",
                 TdsReply().error(1801, 16, 3, "Database 'KORVEX_42' already exists."));
    window->P_VKMID->setText("42");
    window->LocatieDatabase->setText("D:\\SQL");
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button5Click();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[1].kind, DialogKind::Error);
    EXPECT_EQ(platform.dialogs[1].text,
              "Unable to open the physical file \"D:\\SQL\\KORVEX_42.mdf\".");

    platform.dialogs.clear();
    platform.answer(DialogResult::Yes);
    window->Button4Click();
    ASSERT_EQ(platform.dialogs.size(), 1u) << "only the question, no success";
    EXPECT_EQ(window->Logboek->toPlainText().split('\n').last(),
              "Database 'KORVEX_42' already exists.");
}

TEST_F(Beheer, StandaardBedrijfWritesTheReportAndThePincode) {
    peer.onBatch("select * from bedrijven", bedrijfsrij(true));
    window->P_VKMID->setText(" 42 ");
    window->Logboek->setPlainText("oud");
    window->Button10Click();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(window->Logboek->toPlainText(),
              "Zelvo Korvex administratie is actief met volgende gegevens\n"
              "noteer de gegevens goed voor later gebruik in de software\n\n"
              "Inlognaam: beheerder\nPaswoord: w8woord\nBedrijfsnummer: 1\nPincode: 4711\n"
              "BTW nummer: NL001");
    EXPECT_EQ(window->P_PINCODE->text(), "4711");
    EXPECT_EQ(window->RzPageControl1->currentWidget(), window->TabSheet3);
    EXPECT_EQ(sent(),
              QStringList({"select * from bedrijven\r\nINNER JOIN PORTAAL ON "
                           "por_bedrijf=bdr_id\r\nand por_groep=500\r\nwhere bdr_id=1\r\n"}));
    EXPECT_EQ(peer.logins().back().database, "KORVEX_42");
    EXPECT_TRUE(window->ADO2.isOpen());
}

TEST_F(Beheer, StandaardBedrijfWithoutARowOrWithAMissingColumn) {
    peer.onBatch("select * from bedrijven", bedrijfsrij(false));
    window->P_VKMID->setText("42");
    window->P_PINCODE->setText("oud");
    window->Button10Click();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(window->Logboek->toPlainText().split('\n').mid(3),
              QStringList(
                  {"Inlognaam: ", "Paswoord: ", "Bedrijfsnummer: 1", "Pincode: ", "BTW nummer: "}));
    EXPECT_EQ(window->P_PINCODE->text(), "");

    peer.clearBatchRules();
    peer.onBatch("select * from bedrijven", bedrijfsrij(true, "por_koppelingen"));
    platform.answer(DialogResult::OK);
    window->Button10Click();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Error);
    EXPECT_EQ(platform.dialogs[0].text, "Field 'por_koppelingen' not found");
}

TEST_F(Beheer, BtwNummerSendsThreeLinesThenReports) {
    peer.onBatch("select * from bedrijven", bedrijfsrij(true));
    window->P_VKMID->setText("42");
    window->BTWnummer->setText("NL001");
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button11Click();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[0].text, "Wenst u het BTW nummer te wijzigen in de database?");
    EXPECT_EQ(platform.dialogs[0].buttons, QStringList({"&Ja", "&Nee"}));
    EXPECT_EQ(platform.dialogs[1].kind, DialogKind::Information);
    EXPECT_EQ(platform.dialogs[1].text, "Het BTW nummer werd met succes gewijzigd.");
    ASSERT_GE(sent().size(), 1);
    EXPECT_EQ(
        sent()[0],
        "USE KORVEX_42\r\n;\r\nUPDATE dbo.Bedrijven set bdr_btwnummer='NL001'where bdr_id=1\r\n");
    EXPECT_TRUE(window->Logboek->toPlainText().endsWith("BTW nummer: NL001"));
}

TEST_F(Beheer, BtwNummerNeeSendsNothingAndApostrophesArriveDoubled) {
    window->P_VKMID->setText("42");
    window->BTWnummer->setText("NL'01");
    window->Logboek->setPlainText("blijft");
    platform.answer(DialogResult::No);
    window->Button11Click();
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_EQ(window->Logboek->toPlainText(), "blijft");

    peer.onBatch("UPDATE dbo.Bedrijven",
                 TdsReply().error(208, 16, 1, "Invalid object name 'dbo.Bedrijven'."));
    platform.answer(DialogResult::Yes);
    window->Button11Click();
    ASSERT_EQ(sent().size(), 1);
    EXPECT_TRUE(sent()[0].contains("bdr_btwnummer='NL''01'where")) << sent()[0].toStdString();
    // A refused update is a log line, not a dialog, and no report follows.
    EXPECT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(window->Logboek->toPlainText().split('\n').last(),
              "Invalid object name 'dbo.Bedrijven'.");
}

TEST_F(Beheer, TypeProfilesSendTwelveLinesAfterAnOwnerlessTopmostQuestion) {
    struct Case {
        void (THoofdscherm::*klik)();
        QString vraag;
        QString succes;
        QString eerste;
    };
    const Case cases[] = {
        {&THoofdscherm::Button13Click, "Instellingen database aanpassen naar taxibedrijf?",
         "Database met succes aangepast naar taxibedrijf",
         "Alter Table Opdrachtregels Add reg_totaal As ([reg_eenheidsprijs]*[reg_aantal]);"},
        {&THoofdscherm::Button14Click, "Instellingen database aanpassen naar koerierbedrijf?",
         "Database werd met succes aangepast naar koerierbedrijf",
         "Alter Table Opdrachtregels Add reg_totaal As "
         "(([reg_eenheidsprijs]/100)*(100+[reg_btw_perc]));"},
    };
    for (const Case& c : cases) {
        peer.clearJournal();
        platform.dialogs.clear();
        platform.answer(DialogResult::Yes);
        platform.answer(DialogResult::OK);
        ((*window).*(c.klik))();
        ASSERT_EQ(platform.dialogs.size(), 2u);
        const auto& vraag = platform.dialogs[0];
        EXPECT_EQ(vraag.type, "system");
        EXPECT_EQ(vraag.caption, "");
        EXPECT_EQ(vraag.text, c.vraag);
        EXPECT_EQ(vraag.system.buttons, unsigned(BtnYes | BtnNo));
        EXPECT_EQ(vraag.system.defaultButton, BtnNo);
        EXPECT_EQ(vraag.system.icon, SystemIcon::Question);
        EXPECT_FALSE(vraag.system.withOwner);
        EXPECT_TRUE(vraag.system.topmost);
        const auto& klaar = platform.dialogs[1];
        EXPECT_EQ(klaar.caption, "Controle gegevens");
        EXPECT_EQ(klaar.text, c.succes);
        EXPECT_EQ(klaar.system.icon, SystemIcon::Information);
        EXPECT_FALSE(klaar.system.withOwner);
        EXPECT_TRUE(klaar.system.topmost);
        ASSERT_EQ(sent().size(), 1);
        const QStringList regels = sent()[0].split("\r\n");
        ASSERT_EQ(regels.size(), 13) << "twelve lines, each ended by CR LF";
        EXPECT_EQ(regels[12], "");
        EXPECT_EQ(regels[0], "Alter Table Opdrachtregels Drop Column reg_totaal;");
        EXPECT_EQ(regels[1], c.eerste);
        EXPECT_EQ(regels[10], "Alter Table Planning Drop Column pla_netto;");
    }
}

TEST_F(Beheer, TypeProfileNoSendsNothingAndARefusalShowsTheErrorOnly) {
    platform.answer(DialogResult::No);
    window->Button13Click();
    EXPECT_TRUE(sent().isEmpty());

    peer.onBatch("Drop Column reg_totaal",
                 TdsReply().error(4902, 16, 1,
                                  "Cannot find the object \"Opdrachtregels\" because it does not "
                                  "exist or you do not have permissions."));
    platform.dialogs.clear();
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button14Click();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[1].type, "message");
    EXPECT_EQ(platform.dialogs[1].kind, DialogKind::Error);
    EXPECT_TRUE(platform.dialogs[1].text.startsWith("Cannot find the object \"Opdrachtregels\""));
}

TEST_F(Beheer, TimeoutAndLostConnectionAreReportedAndTheWindowGoesOn) {
    window->ADOCommand.commandTimeout = 1;
    window->P_VKMID->setText("42");
    window->LocatieDatabase->setText("D:\\SQL");
    peer.onBatch("sp_attach_db", TdsReply().delay(8000).done());
    peer.onBatch("sp_detach_db", TdsReply().disconnect());

    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button5Click();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[1].kind, DialogKind::Error);
    EXPECT_FALSE(platform.dialogs[1].text.isEmpty());
    EXPECT_FALSE(platform.dialogs[1].text.contains("met succes"));

    platform.dialogs.clear();
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button7Click();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[1].kind, DialogKind::Error);
    EXPECT_FALSE(platform.dialogs[1].text.contains("met succes"));

    EXPECT_FALSE(window->ADO.isOpen()) << "a dropped connection counts as closed";
    EXPECT_NE(window->statusText(), "Database met succes gesloten");

    // Create, which does not close first, reconnects and succeeds.
    platform.dialogs.clear();
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button4Click();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[1].text, "De database KORVEX_42 werd met succes aangemaakt");

    // So does the next of the others.
    platform.dialogs.clear();
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    window->Button6Click();
    ASSERT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(platform.dialogs[1].text, "De database KORVEX_42 werd met succes verwijderd");
}
