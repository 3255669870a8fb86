#include "update/LumoAppUpdateDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <exception>
#include <memory>

#include "Deployment.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Platform.h"
#include "update/Controlegetal.h"
#include "update/LumoAppUpdateNotify.h"

namespace korvex {

namespace {

// A name from the server's URL becomes a file in TempDownloads only when it
// cannot mean anything else: no folder part, no "." or "..", no control
// characters.
bool veiligeBestandsnaam(const QString& naam) {
    if (naam.isEmpty() || naam == u"." || naam == u"..") return false;
    for (const QChar c : naam)
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) return false;
    return true;
}

QLabel* label(QWidget* ouder, const char* naam, const QString& tekst, int x, int y) {
    auto* l = new QLabel(tekst, ouder);
    l->setObjectName(QLatin1String(naam));
    l->move(x, y);
    l->resize(x == 16 ? 130 : 310, 20);
    return l;
}

}  // namespace

TLumoAppUpdateDownloadBox::TLumoAppUpdateDownloadBox(TLumoAppUpdateNotifyBox& notify)
    : QDialog(&notify, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      notify_(notify),
      platform_(notify.platform()) {
    setObjectName(QStringLiteral("LumoAppUpdateDownloadBox"));
    setWindowTitle(QStringLiteral("Download nieuwe versie"));
    setFixedSize(690, 313);
    setAutoFillBackground(true);
    QPalette wit = palette();
    wit.setColor(QPalette::Window, Qt::white);
    setPalette(wit);

    constexpr int kolom1 = 16, kolom2 = 150, rij = 26;
    Label1 = label(this, "Label1", QStringLiteral("Bestand:"), kolom1, 16);
    FileLabel = label(this, "FileLabel", QStringLiteral("-"), kolom2, 16);
    FileLabel->setFixedWidth(296);
    Label2 = label(this, "Label2", QStringLiteral("Snelheid:"), kolom1, 16 + rij);
    SpeedLabel = label(this, "SpeedLabel", QStringLiteral("0 KB/sec"), kolom2, 16 + rij);
    Label4 = label(this, "Label4", QStringLiteral("Status :"), kolom1, 16 + 2 * rij);
    StatusLabel =
        label(this, "StatusLabel", QStringLiteral("Downloading file"), kolom2, 16 + 2 * rij);
    Label5 = label(this, "Label5", QStringLiteral("Verstreken tijd :"), kolom1, 16 + 3 * rij);
    ElapsedTimeLabel =
        label(this, "ElapsedTimeLabel", QStringLiteral("00:00:00"), kolom2, 16 + 3 * rij);
    Label6 = label(this, "Label6", QStringLiteral("Resterende tijd :"), kolom1, 16 + 4 * rij);
    RemainingTimeLabel =
        label(this, "RemainingTimeLabel", QStringLiteral("00:00:00"), kolom2, 16 + 4 * rij);
    Label9 = label(this, "Label9", QStringLiteral("Overdracht :"), kolom1, 16 + 5 * rij);
    TransferLabel =
        label(this, "TransferLabel", QStringLiteral("0 KB of 0 KB"), kolom2, 16 + 5 * rij);
    // Each caption names its value for a screen reader.
    const std::pair<QLabel*, QLabel*> rijen[] = {
        {Label1, FileLabel},        {Label2, SpeedLabel},         {Label4, StatusLabel},
        {Label5, ElapsedTimeLabel}, {Label6, RemainingTimeLabel}, {Label9, TransferLabel}};
    for (const auto& [opschrift, waarde] : rijen) opschrift->setBuddy(waarde);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 184, 460, 44);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QStringLiteral("Voortgang"));

    CancelButton = new QPushButton(QStringLiteral("AFBREKEN"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(8, 240, 460, 38);
    CancelButton->setDefault(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/Download.jpg")));
    Image1->setScaledContents(true);
    Image1->setGeometry(690 - 218, 0, 218, 313);
    Image1->setAccessibleName(QStringLiteral("Zelvo Korvex"));

    HttpCli1 = new net::HttpClient(this);
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    // A coarse timer may tick up to 50 ms off; the elapsed time is shown to
    // the second.
    Timer1->setTimerType(Qt::PreciseTimer);

    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    connect(HttpCli1, &net::HttpClient::documentData, this,
            [this](qint64 ontvangen) { HttpCli1DocumentData(ontvangen); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

TLumoAppUpdateDownloadBox::~TLumoAppUpdateDownloadBox() = default;

QString TLumoAppUpdateDownloadBox::tijdTekst(qint64 seconden) {
    if (seconden < 0) seconden = 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconden / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconden / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconden % 60, 2, 10, QLatin1Char('0'));
}

void TLumoAppUpdateDownloadBox::zetOverdracht(qint64 ontvangen) {
    const qint64 maximum = ProgressBar1->maximum();
    TransferLabel->setText(notify_.FormatFileSize(ontvangen) + QStringLiteral(" of ") +
                           notify_.FormatFileSize(maximum) + QStringLiteral(" (") +
                           QString::number(ontvangen * 100 / maximum) + QStringLiteral("%)"));
    // More than announced still shows a full bar.
    ProgressBar1->setValue(int(qMin(ontvangen, maximum)));
}

void TLumoAppUpdateDownloadBox::HttpCli1DocumentData(qint64 ontvangen) {
    if (ProgressBar1->maximum() > 0)
        zetOverdracht(ontvangen);
    else
        ProgressBar1->setValue(0);
}

void TLumoAppUpdateDownloadBox::Timer1Timer() {
    const qint64 r = HttpCli1->received();
    // The full date and time, so a transfer across midnight keeps counting.
    const qint64 t = qAbs(StartTime.secsTo(platform_.now()));
    SpeedLabel->setText(notify_.FormatFileSize(t > 0 ? r / t : 0) + QStringLiteral("/sec"));
    ElapsedTimeLabel->setText(tijdTekst(t));
    if (r > 0) RemainingTimeLabel->setText(tijdTekst((ProgressBar1->maximum() - r) * t / r));
}

void TLumoAppUpdateDownloadBox::CancelButtonClick() {
    if (platform_.messageDialog(QStringLiteral("Deze software update afbreken?"),
                                DialogKind::Confirmation, BtnYes | BtnNo) != DialogResult::Yes)
        return;
    HttpCli1->abort();
    try {
        HttpCli1->close();
    } catch (const std::exception&) {
    }
    CancelButton->setEnabled(false);
    Timer1->stop();
    platform_.messageDialog(QStringLiteral("De software update werd afgebroken."),
                            DialogKind::Error, BtnOK);
}

void TLumoAppUpdateDownloadBox::Download(TLumoAppUpdateNotifyBox& notify) {
    Platform& platform = notify.platform();
    const TManifestRecord& record = notify.record;
    auto venster = std::make_unique<TLumoAppUpdateDownloadBox>(notify);
    notify.downloadBox = venster.get();
    struct Loskoppelen {
        TLumoAppUpdateNotifyBox& notify;
        ~Loskoppelen() { notify.downloadBox = nullptr; }
    } loskoppelen{notify};
    venster->setFont(notify.font());
    QPalette kleur = venster->palette();
    kleur.setColor(QPalette::WindowText, notify.palette().color(QPalette::WindowText));
    venster->setPalette(kleur);

    bool succes = true;
    const QString naam = TLumoAppUpdateNotifyBox::FileNameFromURL(record.DownloadFileURL);
    if (!veiligeBestandsnaam(naam)) {
        platform.messageDialog(
            QStringLiteral("Ongeldige bestandsnaam voor de download: \"%1\"").arg(naam),
            DialogKind::Error, BtnOK);
        return;
    }
    const QString map = notify.programmaMap + QStringLiteral("TempDownloads");
    const QString doel = QFileInfo(map).isDir() ? map + QDir::separator() + naam : QString();

    net::HttpClient& http = *venster->HttpCli1;
    http.setProxy(notify.HttpCli1->proxy());
    http.setProxyPort(notify.HttpCli1->proxyPort());
    http.setUrl(record.DownloadFileURL);

    QFile bestand(doel);
    if (doel.isEmpty())
        throw KorvexError(
            QStringLiteral("Kan het bestand \"%1\" niet openen om te schrijven: de map "
                           "\"%2\" bestaat niet.")
                .arg(naam, QDir::toNativeSeparators(map)));
    // A link could lead the download out of TempDownloads.
    if (QFileInfo(doel).isSymLink())
        throw KorvexError(QStringLiteral("\"%1\" is geen gewoon bestand.").arg(doel));
    Bestand::OpenOmTeSchrijven(bestand, doel, false);
    http.setReceiver(&bestand);
    struct Ontkoppelen {
        net::HttpClient& http;
        ~Ontkoppelen() { http.setReceiver(nullptr); }
    } ontkoppelen{http};

    venster->FileLabel->setText(naam);
    venster->ProgressBar1->setValue(0);
    const int maximum = notify.GetRemoteFileSize(http);
    venster->ProgressBar1->setMaximum(qMax(maximum, 1));
    venster->TransferLabel->setText(notify.FormatFileSize(0) + QStringLiteral(" of ") +
                                    notify.FormatFileSize(maximum) + QStringLiteral(" (0%)"));
    venster->CancelButton->setEnabled(true);
    venster->StatusLabel->setText(http.proxy().isEmpty()
                                      ? QStringLiteral("Download bestand")
                                      : QStringLiteral("Download bestand via proxy server (%1:%2)")
                                            .arg(http.proxy(), http.proxyPort()));
    if (maximum <= 0) {
        // Nothing to fetch: the empty file does not stay behind.
        bestand.close();
        QFile::remove(doel);
        return;
    }
    venster->ProgressBar1->setMaximum(maximum);

    venster->Timer1->start();
    venster->StartTime = platform.now();
    if (QScreen* scherm = venster->screen())
        venster->move(scherm->availableGeometry().center() - venster->rect().center());
    venster->show();

    std::exception_ptr fout;
    try {
        http.get();
        const qint64 s = bestand.size();
        venster->zetOverdracht(s);
    } catch (const net::HttpFailure& mislukt) {
        venster->StatusLabel->setText(
            QStringLiteral("Mislukt: %1 %2").arg(mislukt.status()).arg(mislukt.reason()));
        succes = false;
    } catch (...) {
        // Not the request's own failure: the file is not trusted either.
        fout = std::current_exception();
        succes = false;
    }
    if (!venster->CancelButton->isEnabled())
        succes = false;
    else
        venster->CancelButton->setEnabled(false);
    venster->Timer1->stop();
    venster->ProgressBar1->setValue(maximum);
    http.setReceiver(nullptr);
    bestand.close();

    if (succes && notify.HashType != THashType::None) {
        const QString verwacht = notify.HashType == THashType::CRC32 ? record.CRC32Hash
                                 : notify.HashType == THashType::MD5 ? record.MD5Hash
                                                                     : record.SHA1Hash;
        const std::optional<QString> gevonden = Controlegetal(notify.HashType, doel);
        succes = gevonden && *gevonden == verwacht;
        if (!succes)
            platform.messageDialog(QStringLiteral("De download is beschadigd."), DialogKind::Error,
                                   BtnOK);
    }

    if (succes) {
        platform.messageDialog(QStringLiteral("Zelvo Korvex® Fernaxo gaat nu starten"),
                               DialogKind::Information, BtnOK);
        try {
            platform.quitProgram();
            const QString updater = notify.programmaMap + QStringLiteral(KORVEX_UPDATER_FILE);
            const QString volledig = QDir::toNativeSeparators(QFileInfo(doel).absoluteFilePath());
            platform.shellStart(updater, u'\'' + volledig + u'\'');
        } catch (const std::exception&) {
            // The program ends whether or not the updater started.
        }
    } else {
        QFile::remove(doel);
    }
    // The window goes as this returns, before an error reaches its box.
    if (fout) std::rethrow_exception(fout);
}

}  // namespace korvex
