#include "update/LumoAppUpdateNotify.h"

#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "platform/AnsiCodec.h"
#include "platform/Bestand.h"
#include "platform/Passend.h"
#include "platform/Platform.h"
#include "update/LumoAppUpdateDownload.h"
#include "update/UpdateDownload.h"
#include "update/Webpagina.h"

namespace korvex {

namespace {

constexpr qint64 KB = 1024;
constexpr qint64 MB = 1024 * KB;
constexpr qint64 GB = 1024 * MB;

QToolButton* knop(QToolBar* balk, const QString& naam, const QString& tekst, const QIcon& icoon,
                  int breedte) {
    auto* knop = new QToolButton(balk);
    knop->setObjectName(naam);
    knop->setFont(balk->font());
    knop->setText(tekst);
    knop->setIcon(icoon);
    knop->setIconSize(balk->iconSize());
    knop->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // The three buttons share the bar's width; a caption that runs wider
    // in the font found for Arial is drawn smaller when the window shows.
    knop->setFixedWidth(breedte);
    knop->setCursor(Qt::PointingHandCursor);
    knop->setAutoRaise(true);
    return knop;
}

void tussenruimte(QToolBar* balk) {
    auto* ruimte = new QWidget(balk);
    ruimte->setFixedWidth(4);
    balk->addWidget(ruimte);
}

}  // namespace

TLumoAppUpdateNotifyBox::TLumoAppUpdateNotifyBox(Platform& platform)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      platform_(platform) {
    setObjectName(QStringLiteral("LumoAppUpdateNotifyBox"));
    setWindowTitle(QStringLiteral("Er is een nieuwe versie van de software beschikbaar"));
    setFixedSize(686, 312);
    setAutoFillBackground(true);
    QPalette wit = palette();
    wit.setColor(QPalette::Window, Qt::white);
    setPalette(wit);

    constexpr int balkHoogte = 29;
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/Update.jpg")));
    Image1->setScaledContents(true);
    Image1->setGeometry(686 - 216, 0, 216, 312 - balkHoogte);
    Image1->setAccessibleName(QStringLiteral("Zelvo Korvex"));

    ReadmeMemo = new QPlainTextEdit(this);
    ReadmeMemo->setObjectName(QStringLiteral("ReadmeMemo"));
    ReadmeMemo->setGeometry(7, 7, 469, 271);
    ReadmeMemo->setReadOnly(true);
    ReadmeMemo->setFrameShape(QFrame::NoFrame);
    ReadmeMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    ReadmeMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ReadmeMemo->setFocusPolicy(Qt::ClickFocus);  // the Tab key passes it by
    ReadmeMemo->setAccessibleName(QStringLiteral("Informatie over de nieuwe versie"));
    QPalette memo = ReadmeMemo->palette();
    memo.setColor(QPalette::Base, Qt::white);
    ReadmeMemo->setPalette(memo);
    ReadmeMemo->setPlainText(QString());  // one empty line

    RzToolbar1 = new QToolBar(this);
    RzToolbar1->setObjectName(QStringLiteral("RzToolbar1"));
    RzToolbar1->setGeometry(0, 312 - balkHoogte, 686, balkHoogte);
    RzToolbar1->setMovable(false);
    RzToolbar1->setIconSize(QSize(16, 16));
    QFont balkFont(QStringLiteral("Arial"), 8);
    balkFont.setBold(true);
    RzToolbar1->setFont(balkFont);
    RzToolbar1->setContentsMargins(0, 0, 0, 0);
    RzToolbar1->layout()->setSpacing(0);
    RzToolbar1->setStyleSheet(QStringLiteral(
        "QToolBar { border: none; border-bottom: 2px groove palette(mid); padding: 0px; }"));
    // The image list's order: download, close, web page.
    const QIcon ToolImages[] = {style()->standardIcon(QStyle::SP_ArrowDown),
                                style()->standardIcon(QStyle::SP_DialogCloseButton),
                                style()->standardIcon(QStyle::SP_MessageBoxInformation)};
    DownloadButton = knop(RzToolbar1, QStringLiteral("DownloadButton"),
                          QStringLiteral("Download en installeer de update"), ToolImages[0], 219);
    RzToolbar1->addWidget(DownloadButton);
    tussenruimte(RzToolbar1);
    OpenWebPageButton = knop(RzToolbar1, QStringLiteral("OpenWebPageButton"),
                             QStringLiteral("Extra download informatie"), ToolImages[2], 237);
    RzToolbar1->addWidget(OpenWebPageButton);
    tussenruimte(RzToolbar1);
    ButtonSluiten = knop(RzToolbar1, QStringLiteral("ButtonSluiten"), QStringLiteral("Sluiten"),
                         ToolImages[1], 197);
    RzToolbar1->addWidget(ButtonSluiten);

    HttpCli1 = new net::HttpClient(this);

    connect(DownloadButton, &QToolButton::clicked, this, [this] { DownloadButtonClick(); });
    connect(OpenWebPageButton, &QToolButton::clicked, this, [this] { OpenWebPageButtonClick(); });
    connect(ButtonSluiten, &QToolButton::clicked, this, [this] { ButtonSluitenClick(); });
}

TLumoAppUpdateNotifyBox::~TLumoAppUpdateNotifyBox() = default;

QString TLumoAppUpdateNotifyBox::FormatFileSize(qint64 bytes) const {
    // The regional separator, shown even where the locale would leave it out.
    QLocale regio;
    regio.setNumberOptions(QLocale::DefaultNumberOptions);
    auto tekst = [&regio](qint64 getal, const char* eenheid) {
        return regio.toString(getal) + QLatin1String(eenheid);
    };
    auto vast = [&](qint64 eenheid, const char* naam) {
        if (bytes == 0) return tekst(0, naam);
        if (bytes > 0 && bytes < eenheid) return tekst(1, naam);
        return tekst(bytes / eenheid, naam);
    };
    switch (FileSizeUnit) {
        case TLumoAppUpdateFileSizeUnit::Auto:
            if (bytes > GB) return tekst(bytes / GB, " GB");
            if (bytes > MB) return tekst(bytes / MB, " MB");
            if (bytes > KB) return tekst(bytes / KB, " KB");
            return tekst(bytes, " B");
        case TLumoAppUpdateFileSizeUnit::Bytes:
            return tekst(bytes, " B");
        case TLumoAppUpdateFileSizeUnit::KiloBytes:
            return vast(KB, " KB");
        case TLumoAppUpdateFileSizeUnit::MegaBytes:
            return vast(MB, " MB");
        case TLumoAppUpdateFileSizeUnit::GigaBytes:
            return vast(GB, " GB");
    }
    return tekst(bytes, " B");
}

QString TLumoAppUpdateNotifyBox::FileNameFromURL(const QString& url) {
    return UpdateDownload::BestandsnaamUitURL(url);
}

int TLumoAppUpdateNotifyBox::GetRemoteFileSize(net::HttpClient& client) {
    if (downloadBox != nullptr)
        Passend::ZetTekst(downloadBox->StatusLabel, QStringLiteral("Zoek naar bestandsinformatie"));
    return UpdateDownload::GrootteOpServer(client);
}

void TLumoAppUpdateNotifyBox::leegMemo() {
    ReadmeMemo->clear();
}

void TLumoAppUpdateNotifyBox::voegRegelToe(const QString& regel) {
    ReadmeMemo->appendPlainText(regel);
}

void TLumoAppUpdateNotifyBox::laadMemo(const QString& pad) {
    const Bestand::Gelezen gelezen = Bestand::Lees(pad, kMaximaleLeesmijGrootte);
    if (gelezen.uitkomst != Bestand::Leesuitkomst::Gelezen) return;
    QString tekst = AnsiCodec::decodeWithBom(gelezen.inhoud);
    tekst.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    // A NUL would end the line in the memo; the rest stays visible.
    tekst.replace(QChar(0), QChar::ReplacementCharacter);
    // The last line break ends the last line; it opens no empty one.
    if (tekst.endsWith(u'\n')) tekst.chop(1);
    ReadmeMemo->setPlainText(tekst);
}

void TLumoAppUpdateNotifyBox::DownloadButtonClick() {
    // One download at a time: a second one would write the same file.
    if (downloadBox != nullptr) return;
    // The window stays on screen behind the download window until the
    // download has ended, whatever way it ends.
    const auto sluiten = qScopeGuard([this] { close(); });
    TLumoAppUpdateDownloadBox::Download(*this);
}

void TLumoAppUpdateNotifyBox::OpenWebPageButtonClick() {
    OpenWebpagina(platform_, record.UpdatePageURL);
}

void TLumoAppUpdateNotifyBox::ButtonSluitenClick() {
    close();
}

void TLumoAppUpdateNotifyBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The fonts are set by the time the window shows.
    Passend::PasOpschriften(this);
}

void TLumoAppUpdateNotifyBox::reject() {
    if (downloadBox == nullptr) QDialog::reject();
}

}  // namespace korvex
