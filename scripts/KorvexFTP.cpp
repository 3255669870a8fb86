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
#include <QTemporaryFile>
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

ScriptServer ScriptServer::Standaard() {
    ScriptServer s;
    s.host = QStringLiteral(KORVEX_SCRIPT_HOST);
    s.port = quint16(KORVEX_SCRIPT_PORT);
    s.gebruiker = QStringLiteral(KORVEX_SCRIPT_USER);
    s.wachtwoord = QStringLiteral(KORVEX_SCRIPT_PASSWORD);
    return s;
}

TFKorvexFTP::TFKorvexFTP(Platform& platform, ScriptBeheerContext context, QWidget* parent)
    : QDialog(parent),
      ADO(QStringLiteral(KORVEX_ODBC_DRIVER)),
      ADOQ(ADO),
      ADOCommand(ADO),
      platform_(platform),
      context_(std::move(context)) {
    setObjectName(QStringLiteral("FKorvexFTP"));
    bouw();

    FTP.setConnectTimeout(context_.server.verbindTimeoutMs);
    FTP.setReplyTimeout(context_.server.antwoordTimeoutMs);
    FTP.setDataTimeout(context_.server.gegevensTimeoutMs);
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
    ADOQ.sql = Tekst::sqlBatch(
        {QStringLiteral("select * from DatabaseInstellingen"), QStringLiteral("where dat_id=1")});
    ADOQ.fields = {
        {QStringLiteral("dat_id"), db::FieldKind::AutoInc, 0, true},
        {QStringLiteral("dat_versie"), db::FieldKind::String, 10, false},
        {QStringLiteral("dat_datum"), db::FieldKind::DateTime, 0, false},
    };
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
    OphalenBestand =
        groot("OphalenBestand", QStringLiteral("Ophalen"), QStringLiteral("Ophalen scriptbestand"), 1, 109);
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
    VersieSleutel.clear();
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
    StopOphalen = false;
    try {
        SQLBestandenLokaal->SetDirectory(QDir(platform_.programFolder()).filePath(lokaleMapNaam));
        // The local list follows a change of folder; the same folder again
        // is read afresh all the same.
        OverzichtBestanden->SetDirectory(SQLBestandenLokaal->Directory());
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
    if (!ADOQ.isOpen()) ADOQ.open();
    const QString versie = ADOQ.fieldText(QStringLiteral("dat_versie"));
    const QDateTime moment = ADOQ.fieldDateTime(QStringLiteral("dat_datum"));
    // No value reads as the date-time origin, 30 December 1899.
    const QDate dag = moment.isValid() ? moment.date() : QDate(1899, 12, 30);
    const QString datum =
        QString::asprintf("%02d-%02d-%04d", dag.day(), dag.month(), dag.year());
    setWindowTitle(beginTitel + QStringLiteral(" - v") + versie + QStringLiteral(" - ") + datum);
    VersieSleutel = QString(versie).replace(u'.', u'-');
}

void TFKorvexFTP::Sluiten() {
    if (ADOQ.isOpen()) ADOQ.close();
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

bool TFKorvexFTP::lokaalAanwezig(const QString& naam) const {
    const QFileInfo info(QDir(SQLBestandenLokaal->Directory()).filePath(naam));
    return info.exists() && !info.isDir();
}

void TFKorvexFTP::VerbindenClick() {
    try {
        SQLBestandenFTP->clear();
        FTP.setPassive(Passive->isChecked());
        FTP.setUserName(context_.server.gebruiker);
        FTP.setPassword(context_.server.wachtwoord);
        FTP.setHost(context_.server.host);
        FTP.setPort(context_.server.port);
        FTP.connect();
        ChangeDir(QStringLiteral("/"));
        if (SQLBestandenFTP->count() > 0) SQLBestandenFTP->setCurrentRow(0);
    } catch (const std::exception& fout) {
        status(fout);
    }
}

void TFKorvexFTP::ChangeDir(const QString& map) {
    lijstOpgehaald_ = false;
    try {
        SQLBestandenFTP->clear();
        FTP.changeDir(map);
        FTP.setTransferType(net::FtpClient::TransferType::Ascii);
        QStringList regels;
        FTP.list(regels);
        // One read of the local folder, as it is shown at this moment.
        const QDir lokaal(SQLBestandenLokaal->Directory());
        const QStringList aanwezig = lokaal.entryList(QDir::Files | QDir::System | QDir::Hidden);
        // Compared the way the local file system compares names.
        const auto sleutel = [](const QString& naam) {
            return Bestand::NaamVergelijking == Qt::CaseSensitive ? naam : naam.toCaseFolded();
        };
        QSet<QString> bekend;
        for (const QString& naam : aanwezig) bekend.insert(sleutel(naam));
        QStringList namen = Scriptlijst::Filter(regels, VersieSleutel, [&](const QString& naam) {
            return bekend.contains(sleutel(naam)) || mislukt_.contains(naam);
        });
        Scriptlijst::Sorteer(namen);
        SQLBestandenFTP->addItems(namen);
        SQLBestandenFTP->setCurrentRow(-1);
        lijstOpgehaald_ = true;
    } catch (const std::exception& fout) {
        status(fout);
    }
}

bool TFKorvexFTP::IsFile(const QString& naam) {
    FTP.setTransferType(net::FtpClient::TransferType::Binary);
    if (!Scriptlijst::VeiligeNaam(naam))
        throw KorvexError(QStringLiteral("\"%1\" is geen geldige bestandsnaam.").arg(naam));
    const QString pad = QDir(SQLBestandenLokaal->Directory()).filePath(naam);
    if (lokaalAanwezig(naam)) {
        const DialogResult antwoord =
            platform_.messageDialog(QStringLiteral("Zelvo Korvex SQL script bestaat al, toch downloaden?"),
                                    DialogKind::Confirmation, BtnYes | BtnNo);
        if (antwoord == DialogResult::Yes) {
            StopOphalen = true;
            FTP.fetch(naam, pad, false, true);
        } else if (antwoord == DialogResult::No) {
            StopOphalen = true;
        }
        return true;
    }
    try {
        haalNieuwOp(naam, pad);
        StopOphalen = false;
    } catch (const std::exception& fout) {
        StopOphalen = true;
        mislukt_.insert(naam);
        ophaalFout_ = foutTekst(fout);
        status(ophaalFout_);
    }
    return true;
}

void TFKorvexFTP::haalNieuwOp(const QString& naam, const QString& pad) {
    // Received under a name the list does not show, and named only when
    // complete: a half-fetched script is never offered to run.
    QTemporaryFile deel(QDir(QFileInfo(pad).path()).filePath(QStringLiteral(".ophalen-XXXXXX")));
    if (!deel.open())
        throw KorvexError(QStringLiteral("In de map \"%1\" kan geen bestand worden aangemaakt: %2")
                              .arg(QDir::toNativeSeparators(QFileInfo(pad).path()),
                                   deel.errorString()));
    deel.close();
    FTP.fetch(naam, deel.fileName(), true, true);
    deel.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                        QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // Through the temporary file itself: its close() keeps the file open,
    // and Windows moves no file that is open; only it can let go first.
    if (!deel.rename(pad))
        throw KorvexError(QStringLiteral("Het opgehaalde script kan niet als \"%1\" worden "
                                         "bewaard.")
                              .arg(QDir::toNativeSeparators(pad)));
    deel.setAutoRemove(false);
}

void TFKorvexFTP::zetBatchKnoppen(bool aan) {
    for (QWidget* w : {static_cast<QWidget*>(SQLBestandenFTP), static_cast<QWidget*>(OphalenBestand),
                       static_cast<QWidget*>(DriveComboBox1),
                       static_cast<QWidget*>(OverzichtBestanden),
                       static_cast<QWidget*>(SQLBestandenLokaal)})
        w->setEnabled(aan);
}

void TFKorvexFTP::selecteerEersteLokaal() {
    if (OverzichtBestanden->count() > 0) OverzichtBestanden->setCurrentRow(0);
}

void TFKorvexFTP::OphalenBestandClick() {
    if (batch_) return;
    StopOphalen = false;
    int passen = 0;
    batch_ = true;
    zetBatchKnoppen(false);
    struct Herstel {
        TFKorvexFTP* venster;
        ~Herstel() {
            venster->zetBatchKnoppen(true);
            venster->batch_ = false;
        }
    } herstel{this};

    bool verbrokenTijdensBatch = false;
    while (SQLBestandenFTP->count() > 0 && !StopOphalen && passen < 5) {
        ++passen;
        try {
            platform_.processPendingEvents();
            if (!FTP.connected()) {
                verbrokenTijdensBatch = true;
                break;
            }
            ophaalFout_.clear();
            IsFile(SQLBestandenFTP->item(0)->text());
            OverzichtBestanden->Update();
            if (!FTP.connected()) {
                verbrokenTijdensBatch = true;
                break;
            }
            ChangeDir(QStringLiteral("/"));
            // The script left the list because its fetch failed: the
            // listing's report must not hide why.
            if (lijstOpgehaald_ && !ophaalFout_.isEmpty()) status(ophaalFout_);
        } catch (const std::exception& fout) {
            status(fout);
        }
    }
    if (verbrokenTijdensBatch) return;
    if (passen == 5 && FTP.connected()) FTP.disconnect();
    selecteerEersteLokaal();
}

void TFKorvexFTP::SQLBestandenFTPDblClick() {
    OphalenBestandClick();
}

void TFKorvexFTP::VerbrekenClick() {
    SQLBestandenFTP->clear();
    if (FTP.connected()) FTP.disconnect();
}

void TFKorvexFTP::ScriptUitvoerenClick() {
    try {
        const QString pad = OverzichtBestanden->FileName();
        if (pad.isEmpty()) throw KorvexError(QStringLiteral("Er is geen script gekozen."));
        QString tekst = ScriptBestand::LeesOpdracht(pad);
        const QString naam = QFileInfo(pad).fileName();

        SystemBoxRequest vraag;
        vraag.caption = QStringLiteral("Uitvoeren van een SQL script");
        vraag.text = QStringLiteral("Wenst u het script ") + naam + QStringLiteral(" uit te voeren?");
        vraag.buttons = BtnYes | BtnNo;
        vraag.icon = SystemIcon::Question;
        vraag.defaultButton = BtnNo;
        vraag.withOwner = false;
        if (platform_.systemMessageBox(vraag) == DialogResult::Yes) {
            try {
                Sluiten();
                ADOCommand.commandText = std::move(tekst);
                // The driver's own word for an empty text says nothing to an operator.
                if (ADOCommand.commandText.isEmpty())
                    throw KorvexError(QStringLiteral("Het script is leeg; er is niets uitgevoerd."));
                QString weigering = ScriptBestand::NietVerzendbaar(ADOCommand.commandText);
                if (weigering.isEmpty())
                    weigering = ScriptBestand::LosVraagteken(ADOCommand.commandText);
                if (!weigering.isEmpty()) throw KorvexError(weigering);
                ADOCommand.execute();
                ADOCommand.commandText = ScriptBestand::StempelOpdracht(ScriptBestand::Versie(naam));
                ADOCommand.execute();
                QFile::remove(pad);
                OverzichtBestanden->Update();
                Openen();
            } catch (const std::exception& fout) {
                QString melding = foutTekst(fout);
                // An error without text still tells the operator something failed.
                if (Tekst::trimmed(melding).isEmpty())
                    melding = QStringLiteral("Het script %1 is mislukt.").arg(naam);
                // The log memo lies under this modal window: the operator
                // reads the failure here first.
                status(melding);
                if (context_.logboek) {
                    context_.logboek(melding);
                    context_.logboek(ScriptBestand::VoorLogboek(ADOCommand.commandText));
                }
            }
        }
        selecteerEersteLokaal();
    } catch (const std::exception& fout) {
        status(fout);
    }
}

}  // namespace korvex::scripts
