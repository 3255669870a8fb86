#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTcpSocket>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/Hoofdscherm.h"
#include "platform/Passend.h"
#include "scripts/KorvexFTP.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TempFolder.h"
#include "update/LumoAppUpdateDownload.h"
#include "update/LumoAppUpdateNotify.h"
#include "verinfo/kivVerInfo.h"

using namespace korvex;

namespace {

// Moves the pointer onto a point of the widget, through the window system
// as a real move does.
void pointAt(QWidget* w, QPoint plaats = QPoint(2, 2)) {
    QTest::mouseMove(w, plaats);
    QApplication::processEvents();
}

QStringList labelTexts(QWidget* page) {
    QStringList texts;
    for (QLabel* l : page->findChildren<QLabel*>())
        if (l->buddy()) texts << l->text() + "->" + l->buddy()->objectName();
    return texts;
}

// The widgets that Tab visits from `first`, within one page.
QStringList tabChain(QWidget* first, int count) {
    QStringList names;
    QWidget* w = first;
    for (int i = 0; i < count; ++i) {
        names << w->objectName();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() ||
               w->objectName().startsWith("qt_"))
            w = w->nextInFocusChain();
    }
    return names;
}

// What the operator would miss in a shown window: a control hidden, outside
// its window or its panel, over another one, in a toolbar's overflow, or
// with a caption wider than the room the control gives it.
QStringList opmaakFouten(QWidget* venster) {
    QStringList fouten;
    QList<QWidget*> besturingen;
    for (QWidget* w : venster->findChildren<QWidget*>()) {
        bool binnenwerk = w->objectName().startsWith("qt_");  // of a list, combo box, tab strip
        for (QWidget* o = w; o != venster; o = o->parentWidget())
            binnenwerk |= o != w && (qobject_cast<QAbstractScrollArea*>(o) ||
                                     qobject_cast<QComboBox*>(o) || qobject_cast<QTabBar*>(o));
        auto* meer =
            qobject_cast<QToolBar*>(w) ? w->findChild<QWidget*>("qt_toolbar_ext_button") : nullptr;
        if (meer && meer->isVisible()) fouten << w->objectName() + " overflows";
        if (!binnenwerk && (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) ||
                            qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractScrollArea*>(w) ||
                            qobject_cast<QComboBox*>(w) || qobject_cast<QProgressBar*>(w) ||
                            qobject_cast<QStatusBar*>(w)))
            besturingen << w;
    }
    const auto plaatje = [](QWidget* w) {  // may lie under a control
        return qobject_cast<QLabel*>(w) && w->property("text").toString().isEmpty();
    };
    for (QWidget* w : besturingen) {
        const QString naam = w->objectName() + " \"" + w->property("text").toString() + '"';
        if (w->isHidden()) fouten << naam + " is hidden";
        // A page of a tab that is not chosen is checked when it is.
        if (!w->isVisibleTo(venster)) continue;
        if (!QRect(QPoint(), w->parentWidget()->size()).contains(w->geometry()) ||
            !venster->rect().contains(QRect(w->mapTo(venster, QPoint()), w->size())))
            fouten << naam + " reaches outside its panel or window";
        for (QWidget* ander : besturingen)
            if (ander < w && ander->parentWidget() == w->parentWidget() && !plaatje(w) &&
                !plaatje(ander) && ander->isVisibleTo(venster) &&
                ander->geometry().intersects(w->geometry()))
                fouten << naam + " overlaps " + ander->objectName();
        const QString tekst = w->property("text").toString();
        const QFontMetrics fm = w->fontMetrics();
        // A push button's own size hint has a minimum width beside its caption.
        const QSize nodig = qobject_cast<QPushButton*>(w)
                                ? fm.size(Qt::TextShowMnemonic, tekst + "  ")
                                : w->sizeHint();
        const auto* label = qobject_cast<QLabel*>(w);
        if (!tekst.isEmpty() && !(label && label->wordWrap()) &&
            (nodig.width() > w->width() || nodig.height() > w->height()))
            fouten << naam + " cuts its caption";
    }
    return fouten;
}

}  // namespace

// Every window as it shows, under the fonts the machine has for the families
// the windows name; run a second time with a bare fallback font.
TEST(Vensters, ElkeBesturingStaatHeelInZijnVenster) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm hoofd(platform);
    scripts::TFKorvexFTP beheer(platform, scripts::ScriptBeheerContext{});
    TLumoAppUpdateNotifyBox melding(platform);
    melding.setFont(QFont("Segoe UI", 9));
    TLumoAppUpdateDownloadBox download(melding);
    download.setFont(melding.font());
    // A long value is drawn smaller, a short one after it at full size again.
    Passend::ZetTekst(download.StatusLabel,
                      "Download bestand via proxy server (proxy.voorbeeld.invalid:8080)");
    for (QWidget* venster :
         {(QWidget*)&hoofd, (QWidget*)&beheer, (QWidget*)&melding, (QWidget*)&download}) {
        venster->show();
        for (int blad = 0; blad < (venster == &hoofd ? hoofd.RzPageControl1->count() : 1); ++blad) {
            if (venster == &hoofd) hoofd.RzPageControl1->setCurrentIndex(blad);
            QApplication::processEvents();
            EXPECT_EQ(opmaakFouten(venster).join('\n').toStdString(), "")
                << venster->objectName().toStdString() << " page " << blad << " in "
                << QFontInfo(venster->font()).family().toStdString();
        }
    }
    const qreal klein = download.StatusLabel->font().pointSizeF();
    Passend::ZetTekst(download.StatusLabel, "Download bestand");
    EXPECT_LT(klein, download.font().pointSizeF());
    EXPECT_EQ(download.StatusLabel->font(), download.font());
}

TEST(Hoofdscherm, FirstStartMakesTheWorkingFoldersAndShowsTheDefaults) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);

    for (const char* name :
         {"Databases", "Databases/Defs", "Scripts", "Backups", "SQLOnlineScripts"})
        EXPECT_TRUE(QFileInfo(folder.file(name)).isDir()) << name;
    EXPECT_EQ(w.P_SQLSERVER->text(), "PC01\\SQLEXPRESS");
    EXPECT_EQ(w.P_INLOGNAAM->text(), "sa");
    EXPECT_EQ(w.P_PASWOORD->text(), "");
    EXPECT_EQ(w.P_PASWOORD->echoMode(), QLineEdit::Password);
    QStyleOptionFrame option;
    option.initFrom(w.P_PASWOORD);
    EXPECT_EQ(w.P_PASWOORD->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, &option,
                                               w.P_PASWOORD),
              '*');
    EXPECT_EQ(w.P_DATABASE->text(), "master");
    EXPECT_EQ(w.P_VKMID->text(), "");
    EXPECT_EQ(w.P_PINCODE->text(), "");
    EXPECT_EQ(w.LocatieDatabase->text(), QDir::toNativeSeparators(folder.path() + "DATABASES"));
    EXPECT_EQ(w.BTWnummer->text(), "");
    EXPECT_FALSE(w.P_UPDATES->isChecked());
    EXPECT_EQ(w.SaveDialog1.initialFolder,
              QDir::toNativeSeparators(folder.path() + "Databases/Defs"));
    EXPECT_EQ(w.OpenDialog1.initialFolder, w.SaveDialog1.initialFolder);
    EXPECT_EQ(w.windowTitle(), "Zelvo Korvex® SQL Server Configuratie");
    EXPECT_TRUE(platform.dialogs.empty());
}

TEST(Hoofdscherm, SecondStartLeavesExistingFoldersAndMissingNamesFallBack) {
    test::TempFolder folder;
    ASSERT_TRUE(QDir().mkpath(folder.file("Databases/Defs")));
    QFile keep(folder.file("Databases/Defs/klant.zkd"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("P_SQLSERVER=SRV\r\n");
    keep.close();
    // A file where a folder should be: that folder cannot be made, silently.
    QFile blocker(folder.file("Scripts"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    test::ScriptedPlatform platform(folder.path());
    platform.hostName = "";
    THoofdscherm w(platform);
    EXPECT_TRUE(QFileInfo::exists(folder.file("Databases/Defs/klant.zkd")));
    EXPECT_TRUE(QFileInfo(folder.file("Scripts")).isFile());
    EXPECT_TRUE(QFileInfo(folder.file("SQLOnlineScripts")).isDir());
    EXPECT_EQ(w.P_SQLSERVER->text(), "(Unknown)\\SQLEXPRESS");
    EXPECT_TRUE(platform.dialogs.empty());
}

TEST(Hoofdscherm, LayoutHasTheFixedSizeTabsCaptionsAndLabels) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);
    EXPECT_EQ(w.size(), QSize(831, 428));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

    QTabBar* tabs = w.RzPageControl1->tabBar();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), "Acties");
    EXPECT_EQ(tabs->tabText(1), "Instellingen");
    EXPECT_EQ(tabs->tabText(2), "Logboek");
    EXPECT_EQ(tabs->tabText(3), "Type");
    EXPECT_EQ(w.RzPageControl1->tabPosition(), QTabWidget::West);
    EXPECT_EQ(w.RzPageControl1->currentWidget(), w.TabSheet1);
    EXPECT_EQ(tabs->tabRect(0).width(), 23);
    EXPECT_EQ(w.RzPageControl1->geometry(), QRect(0, 0, 548, 352));
    EXPECT_EQ(w.Image1->geometry(), QRect(548, 0, 283, 428));
    EXPECT_EQ(w.Image2->size(), QSize(48, 48));
    EXPECT_FALSE(w.Image1->pixmap().isNull());
    EXPECT_FALSE(w.Image2->pixmap().isNull());

    struct Caption {
        QPushButton* button;
        QString text;
        QString hint;
    };
    const Caption captions[] = {
        {w.Button1, "AFSLUITEN", "Toepassing afsluiten"},
        {w.Button2, "UPDATE SOFTWARE", "Software controleren op updates"},
        {w.Button3, "TEST VERBINDING", ""},
        {w.Button4, "NIEUWE DATABASE AANMAKEN", "Nieuwe database aanmaken"},
        {w.Button5, "KOPPELEN DATABASE", "Database koppelen aan de locatie"},
        {w.Button6, "VERWIJDEREN DATABASE", "Database verwijderen, inclusief bestanden"},
        {w.Button7, "ONTKOPPELEN DATABASE", "Database ontkoppelen van deze locatie"},
        {w.Button8, "CONTROLEREN SQL SCRIPTS", "Uitvoeren van een script"},
        {w.Button9, "OPENEN CONFIGURATIE BESTAND SQL SERVER",
         "Ophalen bedrijfsgegevens voor een andere SQL server locatie"},
        {w.Button10, "STANDAARD BEDRIJF", "Ophalen bedrijfsgegevens"},
        {w.Button11, "BTW NUMMER", "BTW nummer aanpassen"},
        {w.Button12, "BEWAAR CONFIGURATIE BESTAND SQL SERVER",
         "Bewaren bedrijfsgegevens voor een andere SQL server locatie"},
        {w.Button13, "DATABASE INSTELLEN VOOR TAXIBEDRIJF", "Nieuwe database aanmaken"},
        {w.Button14, "DATABASE INSTELLEN VOOR KOERIERBEDRIJF", "Nieuwe database aanmaken"},
    };
    for (const Caption& c : captions) {
        EXPECT_EQ(c.button->text(), c.text);
        EXPECT_EQ(c.button->toolTip(), c.hint) << c.text.toStdString();
        EXPECT_EQ(c.button->statusTip(), c.hint) << c.text.toStdString();
    }
    EXPECT_EQ(w.Button8->height(),
              2 * w.Button4->height() + (w.Button7->y() - w.Button5->y() - w.Button5->height()));
    EXPECT_EQ(w.Button9->width(), w.Button5->geometry().right() - w.Button4->x() + 1);
    EXPECT_EQ(w.Button13->height(), 65);
    EXPECT_EQ(w.P_UPDATES->text(), "Automatisch controleren op software updates");
    EXPECT_EQ(w.P_SQLSERVER->statusTip(), "Locatie SQL server (IP adres / DNS )");
    EXPECT_EQ(w.P_DATABASE->statusTip(), "Databasenaam ");
    EXPECT_EQ(w.BTWnummer->statusTip(), "Databasenaam ");
    EXPECT_EQ(w.P_VKMID->statusTip(), "Zelvo Object Server");
    EXPECT_EQ(w.LocatieDatabase->statusTip(), "");

    const QStringList labels = labelTexts(w.TabSheet2);
    for (const char* pair :
         {"SQL server->P_SQLSERVER", "Inlognaam->P_INLOGNAAM", "Paswoord->P_PASWOORD",
          "Database->P_DATABASE", "VKM ID->P_VKMID", "Pincode->P_PINCODE",
          "Locatie->LocatieDatabase", "BTW nummer->BTWnummer"})
        EXPECT_TRUE(labels.contains(pair)) << pair;
    EXPECT_EQ(w.P_VKMID->accessibleName(), "VKM ID");
}

TEST(Hoofdscherm, KeyboardOrderFollowsTheOperatorsSequence) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);
    EXPECT_EQ(tabChain(w.Button4, 9),
              QStringList({"Button4", "Button5", "Button6", "Button7", "Button8", "Button10",
                           "Button11", "Button9", "Button12"}));
    EXPECT_EQ(tabChain(w.P_UPDATES, 11),
              QStringList({"P_UPDATES", "P_SQLSERVER", "P_INLOGNAAM", "P_PASWOORD", "P_DATABASE",
                           "P_VKMID", "P_PINCODE", "Button3", "LocatieDatabase",
                           "LocatieDatabaseKiezen", "BTWnummer"}));
}

TEST(Hoofdscherm, HintsFollowThePointerAndEmptyAreasClearThem) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    pointAt(w.Button11);
    EXPECT_EQ(w.statusText(), "BTW nummer aanpassen");
    // From the button onto the empty part of its page: Qt sends the page no
    // Enter, as the pointer never left it.
    const QPoint leeg = w.TabSheet1->rect().bottomRight() - QPoint(3, 3);
    ASSERT_EQ(w.TabSheet1->childAt(leeg), nullptr);
    pointAt(w.TabSheet1, leeg);
    EXPECT_EQ(w.statusText(), "");
    pointAt(w.Button1);
    EXPECT_EQ(w.statusText(), "Toepassing afsluiten");
    // The window's own background, right of the buttons and left of the picture.
    const QPoint achtergrond = w.Button1->geometry().topRight() + QPoint(2, 2);
    ASSERT_EQ(w.childAt(achtergrond), nullptr);
    pointAt(&w, achtergrond);
    EXPECT_EQ(w.statusText(), "");

    w.RzPageControl1->setCurrentWidget(w.TabSheet2);
    pointAt(w.P_SQLSERVER);
    EXPECT_EQ(w.statusText(), "Locatie SQL server (IP adres / DNS )");
    QLabel* label = nullptr;
    for (QLabel* l : w.TabSheet2->findChildren<QLabel*>())
        if (l->text() == "VKM ID") label = l;
    ASSERT_NE(label, nullptr);
    pointAt(label);
    EXPECT_EQ(w.statusText(), "");
    // A status text written by a connection stays until the hint changes.
    w.ADOAfterConnect();
    pointAt(w.Button3);
    EXPECT_EQ(w.statusText(), "Database met succes geopend");
    pointAt(w.Button3, QPoint(5, 5));
    EXPECT_EQ(w.statusText(), "Database met succes geopend");
    w.close();
}

TEST(Hoofdscherm, ShowPlaysSignoffOnceAndMissingClipsAreSilent) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);
    w.show();
    QApplication::processEvents();
    w.hide();
    w.show();
    EXPECT_EQ(platform.sounds, QStringList({":/WAVE/SIGNOFF"}));
    EXPECT_EQ(w.windowTitle(), QString("Zelvo Korvex® SQL Server - v") + KORVEX_PROJECT_VERSION);
    w.ZelvoPlay("BESTAATNIET");
    w.ZelvoPlay("ERROR");
    EXPECT_EQ(platform.sounds, QStringList({":/WAVE/SIGNOFF", ":/WAVE/ERROR"}));
    w.close();
}

TEST(Hoofdscherm, FifteenDistinctClipsAreStoredAsWave) {
    QSet<QByteArray> contents;
    for (const char* name :
         {"SIGNOFF", "ERROR", "BUDDYOFF", "BUDDYON", "CHIME", "LEFT", "NEG", "NEWMSG", "ONLINE",
          "PAS", "RING", "ROOM", "SIGNON", "SWITCH", "TYPE"}) {
        QFile clip(QString(":/WAVE/") + name);
        ASSERT_TRUE(clip.open(QIODevice::ReadOnly)) << name;
        const QByteArray data = clip.readAll();
        EXPECT_TRUE(data.startsWith("RIFF") && data.mid(8, 4) == "WAVE") << name;
        contents.insert(data);
    }
    EXPECT_EQ(contents.size(), 15);
}

TEST(Hoofdscherm, LogboekTakesTypingButNoLineBreakFromEnter) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);
    w.Logboek->setPlainText("regel");
    w.Logboek->moveCursor(QTextCursor::End);
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(w.Logboek, &a);
    QApplication::sendEvent(w.Logboek, &enter);
    EXPECT_EQ(w.Logboek->toPlainText(), "regela");
    EXPECT_EQ(w.Logboek->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(w.Logboek->font().pixelSize(), 13);
}

TEST(Hoofdscherm, BrowseButtonPutsTheChosenFolderIntoTheLocation) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);
    platform.answerFile(QString("/srv/sql/data"));
    w.LocatieDatabaseKiezen->click();
    EXPECT_EQ(w.LocatieDatabase->text(), QDir::toNativeSeparators("/srv/sql/data"));
    platform.answerFile(std::nullopt);
    w.LocatieDatabaseKiezen->click();
    EXPECT_EQ(w.LocatieDatabase->text(), QDir::toNativeSeparators("/srv/sql/data"));
}

TEST(Hoofdscherm, ClosingWithTheServerConnectionClosedTouchesNothing) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm w(platform);
    w.show();
    w.StatusBar1->showMessage("vorige");
    w.Button1->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.statusText(), "vorige");
}

TEST(Hoofdscherm, TheToolsOwnExecutableCarriesTheProjectVersion) {
    TkivVerInfo reader;
    reader.FileName = KORVEX_EXECUTABLE;
    reader.ReadInfos();
    EXPECT_EQ(reader.LastError(), 0);
    EXPECT_TRUE(reader.Infos().contains(QString("InternalFileVersion=") + KORVEX_PROJECT_VERSION))
        << reader.Infos().join('|').toStdString();
    EXPECT_TRUE(reader.Infos().contains("Language=Dutch"));
    EXPECT_TRUE(reader.Infos().contains("CharSet=Windows, Multilingual"));
    EXPECT_TRUE(reader.Infos().contains("ProductName=Zelvo Korvex® SQL Server Configuratie"));
}

TEST(Hoofdscherm, UpdateSoftwareBacksUpTheProgramAndChecksWithItsVersion) {
    test::TempFolder folder;
    test::ScriptedPlatform platform(folder.path());
    THoofdscherm window(platform);
    window.show();
    EXPECT_EQ(window.LumoAppUpdate1->Version, KORVEX_PROJECT_VERSION);
    EXPECT_TRUE(window.LumoAppUpdate1->UpdateFileURL.endsWith("/fernaxo/KorvexSQL/Updates.txt"));
    EXPECT_FALSE(window.LumoAppUpdate1->UpdatePageURL.isEmpty());
    // The port stays bound and nobody listens on it, so the check ends in
    // the website question.
    QTcpSocket dicht;
    ASSERT_TRUE(test::BindZonderLuisteren(dicht));
    window.LumoAppUpdate1->UpdateFileURL =
        QStringLiteral("http://127.0.0.1:%1/fernaxo/KorvexSQL/Updates.txt").arg(dicht.localPort());

    const QString programma = QCoreApplication::applicationFilePath();
    const QString kopie = folder.file("Backups/") + QFileInfo(programma).fileName();
    ASSERT_TRUE(QDir(folder.path()).exists("Backups"));
    {
        QFile oud(kopie);
        ASSERT_TRUE(oud.open(QIODevice::WriteOnly));
        oud.write("an earlier copy");
    }
    const auto vragen = [&] {
        return std::count_if(platform.dialogs.begin(), platform.dialogs.end(), [](const auto& d) {
            return d.text.contains("Wenst u de website te openen?");
        });
    };
    platform.answer(DialogResult::No);
    window.Button2->click();
    EXPECT_EQ(vragen(), 1);
    EXPECT_EQ(QFileInfo(kopie).size(), QFileInfo(programma).size());

    // Without the folder the check still runs, and no copy is made anywhere.
    ASSERT_TRUE(QDir(folder.file("Backups")).removeRecursively());
    platform.answer(DialogResult::No);
    window.Button2->click();
    EXPECT_EQ(vragen(), 2);
    EXPECT_FALSE(QFileInfo::exists(folder.file("Backups")));
    EXPECT_TRUE(platform.allAnswersUsed());
}
