#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <QToolButton>
#include <QStatusBar>
#include <QTabWidget>

#include "scripts/BestandLijst.h"
#include "scripts/MapLijst.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/Bestanden.h"

using namespace korvex;

using Verbinding = test::WindowWithServer;

TEST_F(Verbinding, TestVerbindingOpensWithTheTypedValuesAndOnlyOnce) {
    auto& w = *window;
    w.P_DATABASE->setText("KORVEX_42");
    w.Button3->click();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(w.statusText(), "Database met succes geopend");
    EXPECT_TRUE(w.ADO.isOpen());
    EXPECT_EQ(w.ADO.connectionString(),
              "Provider=SQLOLEDB.1;Password=geheim;Persist Security Info=True;User ID=sa;"
              "Initial Catalog=KORVEX_42;Data Source=" +
                  peer.server());
    auto logins = peer.logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].user, "sa");
    EXPECT_EQ(logins[0].password, "geheim");
    EXPECT_EQ(logins[0].database, "KORVEX_42");
    EXPECT_TRUE(logins[0].serverName.startsWith("127.0.0.1")) << logins[0].serverName.toStdString();

    // A second test after changing the server does nothing at all.
    w.P_SQLSERVER->setText("elders\\SQLEXPRESS");
    w.StatusBar1->showMessage("tussendoor");
    w.Button3->click();
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_EQ(w.statusText(), "tussendoor");
    EXPECT_EQ(peer.logins().size(), 1u);
    EXPECT_EQ(w.P_SQLSERVER->text(), "elders\\SQLEXPRESS");
}

TEST_F(Verbinding, WrongPasswordShowsTheDriversMessageAndTheNextTryStartsAfresh) {
    auto& w = *window;
    w.P_PASWOORD->setText("fout");
    w.StatusBar1->showMessage("vorige tekst");
    platform.answer(DialogResult::OK);
    w.Button3->click();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].type, "message");
    EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Error);
    EXPECT_EQ(platform.dialogs[0].caption, "Korvex® fout");
    EXPECT_EQ(platform.dialogs[0].buttons, QStringList({"OK"}));
    EXPECT_TRUE(platform.dialogs[0].text.contains("Login failed for user 'sa'."))
        << platform.dialogs[0].text.toStdString();
    EXPECT_EQ(w.statusText(), "vorige tekst");
    EXPECT_FALSE(w.ADO.isOpen());
    EXPECT_EQ(w.P_PASWOORD->text(), "fout") << "a connection attempt never alters a setting";

    w.P_PASWOORD->setText("geheim");
    w.Button3->click();
    EXPECT_TRUE(w.ADO.isOpen());
    EXPECT_EQ(peer.logins().back().password, "geheim");
}

TEST_F(Verbinding, ValueTheDriverFormCannotCarryIsRefusedWithADialog) {
    auto& w = *window;
    w.P_PASWOORD->setText("a}b");
    platform.answer(DialogResult::OK);
    w.Button3->click();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_TRUE(platform.dialogs[0].text.contains("Paswoord"))
        << platform.dialogs[0].text.toStdString();
    EXPECT_TRUE(peer.logins().empty());
}

TEST_F(Verbinding, CompanyConnectionUsesTheTrimmedVkmIdAndShowsNoStatus) {
    auto& w = *window;
    w.P_VKMID->setText(" 42 ");
    w.StatusBar1->showMessage("blijft");
    w.ADO2.open();
    EXPECT_TRUE(w.ADO2.isOpen());
    EXPECT_EQ(peer.logins().back().database, "KORVEX_42");
    EXPECT_TRUE(w.ADO2.connectionString().contains(";Initial Catalog=KORVEX_42;"));
    w.ADO2.close();
    EXPECT_EQ(w.statusText(), "blijft");
}

TEST_F(Verbinding, ClosingClosesTheServerConnectionOnlyWhenOpen) {
    auto& w = *window;
    w.show();
    w.Button3->click();
    ASSERT_TRUE(w.ADO.isOpen());
    w.Button1->click();
    EXPECT_EQ(w.statusText(), "Database met succes gesloten");
    EXPECT_FALSE(w.ADO.isOpen());
    EXPECT_TRUE(peer.waitForDisconnects(1));
}

TEST_F(Verbinding, ClosingWithTheConnectionClosedSendsNothing) {
    auto& w = *window;
    w.show();
    w.close();
    EXPECT_TRUE(peer.logins().empty());
    EXPECT_TRUE(peer.disconnects().isEmpty());
}

namespace korvex::test {
namespace {

// The script manager is made afresh at every click and gone afterwards; it
// reads the fields as typed, and its failures land in the log memo.
TEST_F(WindowWithServer, ScriptManagerIsMadeAfreshAtEveryOpening) {
    ASSERT_TRUE(QDir(folder.path()).mkpath("SQLOnlineScripts/elders"));
    Schrijf(folder.file("SQLOnlineScripts/3-1-3.sql"), "select ?");
    window->P_VKMID->setText(" 42 ");
    const auto versie = [&](const QString& v) {
        peer.clearBatchRules();
        peer.onBatch("select * from DatabaseInstellingen",
                     TdsReply().resultSet({{"dat_id", TdsType::Int},
                                           {"dat_versie", TdsType::VarChar, 10},
                                           {"dat_datum", TdsType::DateTime}},
                                          {{1, v, QDateTime(QDate(2013, 8, 21), QTime(9, 0))}}));
    };
    struct Gezien {
        QString titel, map;
        int online = -1;
        bool inloggen = false;
    };
    std::vector<Gezien> gezien;
    const auto open = [&](const std::function<void(scripts::TFKorvexFTP&)>& actie) {
        QTimer::singleShot(0, [&] {
            auto* v = qobject_cast<scripts::TFKorvexFTP*>(QApplication::activeModalWidget());
            ASSERT_NE(v, nullptr);
            gezien.push_back({v->windowTitle(), v->SQLBestandenLokaal->Directory(),
                              v->SQLBestandenFTP->count(), v->Verbinden->isEnabled()});
            actie(*v);
            v->BtnSluit->click();
        });
        window->Button8Click();
        EXPECT_TRUE(window->findChildren<scripts::TFKorvexFTP*>().isEmpty());
    };

    versie("3.1.2");
    platform.answer(DialogResult::Yes);
    open([&](scripts::TFKorvexFTP& v) {
        v.OverzichtBestanden->setCurrentRow(0);
        v.ScriptUitvoerenClick();
        v.SQLBestandenLokaal->SetDirectory(folder.file("SQLOnlineScripts/elders"));
        v.SQLBestandenFTP->addItem("4-0-0.sql");
        versie("3.1.3");
    });
    open([](scripts::TFKorvexFTP&) {});

    ASSERT_EQ(gezien.size(), 2u);
    EXPECT_EQ(gezien[0].titel, "Zelvo Korvex SQL script beheerder - v3.1.2 - 21-08-2013");
    EXPECT_EQ(gezien[1].titel, "Zelvo Korvex SQL script beheerder - v3.1.3 - 21-08-2013");
    EXPECT_EQ(gezien[1].map, QDir::cleanPath(folder.file("SQLOnlineScripts")));
    EXPECT_EQ(gezien[1].online, 0);
    EXPECT_TRUE(gezien[1].inloggen);
    EXPECT_EQ(peer.logins().back().database, "KORVEX_42");
    EXPECT_EQ(window->Logboek->toPlainText(),
              "Het script bevat op regel 1 een vraagteken buiten een tekst, opmerking of naam "
              "tussen haken. De ODBC-driver houdt dat voor een parameter en verstuurt het script "
              "niet; het is niet uitgevoerd.\nselect ?\n");
}

}  // namespace
}  // namespace korvex::test
