#include <QStatusBar>
#include <QTabWidget>

#include "tests/app/WindowFixture.h"
#include "tests/database/Bedrijfsrecord.h"

using namespace korvex;
using test::bedrijfsrij;
using test::TdsReply;

// The window's part of the database commands: each button reaches its
// command, the questions are asked in the described boxes and each outcome
// reaches its place. What the commands send is tested on the service.

namespace {

struct Opdracht {
    const char* naam;
    void (THoofdscherm::*klik)();
    QString vraag;
    QString succes;
    QString kern;  // the batch's line that names the command
};

const std::vector<Opdracht>& opdrachten() {
    static const std::vector<Opdracht> lijst{
        {"aanmaken", &THoofdscherm::Button4Click,
         "Een nieuwe database aanmaken op de gekozen locatie?",
         "De database KORVEX_42 werd met succes aangemaakt", "CREATE DATABASE KORVEX_42 "},
        {"koppelen", &THoofdscherm::Button5Click, "De database koppelen met de gekozen locatie?",
         "De database KORVEX_42 werd met succes gekoppeld",
         "EXEC sp_attach_db @dbname = 'KORVEX_42',"},
        {"verwijderen", &THoofdscherm::Button6Click,
         "De database verwijderen op de gekozen locatie?",
         "De database KORVEX_42 werd met succes verwijderd", "DROP DATABASE KORVEX_42 "},
        {"ontkoppelen", &THoofdscherm::Button7Click, "De database ontkoppelen van deze locatie?",
         "De database KORVEX_42 werd met succes ontkoppeld",
         "EXEC sp_detach_db 'KORVEX_42','false'"},
    };
    return lijst;
}

}  // namespace

using Beheer = test::WindowWithServer;

TEST_F(Beheer, EachLifecycleButtonAsksInAWarningAndReportsTheSuccess) {
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
        ASSERT_EQ(sent().size(), 1) << o.naam;
        EXPECT_TRUE(sent()[0].contains("\r\n" + o.kern + "\r\n")) << o.naam;
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

TEST_F(Beheer, WarningsReachTheDialogWithTheErrorSoundOnlyForCreate) {
    for (const Opdracht& o : opdrachten()) {
        for (const QString locatie : {"D:\\SQL", " \t"}) {
            platform.dialogs.clear();
            platform.sounds.clear();
            const bool vkm = locatie == "D:\\SQL";
            window->P_VKMID->setText(vkm ? "42'" : "42");
            window->LocatieDatabase->setText(locatie);
            platform.answer(DialogResult::OK);
            ((*window).*(o.klik))();
            const bool create = std::string(o.naam) == "aanmaken";
            ASSERT_EQ(platform.dialogs.size(), 1u) << o.naam;
            EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Warning);
            EXPECT_EQ(platform.dialogs[0].text,
                      vkm ? "Voer een geldige VKM ID in en probeer opnieuw"
                          : "Voer een locatie database in en probeer opnieuw");
            EXPECT_EQ(platform.sounds, create ? QStringList({":/WAVE/ERROR"}) : QStringList());
        }
    }
    platform.dialogs.clear();
    platform.sounds.clear();
    window->LocatieDatabase->setText("D:\\SQL");
    window->BTWnummer->setText(QString("NL") + QChar(0));
    platform.answer(DialogResult::OK);
    window->Button11Click();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].caption, "Korvex® waarschuwing");
    EXPECT_EQ(platform.dialogs[0].text, "Voer een geldig BTW nummer in en probeer opnieuw");
    EXPECT_TRUE(platform.sounds.isEmpty());
    EXPECT_TRUE(sent().isEmpty());
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

TEST_F(Beheer, StandaardBedrijfWritesTheReportAndThePincodeOrShowsWhatIsMissing) {
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
    EXPECT_EQ(peer.logins().back().database, "KORVEX_42");
    EXPECT_TRUE(window->ADO2.isOpen());

    // Without a row, or with a column missing.
    peer.clearBatchRules();
    peer.onBatch("select * from bedrijven", bedrijfsrij(false));
    window->P_PINCODE->setText("oud");
    window->Button10Click();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(window->P_PINCODE->text(), "");

    peer.clearBatchRules();
    peer.onBatch("select * from bedrijven", bedrijfsrij(true, "por_koppelingen"));
    platform.answer(DialogResult::OK);
    window->Button10Click();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Error);
    EXPECT_EQ(platform.dialogs[0].text, "Field 'por_koppelingen' not found");
}

TEST_F(Beheer, BtwNummerNeeSendsNothingARefusalIsALogLineAndJaReports) {
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
    // A refused update is a log line, not a dialog, and no report follows.
    EXPECT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(window->Logboek->toPlainText(), "blijft\nInvalid object name 'dbo.Bedrijven'.");

    // Ja: three lines, the success, then the report.
    peer.clearBatchRules();
    peer.clearJournal();
    platform.dialogs.clear();
    peer.onBatch("select * from bedrijven", bedrijfsrij(true));
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
    EXPECT_TRUE(sent()[0].contains("bdr_btwnummer='NL001'where")) << sent()[0].toStdString();
    EXPECT_TRUE(window->Logboek->toPlainText().startsWith("Zelvo Korvex administratie"));
    EXPECT_TRUE(window->Logboek->toPlainText().endsWith("BTW nummer: NL001"));
}

TEST_F(Beheer, TypeProfilesAskInAnOwnerlessTopmostBoxAndConfirmInAnother) {
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
        EXPECT_EQ(klaar.system.buttons, unsigned(BtnOK));
        EXPECT_EQ(klaar.system.icon, SystemIcon::Information);
        EXPECT_FALSE(klaar.system.withOwner);
        EXPECT_TRUE(klaar.system.topmost);
        ASSERT_EQ(sent().size(), 1);
        EXPECT_EQ(sent()[0].split("\r\n").value(1), c.eerste);
    }

    // Nee sends nothing; a refusal shows the error only.
    peer.clearJournal();
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
