#include "app/Hoofdscherm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
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

// The tab strip: tabs 23 pixels wide, one under the other, text upwards.
class TKleurTabBalk : public QTabBar {
  public:
    explicit TKleurTabBalk(QWidget* parent) : QTabBar(parent) {
        setDrawBase(false);
        setExpanding(false);
    }
    QList<QColor> kleuren;

  protected:
    QSize tabSizeHint(int index) const override {
        const int tekst = fontMetrics().horizontalAdvance(tabText(index));
        return {23, tekst + 24};
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int i = 0; i < count(); ++i) {
            const QRect r = tabRect(i).adjusted(0, 1, 0, -1);
            QColor kleur = i < kleuren.size() ? kleuren[i] : palette().button().color();
            const bool actief = i == currentIndex();
            if (!actief) kleur = kleur.lighter(135);
            p.setPen(kleur.darker(160));
            p.setBrush(kleur);
            p.drawRoundedRect(r.adjusted(0, 0, actief ? 4 : 0, 0), 3, 3);
            p.save();
            p.translate(r.center());
            p.rotate(-90);
            QFont f = font();
            f.setBold(actief);
            p.setFont(f);
            p.setPen(kleur.lightness() > 150 ? Qt::black : Qt::white);
            const QRect tekst(-r.height() / 2, -r.width() / 2, r.height(), r.width());
            p.drawText(tekst, Qt::AlignCenter, tabText(i));
            p.restore();
            if (hasFocus() && actief) {
                p.setPen(QPen(Qt::black, 1, Qt::DotLine));
                p.setBrush(Qt::NoBrush);
                p.drawRect(r.adjusted(2, 2, -3, -3));
            }
        }
    }
};

// The application's style, with "*" as the password character.
class TSterretjesStijl : public QProxyStyle {
  public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QPushButton* knop(QWidget* ouder, const QString& naam, const QString& tekst, const QString& hint,
                  const QRect& plaats) {
    auto* b = new QPushButton(tekst, ouder);
    b->setObjectName(naam);
    b->setGeometry(plaats);
    if (!hint.isEmpty()) {
        b->setToolTip(hint);
        b->setStatusTip(hint);
    }
    b->setAutoDefault(false);
    return b;
}

QLineEdit* invoer(QWidget* ouder, const QString& naam, const QString& label, const QString& hint,
                  const QString& tekst, int y, int breedte = 300) {
    auto* l = new QLabel(label, ouder);
    l->setGeometry(24, y + 3, 86, 16);
    auto* e = new QLineEdit(tekst, ouder);
    e->setObjectName(naam);
    // Qt's default of 32,767 would cut a longer stored value without a word.
    e->setMaxLength(Tekst::MaximaleVeldLengte);
    e->setGeometry(112, y, breedte, 22);
    if (!hint.isEmpty()) {
        e->setToolTip(hint);
        e->setStatusTip(hint);
    }
    e->setAccessibleName(label);
    l->setBuddy(e);
    return e;
}

}  // namespace

void TLogboek::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

TKleurTabblad::TKleurTabblad(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new TKleurTabBalk(this));
    setTabPosition(QTabWidget::West);
}

void TKleurTabblad::setTabColour(int index, const QColor& colour) {
    auto* balk = static_cast<TKleurTabBalk*>(tabBar());
    while (balk->kleuren.size() <= index) balk->kleuren << QColor();
    balk->kleuren[index] = colour;
    balk->update();
}

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
    setWindowTitle(MessageDialog::applicationTitle());
    setFixedSize(831, 428);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    RzPageControl1 = new TKleurTabblad(this);
    RzPageControl1->setObjectName(QStringLiteral("RzPageControl1"));
    RzPageControl1->setGeometry(0, 0, 548, 352);
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    TabSheet3 = new QWidget;
    TabSheet4 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    RzPageControl1->addTab(TabSheet1, QStringLiteral("Acties"));
    RzPageControl1->addTab(TabSheet2, QStringLiteral("Instellingen"));
    RzPageControl1->addTab(TabSheet3, QStringLiteral("Logboek"));
    RzPageControl1->addTab(TabSheet4, QStringLiteral("Type"));
    RzPageControl1->setTabColour(0, QColor(0x3A, 0x78, 0xC8));
    RzPageControl1->setTabColour(1, QColor(0x2E, 0x7D, 0x46));
    RzPageControl1->setTabColour(2, QColor(0xE8, 0xA8, 0x38));
    RzPageControl1->setTabColour(3, QColor(0xB0, 0x48, 0x48));
    const QColor achtergronden[] = {QColor(0xEE, 0xF3, 0xFB), QColor(0xEE, 0xF7, 0xF0),
                                    QColor(0xFD, 0xF6, 0xEA), QColor(0xF9, 0xEE, 0xEE)};
    QWidget* bladen[] = {TabSheet1, TabSheet2, TabSheet3, TabSheet4};
    for (int i = 0; i < 4; ++i) {
        QPalette pal = bladen[i]->palette();
        pal.setColor(QPalette::Window, achtergronden[i]);
        bladen[i]->setPalette(pal);
        bladen[i]->setAutoFillBackground(true);
    }

    bouwActies();
    bouwInstellingen();
    bouwLogboek();
    bouwType();

    Button2 = knop(this, QStringLiteral("Button2"), QStringLiteral("UPDATE SOFTWARE"),
                   QStringLiteral("Software controleren op updates"), QRect(8, 360, 260, 36));
    Button1 = knop(this, QStringLiteral("Button1"), QStringLiteral("AFSLUITEN"),
                   QStringLiteral("Toepassing afsluiten"), QRect(280, 360, 260, 36));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, 404, 548, 24);
    StatusBar1->setSizeGripEnabled(false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(548, 0, 283, 428);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/Image1.png")));
    Image1->setScaledContents(true);

    RzPageControl1->setCurrentWidget(TabSheet1);
    volgordeToetsenbord();

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

void THoofdscherm::bouwActies() {
    QWidget* t = TabSheet1;
    constexpr int links = 48, rechts = 283, breed = 205, hoog = 34, stap = 42, top = 18;
    auto rij = [&](int r) { return top + r * stap; };
    Button4 = knop(t, QStringLiteral("Button4"), QStringLiteral("NIEUWE DATABASE AANMAKEN"),
                   QStringLiteral("Nieuwe database aanmaken"), QRect(links, rij(0), breed, hoog));
    Button5 = knop(t, QStringLiteral("Button5"), QStringLiteral("KOPPELEN DATABASE"),
                   QStringLiteral("Database koppelen aan de locatie"),
                   QRect(rechts, rij(0), breed, hoog));
    Button7 = knop(t, QStringLiteral("Button7"), QStringLiteral("ONTKOPPELEN DATABASE"),
                   QStringLiteral("Database ontkoppelen van deze locatie"),
                   QRect(rechts, rij(1), breed, hoog));
    Button6 = knop(t, QStringLiteral("Button6"), QStringLiteral("VERWIJDEREN DATABASE"),
                   QStringLiteral("Database verwijderen, inclusief bestanden"),
                   QRect(rechts, rij(2), breed, hoog));
    Button8 =
        knop(t, QStringLiteral("Button8"), QStringLiteral("CONTROLEREN SQL SCRIPTS"),
             QStringLiteral("Uitvoeren van een script"), QRect(links, rij(1), breed, stap + hoog));
    Button10 = knop(t, QStringLiteral("Button10"), QStringLiteral("STANDAARD BEDRIJF"),
                    QStringLiteral("Ophalen bedrijfsgegevens"), QRect(links, rij(3), breed, hoog));
    Button11 = knop(t, QStringLiteral("Button11"), QStringLiteral("BTW NUMMER"),
                    QStringLiteral("BTW nummer aanpassen"), QRect(rechts, rij(3), breed, hoog));
    const int vol = rechts + breed - links;
    Button9 =
        knop(t, QStringLiteral("Button9"), QStringLiteral("OPENEN CONFIGURATIE BESTAND SQL SERVER"),
             QStringLiteral("Ophalen bedrijfsgegevens voor een andere SQL server locatie"),
             QRect(links, rij(4) + 14, vol, hoog));
    Button12 = knop(t, QStringLiteral("Button12"),
                    QStringLiteral("BEWAAR CONFIGURATIE BESTAND SQL SERVER"),
                    QStringLiteral("Bewaren bedrijfsgegevens voor een andere SQL server locatie"),
                    QRect(links, rij(5) + 14, vol, hoog));
}

void THoofdscherm::bouwInstellingen() {
    QWidget* t = TabSheet2;
    P_SQLSERVER = invoer(t, QStringLiteral("P_SQLSERVER"), QStringLiteral("SQL server"),
                         QStringLiteral("Locatie SQL server (IP adres / DNS )"),
                         QStringLiteral("localhost"), 16);
    P_INLOGNAAM = invoer(t, QStringLiteral("P_INLOGNAAM"), QStringLiteral("Inlognaam"),
                         QStringLiteral("Inlognaam"), QStringLiteral("sa"), 44);
    P_PASWOORD = invoer(t, QStringLiteral("P_PASWOORD"), QStringLiteral("Paswoord"),
                        QStringLiteral("Paswoord"), QString(), 72);
    P_PASWOORD->setEchoMode(QLineEdit::Password);
    // Every character shows as "*", not as the style's bullet.
    auto* stijl = new TSterretjesStijl;
    stijl->setParent(P_PASWOORD);
    P_PASWOORD->setStyle(stijl);
    P_DATABASE = invoer(t, QStringLiteral("P_DATABASE"), QStringLiteral("Database"),
                        QStringLiteral("Databasenaam "), QString(), 100);
    P_VKMID = invoer(t, QStringLiteral("P_VKMID"), QStringLiteral("VKM ID"),
                     QStringLiteral("Zelvo Object Server"), QString(), 128);
    P_PINCODE = invoer(t, QStringLiteral("P_PINCODE"), QStringLiteral("Pincode"),
                       QStringLiteral("Pincode"), QString(), 156);
    LocatieDatabase = invoer(t, QStringLiteral("LocatieDatabase"), QStringLiteral("Locatie"),
                             QString(), QStringLiteral("LocatieDatabase"), 184, 274);
    LocatieDatabaseKiezen = new QToolButton(t);
    LocatieDatabaseKiezen->setObjectName(QStringLiteral("LocatieDatabaseKiezen"));
    LocatieDatabaseKiezen->setText(QStringLiteral("..."));
    LocatieDatabaseKiezen->setAccessibleName(QStringLiteral("Locatie kiezen"));
    LocatieDatabaseKiezen->setGeometry(112 + 276, 184, 24, 22);

    Image2 = new QLabel(t);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(432, 172, 48, 48);
    Image2->setPixmap(QPixmap(QStringLiteral(":/pictures/Image2.png")));

    Button3 = knop(t, QStringLiteral("Button3"), QStringLiteral("TEST VERBINDING"), QString(),
                   QRect(112, 214, 150, 28));
    BTWnummer = invoer(t, QStringLiteral("BTWnummer"), QStringLiteral("BTW nummer"),
                       QStringLiteral("Databasenaam "), QString(), 256);
    P_UPDATES = new QCheckBox(QStringLiteral("Automatisch controleren op software updates"), t);
    P_UPDATES->setObjectName(QStringLiteral("P_UPDATES"));
    P_UPDATES->setGeometry(112, 292, 340, 20);
    P_UPDATES->setChecked(false);
}

void THoofdscherm::bouwLogboek() {
    Logboek = new TLogboek(TabSheet3);
    Logboek->setObjectName(QStringLiteral("Logboek"));
    Logboek->setAccessibleName(QStringLiteral("Logboek"));
    QFont f(QStringLiteral("Calibri"));
    f.setPixelSize(13);
    Logboek->setFont(f);
    Logboek->setLineWrapMode(QPlainTextEdit::NoWrap);
    Logboek->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Logboek->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* vulling = new QVBoxLayout(TabSheet3);
    vulling->setContentsMargins(0, 0, 0, 0);
    vulling->addWidget(Logboek);
}

void THoofdscherm::bouwType() {
    QWidget* t = TabSheet4;
    Button13 =
        knop(t, QStringLiteral("Button13"), QStringLiteral("DATABASE INSTELLEN VOOR TAXIBEDRIJF"),
             QStringLiteral("Nieuwe database aanmaken"), QRect(48, 24, 440, 65));
    Button14 = knop(t, QStringLiteral("Button14"),
                    QStringLiteral("DATABASE INSTELLEN VOOR KOERIERBEDRIJF"),
                    QStringLiteral("Nieuwe database aanmaken"), QRect(48, 101, 440, 65));
}

void THoofdscherm::volgordeToetsenbord() {
    const QList<QWidget*> acties{Button4,  Button5,  Button6, Button7, Button8,
                                 Button10, Button11, Button9, Button12};
    const QList<QWidget*> instellingen{
        P_UPDATES, P_SQLSERVER, P_INLOGNAAM, P_PASWOORD,      P_DATABASE,
        P_VKMID,   P_PINCODE,   Button3,     LocatieDatabase, LocatieDatabaseKiezen,
        BTWnummer};
    for (const auto& keten : {acties, instellingen, QList<QWidget*>{Button13, Button14},
                              QList<QWidget*>{RzPageControl1, Button2, Button1}})
        for (int i = 1; i < keten.size(); ++i) setTabOrder(keten[i - 1], keten[i]);
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
            opdracht, P_VKMID->text(), LocatieDatabase->text(),
            [this] { P_DATABASE->setText(QStringLiteral("master")); }, jaNee()));
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
