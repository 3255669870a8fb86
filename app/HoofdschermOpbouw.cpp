// The main window's controls, as the operator's documentation shows them.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Hoofdscherm.h"
#include "platform/MessageDialog.h"
#include "platform/Tekst.h"

namespace korvex {

namespace {

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

void THoofdscherm::bouw() {
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

}  // namespace korvex
