#include "scripts/KorvexFTP.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolButton>

#include "Deployment.h"
#include "database/Verbindingsinstellingen.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Passend.h"
#include "platform/Statusbalk.h"
#include "platform/Tekst.h"
#include "scripts/Afbeeldingen.h"
#include "scripts/BestandLijst.h"
#include "scripts/MapLijst.h"
#include "scripts/ScriptBestand.h"
#include "scripts/Scriptlijst.h"
#include "scripts/StationKeuze.h"

namespace korvex::scripts {

namespace {

const QString beginTitel = QStringLiteral("Zelvo Korvex SQL script beheerder");
const QString lokaleMapNaam = QStringLiteral("SQLOnlineScripts");

QFont arial(int pixels, bool vet = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixels);
    f.setBold(vet);
    return f;
}

}  // namespace

TFKorvexFTP::TFKorvexFTP(Platform& platform, ScriptBeheerContext context, QWidget* parent)
    : QDialog(parent),
      ADO(QStringLiteral(KORVEX_ODBC_DRIVER)),
      ADOQ(ADO),
      ADOCommand(ADO),
      platform_(platform),
      context_(std::move(context)),
      sessie_(platform, FTP, ADOQ, ADOCommand, context_.server) {
    setObjectName(QStringLiteral("FKorvexFTP"));
    bouw();

    connect(&FTP, &net::FtpClient::connectionEstablished, this,
            [this] { status(QStringLiteral("FTP->Verbinding opgebouwd")); });
    connect(&FTP, &net::FtpClient::connectionClosed, this,
            [this] { status(QStringLiteral("FTP->Verbinding verbroken")); });
    connect(&FTP, &net::FtpClient::loggedIn, this,
            [this] { status(QStringLiteral("FTP->Account ingelogd")); });
    connect(&FTP, &net::FtpClient::accountRequested, this,
            [this] { status(QStringLiteral("FTP->Accountgegevens verzenden")); });
    connect(&FTP, &net::FtpClient::listingReceived, this,
            [this] { status(QStringLiteral("FTP->Directory opgehaald")); });
    connect(&FTP, &net::FtpClient::preliminaryBanner, this,
            [this](const QString& tekst) { status(QStringLiteral("FTP->") + tekst); });

    ADO.connectionTimeout = 30;
    ADO.commandTimeout = 60;
    ADO.beforeConnect = [this] { ADOBeforeConnect(); };
    ADOCommand.commandTimeout = 60;

    Controller.setInterval(1000);
    connect(&Controller, &QTimer::timeout, this, &TFKorvexFTP::ControllerTimer);
    FormCreate();
}

TFKorvexFTP::~TFKorvexFTP() {
    Controller.stop();
    FTP.disconnect();
    ADOQ.close();
    ADO.close();
}

void TFKorvexFTP::bouw() {
    setWindowTitle(beginTitel);
    setFont(arial(13));
    setFixedSize(821, 518);
    setModal(true);

    auto* boven = new QFrame(this);
    boven->setObjectName(QStringLiteral("RzToolbar2"));
    boven->setGeometry(0, 0, 821, 83);
    boven->setFrameShape(QFrame::StyledPanel);
    const auto groot = [boven](const char* naam, const QString& tekst, const QString& hint,
                               int glyph, int x) {
        auto* knop = new QToolButton(boven);
        knop->setObjectName(QString::fromLatin1(naam));
        knop->setText(tekst);
        knop->setToolTip(hint);
        knop->setAccessibleDescription(hint);
        knop->setIcon(Afbeeldingen::Large(glyph));
        knop->setIconSize(QSize(48, 48));
        knop->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        knop->setAutoRaise(true);
        knop->setGeometry(x, 2, 93, 79);
        return knop;
    };
    Verbinden = groot("Verbinden", QStringLiteral("Inloggen"),
                      QStringLiteral("Inloggen in de Zelvo Korvex script server"), 0, 4);
    // A spacer after Inloggen and one before Uitloggen.
    OphalenBestand = groot("OphalenBestand", QStringLiteral("Ophalen"),
                           QStringLiteral("Ophalen scriptbestand"), 1, 109);
    ScriptUitvoeren = groot("ScriptUitvoeren", QStringLiteral("Script uitvoeren"),
                            QStringLiteral("Uitvoeren scriptbestand"), 2, 202);
    Verbreken = groot("Verbreken", QStringLiteral("Uitloggen"),
                      QStringLiteral("Uitloggen in de Zelvo Korvex script server"), 3, 307);
    OphalenBestand->setEnabled(false);
    ScriptUitvoeren->setEnabled(false);
    Verbreken->setEnabled(false);

    auto* panel3 = new QFrame(this);
    panel3->setObjectName(QStringLiteral("Panel3"));
    panel3->setGeometry(0, 83, 821, 38);
    const auto kop = [panel3](const char* naam, const QString& tekst, int x, int breedte) {
        auto* label = new QLabel(tekst, panel3);
        label->setObjectName(QString::fromLatin1(naam));
        label->setFont(arial(12, true));
        label->setGeometry(x + 4, 0, breedte - 8, 38);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return label;
    };
    Label1 = kop("Label1", QStringLiteral("Beschikbare SQL scripts online"), 0, 237);
    Label2 = kop("Label2", QStringLiteral("Locatie (lokale computer)"), 237, 272);
    Label3 = kop("Label3", QStringLiteral("Nog uit te voeren scripts"), 509, 312);

    constexpr int inhoudBoven = 121;
    constexpr int inhoudOnder = 518 - 20 - 29;
    SQLBestandenFTP = new QListWidget(this);
    SQLBestandenFTP->setObjectName(QStringLiteral("SQLBestandenFTP"));
    SQLBestandenFTP->setAccessibleName(Label1->text());
    SQLBestandenFTP->setGeometry(0, inhoudBoven, 237, inhoudOnder - inhoudBoven);
    SQLBestandenFTP->setFocusPolicy(Qt::ClickFocus);
    SQLBestandenFTP->setSelectionMode(QAbstractItemView::SingleSelection);
    Label1->setBuddy(SQLBestandenFTP);

    DriveComboBox1 = new StationKeuze(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setAccessibleName(QStringLiteral("Station"));
    DriveComboBox1->setGeometry(237, inhoudBoven, 821 - 237, 22);

    SQLBestandenLokaal = new MapLijst(this);
    SQLBestandenLokaal->setObjectName(QStringLiteral("SQLBestandenLokaal"));
    SQLBestandenLokaal->setAccessibleName(Label2->text());
    SQLBestandenLokaal->setGeometry(237, inhoudBoven + 22, 272, inhoudOnder - inhoudBoven - 22);
    SQLBestandenLokaal->setFocusPolicy(Qt::ClickFocus);
    Label2->setBuddy(SQLBestandenLokaal);

    OverzichtBestanden = new BestandLijst(this);
    OverzichtBestanden->setObjectName(QStringLiteral("OverzichtBestanden"));
    OverzichtBestanden->setAccessibleName(Label3->text());
    OverzichtBestanden->setGeometry(509, inhoudBoven + 22, 821 - 509,
                                    inhoudOnder - inhoudBoven - 22);
    Label3->setBuddy(OverzichtBestanden);

    auto* onder = new QFrame(this);
    onder->setObjectName(QStringLiteral("RzToolbar1"));
    onder->setGeometry(0, inhoudOnder, 821, 29);
    onder->setFrameShape(QFrame::StyledPanel);
    Passive = new QCheckBox(QStringLiteral("PASSIVE MODE INSCHAKELEN"), onder);
    Passive->setObjectName(QStringLiteral("Passive"));
    Passive->setFont(arial(11));
    Passive->setGeometry(6, 3, 190, 23);
    BtnSluit = new QToolButton(onder);
    BtnSluit->setObjectName(QStringLiteral("BtnSluit"));
    BtnSluit->setText(QStringLiteral("Sluiten"));
    BtnSluit->setToolTip(QStringLiteral("Sluit venster"));
    BtnSluit->setAccessibleDescription(QStringLiteral("Sluit venster"));
    QIcon sluitIcoon(Afbeeldingen::ToolImages(0));
    sluitIcoon.addPixmap(Afbeeldingen::ToolImages(1), QIcon::Disabled);
    BtnSluit->setIcon(sluitIcoon);
    BtnSluit->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // After the check box and a spacer, the rest of the toolbar.
    BtnSluit->setGeometry(206, 2, 821 - 206 - 4, 25);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 518 - 20, 821, 20);

    setTabOrder(Verbinden, OphalenBestand);
    setTabOrder(OphalenBestand, ScriptUitvoeren);
    setTabOrder(ScriptUitvoeren, Verbreken);
    setTabOrder(Verbreken, DriveComboBox1);
    setTabOrder(DriveComboBox1, OverzichtBestanden);
    setTabOrder(OverzichtBestanden, Passive);
    setTabOrder(Passive, BtnSluit);

    connect(Verbinden, &QToolButton::clicked, this, [this] { VerbindenClick(); });
    connect(OphalenBestand, &QToolButton::clicked, this, [this] { OphalenBestandClick(); });
    connect(ScriptUitvoeren, &QToolButton::clicked, this, [this] { ScriptUitvoerenClick(); });
    connect(Verbreken, &QToolButton::clicked, this, [this] { VerbrekenClick(); });
    connect(BtnSluit, &QToolButton::clicked, this, [this] { BtnSluitClick(); });
    connect(SQLBestandenFTP, &QListWidget::itemDoubleClicked, this,
            [this] { SQLBestandenFTPDblClick(); });
    connect(DriveComboBox1, &StationKeuze::stationGekozen, this, [this](const QString& hoofdmap) {
        try {
            SQLBestandenLokaal->SetDirectory(hoofdmap);
        } catch (const std::exception& fout) {
            status(fout);
        }
    });
    connect(SQLBestandenLokaal, &MapLijst::mapGewijzigd, this, [this](const QString& map) {
        OverzichtBestanden->SetDirectory(map);
        DriveComboBox1->ToonVoor(map);
    });
}

QString TFKorvexFTP::statusText() const {
    return StatusBar1->currentMessage();
}

void TFKorvexFTP::status(const QString& tekst) {
    Statusbalk::Toon(StatusBar1, tekst);
}

void TFKorvexFTP::status(const std::exception& fout) {
    status(foutTekst(fout));
}

void TFKorvexFTP::FormCreate() {
    Controller.start();
}

void TFKorvexFTP::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    Passend::PasOpschriften(this);
    // Centred on the screen the opener is on.
    if (QScreen* scherm = parentWidget() ? parentWidget()->screen() : screen())
        move(scherm->geometry().center() - rect().center());
    sluitStappenGedaan_ = false;
    FormShow();
}

void TFKorvexFTP::FormShow() {
    sessie_.StopOphalen = false;
    try {
        SQLBestandenLokaal->SetDirectory(QDir(platform_.programFolder()).filePath(lokaleMapNaam));
        // The local list follows a change of folder; the same folder again
        // is read afresh all the same.
        OverzichtBestanden->SetDirectory(SQLBestandenLokaal->Directory());
        sessie_.VergeetLijst();
        SQLBestandenFTP->clear();
        Openen();
    } catch (const std::exception& fout) {
        status(fout);
    }
}

void TFKorvexFTP::ADOBeforeConnect() {
    const VerbindingsVelden v = context_.velden ? context_.velden() : VerbindingsVelden{};
    ADO.setValues({v.server, v.inlognaam, v.paswoord,
                   Verbindingsinstellingen::bedrijfsDatabaseNaam(v.vkmId)});
}

void TFKorvexFTP::Openen() {
    toonVersie(sessie_.Openen());
}

void TFKorvexFTP::toonVersie(const DatabaseVersie& versie) {
    setWindowTitle(beginTitel + QStringLiteral(" - v") + versie.versie + QStringLiteral(" - ") +
                   versie.datum);
}

void TFKorvexFTP::Sluiten() {
    sessie_.Sluiten();
}

void TFKorvexFTP::ControllerTimer() {
    const bool verbonden = FTP.connected();
    Verbinden->setEnabled(!verbonden);
    Verbreken->setEnabled(verbonden);
    // During a fetch batch the button stays off: a second batch must not
    // start inside the first.
    OphalenBestand->setEnabled(verbonden && !batch_ && !SQLBestandenFTP->selectedItems().isEmpty());
    ScriptUitvoeren->setEnabled(!OverzichtBestanden->FileName().isEmpty());
}

void TFKorvexFTP::BtnSluitClick() {
    close();
}

void TFKorvexFTP::done(int result) {
    // Every way of closing (the button, the close box, Escape) comes here.
    if (!sluitStappenGedaan_) {
        sluitStappenGedaan_ = true;
        FormCloseQuery();
    }
    QDialog::done(result);
}

void TFKorvexFTP::FormCloseQuery() {
    if (FTP.connected()) FTP.disconnect();
    Controller.stop();
    try {
        Sluiten();
    } catch (const std::exception&) {
        // Closing is never refused.
    }
}

void TFKorvexFTP::VerbindenClick() {
    SQLBestandenFTP->clear();
    try {
        sessie_.Inloggen(Passive->isChecked(), SQLBestandenLokaal->Directory());
    } catch (const std::exception& fout) {
        status(fout);
    }
    toonLijst();
    if (SQLBestandenFTP->count() > 0) SQLBestandenFTP->setCurrentRow(0);
}

void TFKorvexFTP::ChangeDir(const QString& map) {
    SQLBestandenFTP->clear();
    try {
        sessie_.ChangeDir(map, SQLBestandenLokaal->Directory());
    } catch (const std::exception& fout) {
        status(fout);
    }
    toonLijst();
}

void TFKorvexFTP::toonLijst() {
    SQLBestandenFTP->clear();
    SQLBestandenFTP->addItems(sessie_.Aangeboden());
    SQLBestandenFTP->setCurrentRow(-1);
}

void TFKorvexFTP::zetBatchKnoppen(bool aan) {
    for (QWidget* w :
         {static_cast<QWidget*>(SQLBestandenFTP), static_cast<QWidget*>(OphalenBestand),
          static_cast<QWidget*>(DriveComboBox1), static_cast<QWidget*>(OverzichtBestanden),
          static_cast<QWidget*>(SQLBestandenLokaal)})
        w->setEnabled(aan);
}

void TFKorvexFTP::selecteerEersteLokaal() {
    if (OverzichtBestanden->count() > 0) OverzichtBestanden->setCurrentRow(0);
}

void TFKorvexFTP::OphalenBestandClick() {
    if (batch_) return;
    batch_ = true;
    zetBatchKnoppen(false);
    struct Herstel {
        TFKorvexFTP* venster;
        ~Herstel() {
            venster->zetBatchKnoppen(true);
            venster->batch_ = false;
        }
    } herstel{this};

    OphaalWaarnemer waarnemer;
    waarnemer.bestaatAl = [this] {
        return platform_.messageDialog(
            QStringLiteral("Zelvo Korvex SQL script bestaat al, toch downloaden?"),
            DialogKind::Confirmation, BtnYes | BtnNo);
    };
    waarnemer.lokaalGewijzigd = [this] { OverzichtBestanden->Update(); };
    waarnemer.lijstGewijzigd = [this] { toonLijst(); };
    waarnemer.meld = [this](const QString& tekst) { status(tekst); };
    // A connection lost during the batch selects nothing.
    if (sessie_.OphalenBatch(SQLBestandenLokaal->Directory(), waarnemer)) selecteerEersteLokaal();
}

void TFKorvexFTP::SQLBestandenFTPDblClick() {
    OphalenBestandClick();
}

void TFKorvexFTP::VerbrekenClick() {
    sessie_.VergeetLijst();
    SQLBestandenFTP->clear();
    if (FTP.connected()) FTP.disconnect();
}

void TFKorvexFTP::ScriptUitvoerenClick() {
    try {
        const Uitvoering uitvoering = sessie_.VoerUit(
            OverzichtBestanden->FileName(),
            [this](const QString& naam) { return vraagUitvoeren(naam); },
            [this](const QString& naam, const QString& melding) {
                return vraagZonderTransactie(naam, melding);
            });
        if (uitvoering.verwijderd) OverzichtBestanden->Update();
        if (uitvoering.versieGelezen) toonVersie(uitvoering.versie);
        if (uitvoering.uitkomst == Uitvoering::Uitkomst::Mislukt ||
            uitvoering.uitkomst == Uitvoering::Uitkomst::Afgewezen)
            meldMislukt(uitvoering);
        selecteerEersteLokaal();
    } catch (const std::exception& fout) {
        status(fout);
    }
}

bool TFKorvexFTP::vraagUitvoeren(const QString& naam) {
    return vraag(QStringLiteral("Wenst u het script ") + naam + QStringLiteral(" uit te voeren?"));
}

bool TFKorvexFTP::vraagZonderTransactie(const QString& naam, const QString& melding) {
    return vraag(QStringLiteral("Het script ") + naam +
                 QStringLiteral(" kan niet binnen een transactie worden uitgevoerd: ") + melding +
                 QStringLiteral("\rWenst u het zonder transactie uit te voeren? Bij een fout "
                                "blijft dan staan wat het script tot dan toe heeft gedaan."));
}

bool TFKorvexFTP::vraag(const QString& tekst) {
    SystemBoxRequest vraag;
    vraag.caption = QStringLiteral("Uitvoeren van een SQL script");
    vraag.text = tekst;
    vraag.buttons = BtnYes | BtnNo;
    vraag.icon = SystemIcon::Question;
    vraag.defaultButton = BtnNo;
    vraag.withOwner = false;
    return platform_.systemMessageBox(vraag) == DialogResult::Yes;
}

void TFKorvexFTP::meldMislukt(const Uitvoering& uitvoering) {
    // The log memo lies under this modal window: the operator reads the
    // failure here first.
    status(uitvoering.fout);
    if (!context_.logboek) return;
    context_.logboek(uitvoering.fout);
    // Nothing was sent when another workstation came first.
    if (uitvoering.uitkomst == Uitvoering::Uitkomst::Afgewezen) return;
    context_.logboek(ScriptBestand::VoorLogboek(uitvoering.opdracht));
    if (uitvoering.teruggedraaid)
        context_.logboek(QStringLiteral(
            "De wijzigingen van het script zijn teruggedraaid; de database is ongewijzigd."));
}

}  // namespace korvex::scripts
