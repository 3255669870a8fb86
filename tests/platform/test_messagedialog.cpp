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

// Every kind of box, answered by clicks that the window system delivers, over
// a modal window where the program opens one (the script manager does) and
// over none, where a box without owner blocks nothing behind it.
TEST(MessageDialog, ButtonsReturnTheirOwnResultAndHelpLeavesTheBoxStanding) {
    QtPlatform platform;
    test::TempFolder map;
    const QString bestand = map.file("a.zkd");
    test::Schrijf(bestand, "x");
    SystemBoxRequest vraag{"Uitvoeren van een SQL script",
                           "Wenst u het script 3-1-3.SQL uit te voeren?",
                           BtnYes | BtnNo,
                           SystemIcon::Question,
                           BtnNo,
                           false};
    const FileDialogRequest kies{"", {}, 0, "", map.path(), bestand};
    const auto gekozen = [&](const std::optional<QString>& pad) {
        return pad && QFileInfo(*pad) == QFileInfo(bestand) ? DialogResult::OK : DialogResult::None;
    };
    const std::function<DialogResult()> soorten[] = {
        [&] {
            return platform.messageDialog("V", DialogKind::Custom, BtnYes | BtnNoToAll | BtnHelp);
        },
        [&] { return platform.messageDialog("Fout", DialogKind::Error, BtnRetry | BtnIgnore); },
        [&] { return platform.systemMessageBox(vraag); },
        [&] { return platform.standardErrorBox("Fout"), DialogResult::OK; },
        [&] { return gekozen(platform.openFileDialog(kies)); },
        [&] { return gekozen(platform.saveFileDialog(kies)); },
    };
    struct Case {
        int soort;
        bool overModaal, eigenaar;
        QStringList klikken;
        DialogResult verwacht;
    };
    const Case cases[] = {
        {0, true, false, {"&Help", "N&ee op alles"}, DialogResult::NoToAll},
        {1, false, false, {"&Negeer"}, DialogResult::Ignore},
        {2, true, false, {"&Yes"}, DialogResult::Yes},
        {2, false, false, {"Achter", "&No"}, DialogResult::No},
        {2, true, true, {"&No"}, DialogResult::No},
        {3, true, false, {"OK"}, DialogResult::OK},
        {4, true, false, {"&Open"}, DialogResult::OK},
        {5, false, false, {"&Save"}, DialogResult::OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.klikken.join(", ").toStdString() +
                     (c.overModaal ? " over a modal window" : ""));
        vraag.withOwner = c.eigenaar;
        QWidget achter;
        int achterGeklikt = 0;
        QObject::connect(new QPushButton("Achter", &achter), &QPushButton::clicked,
                         [&] { ++achterGeklikt; });
        achter.show();
        QDialog opener;
        DialogResult antwoord = DialogResult::None;
        {
            test::Beantwoord klikken(c.klikken);
            const auto stel = [&] {
                antwoord = soorten[c.soort]();
                opener.done(0);
            };
            if (c.overModaal) QTimer::singleShot(0, &opener, stel);
            c.overModaal ? opener.exec() : (stel(), 0);
        }
        EXPECT_EQ(antwoord, c.verwacht);
        EXPECT_EQ(achterGeklikt, int(c.klikken.contains("Achter")));
    }
    EXPECT_EQ(MessageDialog::resultOf(BtnClose), DialogResult::Close);
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
