#include "update/LumoAppUpdateDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <exception>
#include <memory>

#include "Deployment.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Passend.h"
#include "platform/Platform.h"
#include "update/Controlegetal.h"
#include "update/Handtekening.h"
#include "update/LumoAppUpdateNotify.h"

namespace korvex {

namespace {

// A name from the server's URL becomes a file in TempDownloads only when it
// cannot mean anything else, and holds no apostrophe (the updater gets the
// path between apostrophes).
bool veiligeBestandsnaam(const QString& naam) {
    return Bestand::IsVeiligeNaam(naam) && !naam.contains(u'\'');
}

QLabel* label(QWidget* ouder, const char* naam, const char* tekst, int x, int y, int breedte) {
    auto* l = new QLabel(QString::fromLatin1(tekst), ouder);
    l->setObjectName(QLatin1String(naam));
    l->setGeometry(x, y, breedte, 20);
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

    // Caption and value, one row each; the caption names its value for a
    // screen reader.
    struct Rij {
        QLabel** opschrift;
        const char* opschriftNaam;
        const char* opschriftTekst;
        QLabel** waarde;
        const char* waardeNaam;
        const char* waardeTekst;
    };
    const Rij rijen[] = {
        {&Label1, "Label1", "Bestand:", &FileLabel, "FileLabel", "-"},
        {&Label2, "Label2", "Snelheid:", &SpeedLabel, "SpeedLabel", "0 KB/sec"},
        {&Label4, "Label4", "Status :", &StatusLabel, "StatusLabel", "Downloading file"},
        {&Label5, "Label5", "Verstreken tijd :", &ElapsedTimeLabel, "ElapsedTimeLabel", "00:00:00"},
        {&Label6, "Label6", "Resterende tijd :", &RemainingTimeLabel, "RemainingTimeLabel",
         "00:00:00"},
        {&Label9, "Label9", "Overdracht :", &TransferLabel, "TransferLabel", "0 KB of 0 KB"},
    };
    int y = 16;
    for (const Rij& rij : rijen) {
        *rij.opschrift = label(this, rij.opschriftNaam, rij.opschriftTekst, 16, y, 130);
        *rij.waarde = label(this, rij.waardeNaam, rij.waardeTekst, 150, y, 310);
        (*rij.opschrift)->setBuddy(*rij.waarde);
        y += 26;
    }
    FileLabel->setFixedWidth(296);

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

void TLumoAppUpdateDownloadBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The notification window's font is set by the time the window shows.
    Passend::PasOpschriften(this);
}

QString TLumoAppUpdateDownloadBox::tijdTekst(qint64 seconden) {
    if (seconden < 0) seconden = 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconden / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconden / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconden % 60, 2, 10, QLatin1Char('0'));
}

void TLumoAppUpdateDownloadBox::zetOverdracht(qint64 ontvangen) {
    const qint64 maximum = ProgressBar1->maximum();
    Passend::ZetTekst(TransferLabel, notify_.FormatFileSize(ontvangen) + QStringLiteral(" of ") +
                                         notify_.FormatFileSize(maximum) + QStringLiteral(" (") +
                                         QString::number(ontvangen * 100 / maximum) +
                                         QStringLiteral("%)"));
    // More than announced still shows a full bar.
    ProgressBar1->setValue(int(qMin(ontvangen, maximum)));
}

void TLumoAppUpdateDownloadBox::HttpCli1DocumentData(qint64 ontvangen) {
    if (ProgressBar1->maximum() > 0) zetOverdracht(ontvangen);
}

void TLumoAppUpdateDownloadBox::Timer1Timer() {
    const qint64 r = HttpCli1->received();
    // The full date and time, so a transfer across midnight keeps counting.
    const qint64 t = qAbs(StartTime.secsTo(platform_.now()));
    Passend::ZetTekst(SpeedLabel,
                      notify_.FormatFileSize(t > 0 ? r / t : 0) + QStringLiteral("/sec"));
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

void TLumoAppUpdateDownloadBox::reject() {
    if (HttpCli1->busy())
        CancelButtonClick();
    else
        QDialog::reject();
}

void TLumoAppUpdateDownloadBox::Download(TLumoAppUpdateNotifyBox& notify) {
    Platform& platform = notify.platform();
    const TManifestRecord& record = notify.record;
    auto venster = std::make_unique<TLumoAppUpdateDownloadBox>(notify);
    notify.downloadBox = venster.get();
    const auto loskoppelen = qScopeGuard([&notify] { notify.downloadBox = nullptr; });
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
    const QString map = platform.programFolder() + QStringLiteral("TempDownloads");
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
    const auto ontkoppelen = qScopeGuard([&http] { http.setReceiver(nullptr); });

    Passend::ZetTekst(venster->FileLabel, naam);
    const int maximum = notify.GetRemoteFileSize(http);
    Passend::ZetTekst(venster->TransferLabel, notify.FormatFileSize(0) + QStringLiteral(" of ") +
                                                  notify.FormatFileSize(maximum) +
                                                  QStringLiteral(" (0%)"));
    venster->CancelButton->setEnabled(true);
    Passend::ZetTekst(venster->StatusLabel,
                      http.proxy().isEmpty()
                          ? QStringLiteral("Download bestand")
                          : QStringLiteral("Download bestand via proxy server (%1:%2)")
                                .arg(http.proxy(), http.proxyPort()));
    if (maximum <= 0) {
        // Nothing to fetch: the empty file does not stay behind.
        bestand.close();
        QFile::remove(doel);
        platform.messageDialog(
            QStringLiteral("De grootte van de download is niet bekend; er is niets gedownload."),
            DialogKind::Error, BtnOK);
        return;
    }
    venster->ProgressBar1->setMaximum(maximum);

    venster->Timer1->start();
    venster->StartTime = platform.now();
    if (QScreen* scherm = venster->screen())
        venster->move(scherm->availableGeometry().center() - venster->rect().center());
    venster->show();

    std::exception_ptr fout;
    QString mislukt;  // code and reason of a failed transfer
    try {
        http.get();
        const qint64 s = bestand.size();
        venster->zetOverdracht(s);
        // The client lets 401, 407, any other status below 400 and a
        // redirection too many through: only a whole 2xx body is the installer.
        if (http.statusCode() < 200 || http.statusCode() > 299 || s < maximum)
            mislukt = QStringLiteral("%1 %2").arg(http.statusCode()).arg(http.reasonPhrase());
    } catch (const net::HttpFailure& weigering) {
        mislukt = QStringLiteral("%1 %2").arg(weigering.status()).arg(weigering.reason());
    } catch (...) {
        // Not the request's own failure: the file is not trusted either.
        fout = std::current_exception();
        succes = false;
    }
    if (!mislukt.isEmpty()) {
        Passend::ZetTekst(venster->StatusLabel, QStringLiteral("Mislukt: ") + mislukt);
        succes = false;
    }
    // A confirmed cancel has had its own report.
    const bool afgebroken = !venster->CancelButton->isEnabled();
    if (afgebroken)
        succes = false;
    else
        venster->CancelButton->setEnabled(false);
    venster->Timer1->stop();
    venster->ProgressBar1->setValue(maximum);
    bestand.close();

    bool beschadigd = false;
    if (succes && notify.HashType != THashType::None) {
        const QString verwacht = notify.HashType == THashType::CRC32 ? record.CRC32Hash
                                 : notify.HashType == THashType::MD5 ? record.MD5Hash
                                                                     : record.SHA1Hash;
        const std::optional<QString> gevonden = Controlegetal(notify.HashType, doel);
        beschadigd = !gevonden || *gevonden != verwacht;
    }
    // A digest from the same manifest as the URL proves nothing against
    // whoever can change the manifest; the maker's signature does.
    if (succes && !beschadigd && !notify.SignatureKey.isEmpty())
        beschadigd =
            !HandtekeningKlopt(notify.SignatureKey, record.EdSignature, record.Version, doel);
    if (beschadigd) {
        succes = false;
        // Gone before the operator reads why, so it cannot be started meanwhile.
        QFile::remove(doel);
        platform.messageDialog(QStringLiteral("De download is beschadigd."), DialogKind::Error,
                               BtnOK);
    }

    if (succes) {
        platform.messageDialog(QStringLiteral("Zelvo Korvex® Fernaxo gaat nu starten"),
                               DialogKind::Information, BtnOK);
        const QString updater = platform.programFolder() + QStringLiteral(KORVEX_UPDATER_FILE);
        const QString volledig = QDir::toNativeSeparators(QFileInfo(doel).absoluteFilePath());
        // Without the updater, ending would leave the operator with nothing
        // running; the checked installer stays for another try.
        if (platform.shellStart(updater, u'\'' + volledig + u'\''))
            platform.quitProgram();
        else
            platform.messageDialog(
                QStringLiteral("Het updateprogramma %1 kan niet worden gestart: %2.")
                    .arg(QStringLiteral(KORVEX_UPDATER_FILE),
                         QFileInfo::exists(updater) ? QStringLiteral("het start niet")
                                                    : QStringLiteral("het bestand ontbreekt")),
                DialogKind::Error, BtnOK);
    } else {
        QFile::remove(doel);
        if (!mislukt.isEmpty() && !afgebroken)
            platform.messageDialog(QStringLiteral("De download is mislukt: ") + mislukt + u'.',
                                   DialogKind::Error, BtnOK);
    }
    // The window goes as this returns, before an error reaches its box.
    if (fout) std::rethrow_exception(fout);
}

}  // namespace korvex
