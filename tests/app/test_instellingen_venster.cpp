#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "app/Hoofdscherm.h"
#include "tests/support/Bestanden.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TempFolder.h"

using namespace korvex;

namespace {

// One run of the tool: created, shown, then whatever the test does, then
// closed and released as at program end.
struct Sessie {
    explicit Sessie(test::ScriptedPlatform& p) : window(std::make_unique<THoofdscherm>(p)) {
        window->show();
    }
    ~Sessie() {
        if (window) end();
    }
    void end() {
        window->close();
        window.reset();
    }
    THoofdscherm* operator->() { return window.get(); }
    std::unique_ptr<THoofdscherm> window;
};

class Instellingen : public ::testing::Test {
  protected:
    QString settings() const { return folder.file("KorvexSQLServer.xml"); }
    test::TempFolder folder;
    test::ScriptedPlatform platform{folder.path()};
};

}  // namespace

TEST_F(Instellingen, FirstRunEndingNormallyWritesTheExactFile) {
    { Sessie run(platform); }
    const QByteArray location = QDir::toNativeSeparators(folder.path() + "DATABASES").toLatin1();
    EXPECT_EQ(test::Lees(settings()),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
              "<Configuration>\r\n"
              "  <Hoofdscherm>\r\n"
              "    <FormVersion>0</FormVersion>\r\n"
              "    <P_UPDATES_Checked>FALSE</P_UPDATES_Checked>\r\n"
              "    <P_DATABASE_Text>master</P_DATABASE_Text>\r\n"
              "    <P_INLOGNAAM_Text>sa</P_INLOGNAAM_Text>\r\n"
              "    <P_PASWOORD_Text/>\r\n"
              "    <P_PINCODE_Text/>\r\n"
              "    <P_SQLSERVER_Text>PC01\\SQLEXPRESS</P_SQLSERVER_Text>\r\n"
              "    <P_VKMID_Text/>\r\n"
              "    <LocatieDatabase_Text>" +
                  location +
                  "</LocatieDatabase_Text>\r\n"
                  "    <BTWnummer_Text/>\r\n"
                  "  </Hoofdscherm>\r\n"
                  "</Configuration>\r\n");
}

TEST_F(Instellingen, StoredValuesWinOverTheCreationDefaultsAtTheNextStart) {
    {
        Sessie run(platform);
        run->P_SQLSERVER->setText("SRV2\\SQL");
        run->P_DATABASE->setText("");
        run->P_PASWOORD->setText(QString::fromUtf8("a&b<c\"d€\xE2\x82\xAC\xF0\x9F\x9A\x95"));
        run->P_UPDATES->setChecked(true);
    }
    Sessie run(platform);
    EXPECT_EQ(run->P_SQLSERVER->text(), "SRV2\\SQL");
    EXPECT_EQ(run->P_DATABASE->text(), "") << "a stored empty value replaces master";
    EXPECT_EQ(run->P_PASWOORD->text(), QString::fromUtf8("a&b<c\"d€\xE2\x82\xAC\xF0\x9F\x9A\x95"));
    EXPECT_TRUE(run->P_UPDATES->isChecked());
}

TEST_F(Instellingen, AFormVersionThatIsNotANumberKeepsTheDefaultsForThatRun) {
    test::Schrijf(
        settings(),
        "<?xml version=\"1.0\"?><Configuration><Hoofdscherm><FormVersion>abc</FormVersion>"
        "<P_SQLSERVER_Text>ANDERS</P_SQLSERVER_Text></Hoofdscherm></Configuration>");
    {
        Sessie run(platform);
        EXPECT_EQ(run->P_SQLSERVER->text(), "PC01\\SQLEXPRESS");
    }
    const QByteArray after = test::Lees(settings());
    EXPECT_TRUE(after.contains("<FormVersion>0</FormVersion>"));
    EXPECT_TRUE(after.contains("<P_SQLSERVER_Text>PC01\\SQLEXPRESS</P_SQLSERVER_Text>"));
}

TEST_F(Instellingen, ABrokenFileStartsWithDefaultsAndIsKeptAsBackup) {
    test::Schrijf(settings(), "<Configuration><Hoofdscherm><P_SQLSERVER_Text>HANDWERK");
    {
        Sessie run(platform);
        EXPECT_EQ(run->P_SQLSERVER->text(), "PC01\\SQLEXPRESS");
        EXPECT_TRUE(platform.dialogs.empty());
    }
    EXPECT_EQ(test::Lees(settings() + ".bak"),
              "<Configuration><Hoofdscherm><P_SQLSERVER_Text>HANDWERK");
    EXPECT_TRUE(test::Lees(settings()).contains("<FormVersion>0</FormVersion>"));
}

TEST_F(Instellingen, LongStoredAndImportedValuesAreShownAndKeptWhole) {
    // Longer than Qt's default field length of 32,767.
    const QByteArray lang(40000, 'L');
    test::Schrijf(settings(), "<Configuration><Hoofdscherm><P_PASWOORD_Text>" + lang +
                                  "</P_PASWOORD_Text></Hoofdscherm></Configuration>");
    const QString zkd = folder.file("lang.zkd");
    test::Schrijf(zkd, "LocatieDatabase=" + lang + "\r\n");
    {
        Sessie run(platform);
        EXPECT_EQ(run->P_PASWOORD->text().size(), 40000);
        platform.answerFile(zkd);
        platform.answer(DialogResult::OK);
        run->Button9Click();
        EXPECT_EQ(run->LocatieDatabase->text().size(), 40000);
    }
    EXPECT_TRUE(test::Lees(settings()).contains("<LocatieDatabase_Text>" + lang + "</"));
    // Typing stops where a field is full.
    Sessie run(platform);
    run->BTWnummer->setText(QString(100001, u'b'));
    EXPECT_EQ(run->BTWnummer->text().size(), 100000);
}

TEST_F(Instellingen, ReleasedWithoutACloseStillStoresTheValues) {
    {
        auto window = std::make_unique<THoofdscherm>(platform);
        window->show();
        window->P_VKMID->setText("77");
        // The update hand-off ends the program without closing the window.
    }
    EXPECT_TRUE(test::Lees(settings()).contains("<P_VKMID_Text>77</P_VKMID_Text>"));
}

TEST_F(Instellingen, SaveThenOpenAConfigurationFileShowsItAfterTheRestart) {
    const QString zkd = folder.file("Databases/Defs/klant");
    {
        Sessie run(platform);
        run->P_SQLSERVER->setText("SRV9\\SQL");
        run->P_PASWOORD->setText("p=w");
        run->P_VKMID->setText(" 42 ");
        run->BTWnummer->setText("NL001");
        platform.answerFile(zkd);  // typed without extension
        run->Button12->click();
        const FileDialogRequest& save = platform.fileDialogs.back();
        EXPECT_EQ(save.title, "Bewaar configuratie als");
        EXPECT_EQ(save.defaultExtension, "zkd");
        EXPECT_EQ(save.initialFolder, QDir::toNativeSeparators(folder.path() + "Databases/Defs"));
        ASSERT_EQ(save.filters.size(), 2);
        EXPECT_EQ(save.filters[0].description, "Zelvo Korvex SQL configuraties");
        EXPECT_EQ(save.filters[0].pattern, "*.zkd");
        EXPECT_EQ(save.filters[1].description, "Alle bestanden");
        EXPECT_EQ(save.filters[1].pattern, "*.*");
        EXPECT_FALSE(save.overwritePrompt);
        EXPECT_TRUE(platform.dialogs.empty()) << "no message follows a save";
    }
    const QByteArray location = QDir::toNativeSeparators(folder.path() + "DATABASES").toLatin1();
    EXPECT_EQ(test::Lees(zkd + ".zkd"),
              "P_SQLSERVER=SRV9\\SQL\r\nP_INLOGNAAM=sa\r\nP_PASWOORD=p=w\r\n"
              "P_DATABASE=master\r\nP_VKMID= 42 \r\nP_PINCODE=\r\n"
              "LocatieDatabase=" +
                  location + "\r\nBTWnummer=NL001\r\n");
    {
        Sessie run(platform);
        run->P_SQLSERVER->setText("IETS\\ANDERS");
        run->BTWnummer->setText("weg");
        run->P_UPDATES->setChecked(true);
        platform.answerFile(zkd + ".zkd");
        platform.answer(DialogResult::OK);
        run->Button9->click();
        EXPECT_EQ(platform.fileDialogs.back().title, "Open configuratie ");
        EXPECT_FALSE(platform.fileDialogs.back().fileMustExist);
        ASSERT_EQ(platform.dialogs.size(), 1u);
        EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Warning);
        EXPECT_EQ(platform.dialogs[0].text, "Herstart software om de configuratie actief te maken");
        EXPECT_FALSE(run->isVisible()) << "the open command closes the tool";
    }
    Sessie run(platform);
    EXPECT_EQ(run->P_SQLSERVER->text(), "SRV9\\SQL");
    EXPECT_EQ(run->P_PASWOORD->text(), "p=w");
    EXPECT_EQ(run->P_VKMID->text(), " 42 ");
    EXPECT_EQ(run->BTWnummer->text(), "NL001");
    EXPECT_TRUE(run->P_UPDATES->isChecked()) << "the check box is not part of the file";
}

TEST_F(Instellingen, FilesThatCannotBeWrittenOrOpenedReachTheStandardErrorBox) {
    Sessie run(platform);
    run->P_SQLSERVER->setText("BLIJFT");
    const QString missingFolder = folder.file("bestaat/niet/klant.zkd");
    platform.answerFile(missingFolder);
    platform.answer(DialogResult::OK);
    run->Button12->click();
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].type, "error");
    EXPECT_TRUE(
        platform.dialogs[0].text.startsWith("Cannot create file \"" +
                                            QDir::toNativeSeparators(missingFolder) + "\". ") ||
        platform.dialogs[0].text.startsWith("Cannot create file \"" + missingFolder + "\". "))
        << platform.dialogs[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(missingFolder));

    platform.dialogs.clear();
    platform.answerFile(folder.file("geen.zkd"));
    platform.answer(DialogResult::OK);
    run->Button9->click();
    ASSERT_EQ(platform.dialogs.size(), 1u) << "no restart message";
    EXPECT_EQ(platform.dialogs[0].type, "error");
    EXPECT_EQ(platform.dialogs[0].caption, "Zelvo Korvex® SQL Server Configuratie");
#ifdef _WIN32
    // The reason is the system's own text, in the system's language.
    EXPECT_TRUE(platform.dialogs[0].text.startsWith("Cannot open file \"" +
                                                    folder.file("geen.zkd") + "\". "))
        << platform.dialogs[0].text.toStdString();
#else
    EXPECT_EQ(platform.dialogs[0].text, "Cannot open file \"" + folder.file("geen.zkd") +
                                            "\". No such file or directory.");
#endif
    EXPECT_EQ(run->P_SQLSERVER->text(), "BLIJFT");
    EXPECT_TRUE(run->isVisible());

    platform.answerFile(std::nullopt);
    run->Button9->click();
    platform.answerFile(std::nullopt);
    run->Button12->click();
    EXPECT_EQ(platform.dialogs.size(), 1u) << "cancelling does nothing";
}

TEST_F(Instellingen, OpeningAnEmptyFileEmptiesAllEightFieldsForTheNextStart) {
    test::Schrijf(folder.file("leeg.zkd"), "");
    {
        Sessie run(platform);
        platform.answerFile(folder.file("leeg.zkd"));
        platform.answer(DialogResult::OK);
        run->Button9->click();
    }
    Sessie run(platform);
    for (QLineEdit* e : {run->P_SQLSERVER, run->P_INLOGNAAM, run->P_PASWOORD, run->P_DATABASE,
                         run->P_VKMID, run->P_PINCODE, run->LocatieDatabase, run->BTWnummer})
        EXPECT_EQ(e->text(), "") << e->objectName().toStdString();
}
