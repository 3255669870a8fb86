#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "platform/MessageDialog.h"
#include "platform/QtPlatform.h"
#include "tests/support/Bestanden.h"
#include "tests/support/EchteInvoer.h"
#include "tests/support/TempFolder.h"

using namespace korvex;

namespace {

// The button texts of a shown box, left to right as the operator sees them.
QStringList shownButtonTexts(QMessageBox& box) {
    box.show();
    QApplication::processEvents();
    QList<QAbstractButton*> buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapToGlobal(QPoint(0, 0)).x() < b->mapToGlobal(QPoint(0, 0)).x();
    });
    QStringList texts;
    for (QAbstractButton* b : buttons) texts << b->text();
    box.hide();
    return texts;
}

}  // namespace

TEST(MessageDialog, ShowsButtonsInFixedOrderWithTheDefaultRule) {
    struct Case {
        DialogButtons requested;
        QStringList shown;
        QString defaultText;
    };
    const Case cases[] = {
        {BtnNo | BtnYes, {"&Ja", "&Nee"}, "&Ja"},
        {BtnCancel | BtnOK | BtnYes, {"&Ja", "OK", "Cancel"}, "OK"},
        {BtnIgnore | BtnRetry | BtnAbort, {"&Afbreken", "&Herhaal", "&Negeer"}, "&Herhaal"},
        {BtnClose | BtnHelp | BtnYesToAll | BtnNoToAll | BtnAll,
         {"&Alles", "N&ee op alles", "Ja op &alles", "&Help", "&Sluiten"},
         ""},
        {BtnOK, {"OK"}, "OK"},
    };
    for (const Case& c : cases) {
        auto box = QtPlatform::buildMessageDialog("Tekst", DialogKind::Confirmation, c.requested);
        EXPECT_EQ(shownButtonTexts(*box), c.shown);
        QPushButton* def = box->defaultButton();
        EXPECT_EQ(def ? def->text() : QString(), c.defaultText) << c.shown.join(',').toStdString();
    }
}

TEST(MessageDialog, CaptionAndIconFollowTheKind) {
    struct Case {
        DialogKind kind;
        QString caption;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {DialogKind::Warning, "Korvex® waarschuwing", QMessageBox::Warning},
        {DialogKind::Error, "Korvex® fout", QMessageBox::Critical},
        {DialogKind::Information, "Korvex® informatie", QMessageBox::Information},
        {DialogKind::Confirmation, "Korvex® bevestiging", QMessageBox::Question},
        {DialogKind::Custom, "Zelvo Korvex® SQL Server Configuratie", QMessageBox::NoIcon},
    };
    for (const Case& c : cases) {
        auto box = QtPlatform::buildMessageDialog("Tekst", c.kind, BtnOK);
        EXPECT_EQ(box->windowTitle(), c.caption);
        EXPECT_EQ(box->icon(), c.icon);
        EXPECT_EQ(box->text(), "Tekst");
    }
}

TEST(MessageDialog, ButtonsReturnTheirOwnResultAndHelpLeavesTheBoxStanding) {
    QtPlatform platform;
    DialogResult antwoord = DialogResult::None;
    {
        test::Beantwoord klikken({"&Help", "N&ee op alles"});
        antwoord = platform.messageDialog("Vraag", DialogKind::Confirmation,
                                          BtnYes | BtnNoToAll | BtnHelp);
    }
    EXPECT_EQ(antwoord, DialogResult::NoToAll);
    EXPECT_EQ(MessageDialog::resultOf(BtnClose), DialogResult::Close);
}

// Every kind of box the windows show, answered by a click that the window
// system delivers, over a modal window where the program opens one.
TEST(EchteInvoer, EveryBoxTakesTheClickWhereTheProgramShowsIt) {
    QtPlatform platform;
    test::TempFolder map;
    const QString bestand = map.file("a.zkd");
    test::Schrijf(bestand, "x");
    SystemBoxRequest zonder;
    zonder.caption = "Uitvoeren van een SQL script";
    zonder.text = "Wenst u het script 3-1-3.SQL uit te voeren?";
    zonder.buttons = BtnYes | BtnNo;
    zonder.icon = SystemIcon::Question;
    zonder.defaultButton = BtnNo;
    zonder.withOwner = false;
    SystemBoxRequest met = zonder;
    met.withOwner = true;
    FileDialogRequest kies;
    kies.initialFolder = map.path();
    kies.fileName = bestand;
    const auto gekozen = [&](std::optional<QString> pad) {
        return pad && QFileInfo(*pad) == QFileInfo(bestand) ? DialogResult::OK : DialogResult::None;
    };
    struct Case {
        const char* naam;
        bool overModaal;  // asked from inside a modal window, as the script manager does
        std::function<DialogResult()> vraag;
        QStringList klikken;
        DialogResult verwacht;
    };
    const Case cases[] = {
        {"message dialog",
         true,
         [&] { return platform.messageDialog("Fout", DialogKind::Error, BtnRetry | BtnIgnore); },
         {"&Negeer"},
         DialogResult::Ignore},
        {"message dialog",
         false,
         [&] { return platform.messageDialog("Vraag", DialogKind::Warning, BtnYes | BtnNo); },
         {"&Ja"},
         DialogResult::Yes},
        {"system box without owner",
         true,
         [&] { return platform.systemMessageBox(zonder); },
         {"&Yes"},
         DialogResult::Yes},
        // Blocks nothing: the window behind it takes a click meanwhile.
        {"system box without owner",
         false,
         [&] { return platform.systemMessageBox(zonder); },
         {"Achter", "&No"},
         DialogResult::No},
        {"system box with owner",
         true,
         [&] { return platform.systemMessageBox(met); },
         {"&No"},
         DialogResult::No},
        {"standard error box",
         true,
         [&] {
             platform.standardErrorBox("Onverwacht");
             return DialogResult::OK;
         },
         {"OK"},
         DialogResult::OK},
        {"open file dialog",
         true,
         [&] { return gekozen(platform.openFileDialog(kies)); },
         {"&Open"},
         DialogResult::OK},
        {"save file dialog",
         false,
         [&] { return gekozen(platform.saveFileDialog(kies)); },
         {"&Save"},
         DialogResult::OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.naam) + (c.overModaal ? " over a modal window" : ""));
        QWidget achter;
        auto* knop = new QPushButton("Achter", &achter);
        int achterGeklikt = 0;
        QObject::connect(knop, &QPushButton::clicked, [&] { ++achterGeklikt; });
        achter.show();
        QDialog opener;
        DialogResult antwoord = DialogResult::None;
        {
            test::Beantwoord klikken(c.klikken);
            if (c.overModaal) {
                QTimer::singleShot(0, &opener, [&] {
                    antwoord = c.vraag();
                    opener.done(0);
                });
                opener.exec();
            } else {
                antwoord = c.vraag();
            }
            EXPECT_EQ(klikken.nietBeantwoord, 0);
        }
        EXPECT_EQ(antwoord, c.verwacht);
        EXPECT_EQ(achterGeklikt, int(c.klikken.contains("Achter")));
    }
}

TEST(StandardErrorBox, AppendsAFullStopOnlyAfterCharactersAboveTheFullStop) {
    struct Case {
        QString message;
        QString shown;
    };
    const Case cases[] = {
        {"Klaar.", "Klaar."},
        {"Pas op!", "Pas op!"},
        {"a,", "a,"},
        {"spatie ", "spatie "},
        {"", ""},
        {"Fout a", "Fout a."},
        {"Fout:", "Fout:."},
        {"Fout/", "Fout/."},
        {"Fout-", "Fout-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageDialog::standardErrorText(c.message), c.shown) << c.message.toStdString();
}

TEST(SystemMessageBox, KeepsCallerSettingsWithoutOwnerAndOnTop) {
    SystemBoxRequest request;
    request.caption = "";
    request.text = "Instellingen database aanpassen naar taxibedrijf?";
    request.buttons = BtnYes | BtnNo;
    request.icon = SystemIcon::Question;
    request.defaultButton = BtnNo;
    request.withOwner = false;
    request.topmost = true;
    auto box = QtPlatform::buildSystemMessageBox(request);
    EXPECT_EQ(box->windowTitle(), "");
    EXPECT_EQ(box->text(), request.text);
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
}

TEST(FileDialog, TypeEntriesShowTheirTextsAloneAndKeepTheirPatterns) {
    FileDialogRequest request;
    request.title = "Open configuratie ";
    request.filters = {{"Zelvo Korvex SQL configuraties", "*.zkd"}, {"Alle bestanden", "*.*"}};
    request.filterIndex = 0;
    auto dialog = QtPlatform::buildFileDialog(request);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    auto* soorten = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(soorten, nullptr);
    QStringList getoond;
    for (int i = 0; i < soorten->count(); ++i) getoond << soorten->itemText(i);
    EXPECT_EQ(getoond, QStringList({"Zelvo Korvex SQL configuraties", "Alle bestanden"}));
    EXPECT_EQ(soorten->currentIndex(), 0);
    auto* bestanden = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(bestanden, nullptr);
    EXPECT_EQ(bestanden->nameFilters(), QStringList({"*.zkd"}));
}
