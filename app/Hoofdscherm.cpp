#include "app/Hoofdscherm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QWindow>

#include "Deployment.h"
#include "app/ConfiguratieBestand.h"
#include "app/InstellingenOpslag.h"
#include "database/Verbindingsinstellingen.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/MessageDialog.h"
#include "platform/Passend.h"
#include "platform/Statusbalk.h"
#include "platform/Tekst.h"
#include "scripts/KorvexFTP.h"
#include "verinfo/kivVerInfo.h"

namespace korvex {

namespace {

const QString geopend = QStringLiteral("Database met succes geopend");
const QString gesloten = QStringLiteral("Database met succes gesloten");

}  // namespace

THoofdscherm::THoofdscherm(Platform& platform, QWidget* parent)
    // A fixed dialog border: no resizing, minimising or maximising.
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ADO(QStringLiteral(KORVEX_ODBC_DRIVER)),
      ADO2(QStringLiteral(KORVEX_ODBC_DRIVER)),
      ADOCommand(ADO),
      ADOBDR(ADO2),
      platform_(platform),
      beheer_(ADO, ADO2, ADOCommand, ADOBDR, platform) {
    setObjectName(QStringLiteral("Hoofdscherm"));
    kivVerInfo1 = new TkivVerInfo(this);
    LumoAppUpdate1 = new TLumoAppUpdate(platform_, this);
    LumoAppUpdate1->UpdateFileURL = QStringLiteral(KORVEX_UPDATE_FILE_URL);
    LumoAppUpdate1->UpdatePageURL = QStringLiteral(KORVEX_UPDATE_PAGE_URL);
    LumoAppUpdate1->SignatureKey = QStringLiteral(KORVEX_UPDATE_PUBLIC_KEY);
    bouw();

    // The connections build their string at the moment they open.
    ADO.connectionTimeout = 30;
    ADO2.connectionTimeout = 15;
    ADO.beforeConnect = [this] { ADOBeforeConnect(); };
    ADO2.beforeConnect = [this] { ADO2BeforeConnect(); };
    ADO.afterConnect = [this] { ADOAfterConnect(); };
    ADO.afterDisconnect = [this] { ADOAfterDisconnect(); };

    const FileFilter filters[] = {
        {QStringLiteral("Zelvo Korvex SQL configuraties"), QStringLiteral("*.zkd")},
        {QStringLiteral("Alle bestanden"), QStringLiteral("*.*")}};
    SaveDialog1.title = QStringLiteral("Bewaar configuratie als");
    OpenDialog1.title = QStringLiteral("Open configuratie ");
    for (FileDialogRequest* d : {&SaveDialog1, &OpenDialog1}) {
        d->filters = {filters[0], filters[1]};
        d->filterIndex = 0;
        d->defaultExtension = QStringLiteral("zkd");
        d->overwritePrompt = false;
        d->fileMustExist = false;
    }

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
    connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
    connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
    connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
    connect(Button11, &QPushButton::clicked, this, [this] { Button11Click(); });
    connect(Button12, &QPushButton::clicked, this, [this] { Button12Click(); });
    connect(Button13, &QPushButton::clicked, this, [this] { Button13Click(); });
    connect(Button14, &QPushButton::clicked, this, [this] { Button14Click(); });
    connect(LocatieDatabaseKiezen, &QToolButton::clicked, this,
            [this] { LocatieDatabaseKiezenClick(); });

    using W = InstellingenOpslag;
    opslag_ = std::make_unique<InstellingenOpslag>(
        platform_.programFolder() + QStringLiteral("KorvexSQLServer.xml"), objectName(),
        std::vector<W::Waarde>{
            W::vinkje(
                QStringLiteral("P_UPDATES"), [this] { return P_UPDATES->isChecked(); },
                [this](bool v) { P_UPDATES->setChecked(v); }),
            opgeslagenTekst(P_DATABASE), opgeslagenTekst(P_INLOGNAAM), opgeslagenTekst(P_PASWOORD),
            opgeslagenTekst(P_PINCODE), opgeslagenTekst(P_SQLSERVER), opgeslagenTekst(P_VKMID),
            opgeslagenTekst(LocatieDatabase), opgeslagenTekst(BTWnummer)});
    opslag_->Load();
    FormCreate();
}

THoofdscherm::~THoofdscherm() {
    // Ending without a close (the update hand-off) still collects; the file
    // is written when the window and its storage go.
    verzamelInstellingen();
    opslag_->Write();
}

InstellingenOpslag::Waarde THoofdscherm::opgeslagenTekst(QLineEdit* veld) {
    return InstellingenOpslag::tekst(
        veld->objectName(), [veld] { return veld->text(); },
        [veld](const QString& v) { veld->setText(v); });
}

void THoofdscherm::volgHints() {
    // Every pointer move over the window passes its native window first,
    // whichever widget it then goes to; moving from a control onto its
    // parent's empty area sends the parent no Enter, so the widget under
    // the pointer is followed on every move. The native window may be made
    // anew, so this runs at every show; a filter installed twice runs once.
    if (QWindow* venster = windowHandle()) venster->installEventFilter(this);
}

void THoofdscherm::hintOnder(const QPoint& plaats) {
    QString hint;
    for (QWidget* w = childAt(plaats); w != nullptr && w != this; w = w->parentWidget()) {
        if (!w->statusTip().isEmpty()) {
            hint = w->statusTip();
            break;
        }
    }
    if (hint != huidigeHint_) {
        huidigeHint_ = hint;
        apEventsHint(hint);
    }
}

bool THoofdscherm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle()) {
        switch (event->type()) {
            case QEvent::MouseMove:
            case QEvent::Enter:
                hintOnder(static_cast<QSinglePointEvent*>(event)->position().toPoint());
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool THoofdscherm::event(QEvent* event) {
    // Hints reach the status bar through apEventsHint only, so that Qt's own
    // status tips do not write over the connection texts a second time.
    if (event->type() == QEvent::StatusTip) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

QString THoofdscherm::statusText() const {
    return StatusBar1->currentMessage();
}

void THoofdscherm::apEventsHint(const QString& hint) {
    Statusbalk::Toon(StatusBar1, hint);
}

void THoofdscherm::ZelvoPlay(const QString& name) {
    const QString pad = QStringLiteral(":/WAVE/") + name;
    if (!QFile::exists(pad)) return;
    platform_.playSound(pad);
}

void THoofdscherm::FormCreate() {
    QString computer = platform_.computerName();
    if (computer.isEmpty()) computer = QStringLiteral("(Unknown)");
    P_SQLSERVER->setText(computer + QStringLiteral("\\SQLEXPRESS"));
    P_DATABASE->setText(QStringLiteral("master"));

    const QString map = platform_.programFolder();
    for (const char* naam :
         {"Databases", "Databases/Defs", "Scripts", "Backups", "SQLOnlineScripts"}) {
        // One level at a time; a folder that cannot be made is passed over.
        const QString pad = map + QString::fromLatin1(naam);
        if (!QFileInfo(pad).isDir()) QDir().mkdir(pad);
    }
    LocatieDatabase->setText(QDir::toNativeSeparators(map + QStringLiteral("DATABASES")));
    const QString defs = QDir::toNativeSeparators(map + QStringLiteral("Databases/Defs"));
    SaveDialog1.initialFolder = defs;
    OpenDialog1.initialFolder = defs;
}

void THoofdscherm::FormShow() {
    try {
        kivVerInfo1->FileName = QCoreApplication::applicationFilePath();
        kivVerInfo1->ReadInfos();
        // LastError is not looked at: without the line the caption ends in "- v".
        QString versie;
        const QString sleutel = QStringLiteral("InternalFileVersion=");
        for (const QString& regel : kivVerInfo1->Infos())
            if (regel.startsWith(sleutel)) {
                versie = regel.mid(sleutel.size());
                break;
            }
        setWindowTitle(QStringLiteral("Zelvo Korvex® SQL Server - v") + versie);
        LumoAppUpdate1->Version = versie;
        ZelvoPlay(QStringLiteral("SIGNOFF"));
    } catch (const std::exception& fout) {
        platform_.standardErrorBox(foutTekst(fout));
    }
}

void THoofdscherm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Passend::PasOpschriften(this);
    volgHints();
    if (getoond_) return;
    getoond_ = true;
    opslag_->Apply();
    if (QScreen* scherm = screen()) move(scherm->availableGeometry().center() - rect().center());
    FormShow();
}

bool THoofdscherm::FormCloseQuery() {
    if (ADO.isOpen()) ADO.close();
    return true;
}

void THoofdscherm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    verzamelInstellingen();
}

void THoofdscherm::verzamelInstellingen() {
    if (verzameld_) return;
    verzameld_ = true;
    opslag_->Collect();
}

void THoofdscherm::ADOBeforeConnect() {
    ADO.setValues(
        {P_SQLSERVER->text(), P_INLOGNAAM->text(), P_PASWOORD->text(), P_DATABASE->text()});
}

void THoofdscherm::ADO2BeforeConnect() {
    ADO2.setValues({P_SQLSERVER->text(), P_INLOGNAAM->text(), P_PASWOORD->text(),
                    Verbindingsinstellingen::bedrijfsDatabaseNaam(P_VKMID->text())});
}

void THoofdscherm::ADOAfterConnect() {
    Statusbalk::Toon(StatusBar1, geopend);
}

void THoofdscherm::ADOAfterDisconnect() {
    Statusbalk::Toon(StatusBar1, gesloten);
}

void THoofdscherm::logRegel(const QString& text) {
    // A message of several driver records still makes one line.
    QString regel = text;
    regel.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ');
    Logboek->appendPlainText(regel);
}

void THoofdscherm::foutDialoog(const QString& text) {
    platform_.messageDialog(text, DialogKind::Error, BtnOK);
}

void THoofdscherm::waarschuwing(const QString& text) {
    platform_.messageDialog(text, DialogKind::Warning, BtnOK);
}

void THoofdscherm::informatie(const QString& text) {
    platform_.messageDialog(text, DialogKind::Information, BtnOK);
}

admin::Databasebeheer::Vraag THoofdscherm::jaNee() {
    return [this](const QString& vraag) {
        return platform_.messageDialog(vraag, DialogKind::Warning, BtnYes | BtnNo) ==
               DialogResult::Yes;
    };
}

void THoofdscherm::meld(const admin::Uitkomst& uitkomst) {
    switch (uitkomst.soort) {
        case admin::Uitkomst::Soort::Gedaan:
            informatie(uitkomst.tekst);
            break;
        case admin::Uitkomst::Soort::Waarschuwing:
            if (uitkomst.foutGeluid) ZelvoPlay(QStringLiteral("ERROR"));
            waarschuwing(uitkomst.tekst);
            break;
        case admin::Uitkomst::Soort::Geweigerd:
            logRegel(uitkomst.tekst);
            break;
        case admin::Uitkomst::Soort::Afgezegd:
            break;
    }
}

void THoofdscherm::Button1Click() {
    close();
}

void THoofdscherm::Button2Click() {
    // A press while the check waits for the server starts nothing, not even
    // a second backup copy.
    if (LumoAppUpdate1->bezig()) return;
    const QString backups = platform_.programFolder() + QStringLiteral("Backups");
    if (QFileInfo(backups).isDir()) {
        const QString programma = QCoreApplication::applicationFilePath();
        // Replaces an earlier copy; the outcome is not reported.
        Bestand::Kopieer(programma, backups + QDir::separator() + QFileInfo(programma).fileName());
    }
    LumoAppUpdate1->CheckForUpdate();
}

void THoofdscherm::Button3Click() {
    if (ADO.isOpen()) return;
    try {
        ADO.open();
    } catch (const std::exception& fout) {
        foutDialoog(foutTekst(fout));
    }
}

void THoofdscherm::Button4Click() {
    levenscyclus(admin::Levenscyclus::Aanmaken);
}
void THoofdscherm::Button5Click() {
    levenscyclus(admin::Levenscyclus::Koppelen);
}
void THoofdscherm::Button6Click() {
    levenscyclus(admin::Levenscyclus::Verwijderen);
}
void THoofdscherm::Button7Click() {
    levenscyclus(admin::Levenscyclus::Ontkoppelen);
}

void THoofdscherm::levenscyclus(admin::Levenscyclus opdracht) {
    try {
        meld(beheer_.Levenscyclus(
            opdracht, [this] { P_DATABASE->setText(QStringLiteral("master")); },
            [this] {
                return admin::Invoer{P_VKMID->text(), LocatieDatabase->text()};
            },
            jaNee()));
    } catch (const std::exception& fout) {
        if (admin::soort(opdracht).foutenInLogboek)
            logRegel(foutTekst(fout));
        else
            foutDialoog(foutTekst(fout));
    }
}

void THoofdscherm::Button8Click() {
    scripts::ScriptBeheerContext context;
    context.velden = [this] {
        return scripts::VerbindingsVelden{P_SQLSERVER->text(), P_INLOGNAAM->text(),
                                          P_PASWOORD->text(), P_VKMID->text()};
    };
    context.logboek = [this](const QString& tekst) {
        QString regel = tekst;
        regel.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        Logboek->appendPlainText(regel);
    };
    context.server = scriptServer;
    // Made afresh for every opening: nothing of one opening survives it.
    auto venster = std::make_unique<scripts::TFKorvexFTP>(platform_, std::move(context), this);
    venster->exec();
}

void THoofdscherm::Button9Click() {
    const auto pad = platform_.openFileDialog(OpenDialog1);
    if (!pad) return;
    OpenDialog1.fileName = *pad;
    QStringList waarden;
    try {
        waarden = ConfiguratieBestand::Lezen(*pad);
    } catch (const std::exception& fout) {
        platform_.standardErrorBox(foutTekst(fout));
        return;
    }
    QLineEdit* velden[] = {P_SQLSERVER, P_INLOGNAAM, P_PASWOORD,      P_DATABASE,
                           P_VKMID,     P_PINCODE,   LocatieDatabase, BTWnummer};
    for (int i = 0; i < 8; ++i) velden[i]->setText(waarden.value(i));
    waarschuwing(QStringLiteral("Herstart software om de configuratie actief te maken"));
    // The close stores the imported values; they take effect at the next start.
    close();
}

void THoofdscherm::bedrijfsrapport() {
    try {
        const admin::Bedrijfsrapport rapport = beheer_.Rapport();
        Logboek->clear();
        for (const QString& r : rapport.regels) logRegel(r);
        P_PINCODE->setText(rapport.pincode);
        RzPageControl1->setCurrentWidget(TabSheet3);
    } catch (const std::exception& fout) {
        foutDialoog(foutTekst(fout));
    }
}

void THoofdscherm::Button10Click() {
    bedrijfsrapport();
}

void THoofdscherm::Button11Click() {
    try {
        const admin::Uitkomst uitkomst =
            beheer_.BtwNummer(P_VKMID->text(), LocatieDatabase->text(), BTWnummer->text(), jaNee());
        meld(uitkomst);
        // After a refused update no report follows.
        if (uitkomst.soort != admin::Uitkomst::Soort::Gedaan) return;
    } catch (const std::exception& fout) {
        foutDialoog(foutTekst(fout));
        return;
    }
    Logboek->clear();
    bedrijfsrapport();
}

void THoofdscherm::Button12Click() {
    auto pad = platform_.saveFileDialog(SaveDialog1);
    if (!pad) return;
    if (QFileInfo(*pad).suffix().isEmpty()) *pad += u'.' + SaveDialog1.defaultExtension;
    SaveDialog1.fileName = *pad;
    try {
        ConfiguratieBestand::Schrijven(
            *pad, {P_SQLSERVER->text(), P_INLOGNAAM->text(), P_PASWOORD->text(), P_DATABASE->text(),
                   P_VKMID->text(), P_PINCODE->text(), LocatieDatabase->text(), BTWnummer->text()});
    } catch (const std::exception& fout) {
        platform_.standardErrorBox(foutTekst(fout));
    }
}

void THoofdscherm::Button13Click() {
    typeProfiel(admin::TypeProfiel::Taxi);
}
void THoofdscherm::Button14Click() {
    typeProfiel(admin::TypeProfiel::Koerier);
}

void THoofdscherm::typeProfiel(admin::TypeProfiel profiel) {
    // Both boxes are the system's own, without an owner and on top.
    SystemBoxRequest box;
    box.withOwner = false;
    box.topmost = true;
    try {
        const admin::Uitkomst uitkomst = beheer_.TypeProfiel(profiel, [&](const QString& vraag) {
            SystemBoxRequest v = box;
            v.text = vraag;
            v.buttons = BtnYes | BtnNo;
            v.icon = SystemIcon::Question;
            v.defaultButton = BtnNo;
            return platform_.systemMessageBox(v) == DialogResult::Yes;
        });
        if (uitkomst.soort != admin::Uitkomst::Soort::Gedaan) return;
        box.caption = QStringLiteral("Controle gegevens");
        box.text = uitkomst.tekst;
        box.buttons = BtnOK;
        box.icon = SystemIcon::Information;
        box.defaultButton = BtnOK;
        platform_.systemMessageBox(box);
    } catch (const std::exception& fout) {
        foutDialoog(foutTekst(fout));
    }
}

void THoofdscherm::LocatieDatabaseKiezenClick() {
    if (auto map = platform_.pickFolder(LocatieDatabase->text()))
        LocatieDatabase->setText(QDir::toNativeSeparators(*map));
}

}  // namespace korvex
