#include "update/LumoAppUpdateDownload.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <memory>
#include <optional>

#include "Deployment.h"
#include "platform/Passend.h"
#include "platform/Platform.h"
#include "update/LumoAppUpdateNotify.h"

namespace korvex {

namespace {

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

    dienst_ = new UpdateDownload(*HttpCli1, platform_, this);
    connect(dienst_, &UpdateDownload::statusTekst, this,
            [this](const QString& tekst) { Passend::ZetTekst(StatusLabel, tekst); });
    connect(dienst_, &UpdateDownload::bestandGekozen, this,
            [this](const QString& naam) { Passend::ZetTekst(FileLabel, naam); });
    connect(dienst_, &UpdateDownload::overdrachtBegint, this, &TLumoAppUpdateDownloadBox::toonBegin);
    connect(dienst_, &UpdateDownload::overdracht, this, &TLumoAppUpdateDownloadBox::zetOverdracht);
    connect(dienst_, &UpdateDownload::overdrachtGestopt, this,
            &TLumoAppUpdateDownloadBox::toonEinde);
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
    dienst_->Afbreken();
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

void TLumoAppUpdateDownloadBox::toonBegin(qint64 maximum) {
    Passend::ZetTekst(TransferLabel, notify_.FormatFileSize(0) + QStringLiteral(" of ") +
                                         notify_.FormatFileSize(maximum) + QStringLiteral(" (0%)"));
    CancelButton->setEnabled(true);
    ProgressBar1->setMaximum(int(maximum));
    Timer1->start();
    StartTime = platform_.now();
    if (QScreen* scherm = screen()) move(scherm->availableGeometry().center() - rect().center());
    show();
}

void TLumoAppUpdateDownloadBox::toonEinde(const QString& mislukt) {
    if (!mislukt.isEmpty()) Passend::ZetTekst(StatusLabel, QStringLiteral("Mislukt: ") + mislukt);
    CancelButton->setEnabled(false);
    Timer1->stop();
    ProgressBar1->setValue(ProgressBar1->maximum());
}

void TLumoAppUpdateDownloadBox::meldUitkomst(const UpdateDownload::Resultaat& uit) {
    using Uitkomst = UpdateDownload::Uitkomst;
    const auto fout = [this](const QString& tekst) {
        platform_.messageDialog(tekst, DialogKind::Error, BtnOK);
    };
    switch (uit.uitkomst) {
        case Uitkomst::OngeldigeNaam:
            return fout(
                QStringLiteral("Ongeldige bestandsnaam voor de download: \"%1\"").arg(uit.naam));
        case Uitkomst::GrootteOnbekend:
            return fout(QStringLiteral(
                "De grootte van de download is niet bekend; er is niets gedownload."));
        case Uitkomst::Mislukt:
            return fout(QStringLiteral("De download is mislukt: ") + uit.mislukt + u'.');
        case Uitkomst::Afgebroken:
            return;  // told when the operator confirmed it
        case Uitkomst::Beschadigd:
            return fout(QStringLiteral("De download is beschadigd."));
        case Uitkomst::Gecontroleerd:
            break;
    }
    platform_.messageDialog(QStringLiteral("Zelvo Korvex® Fernaxo gaat nu starten"),
                            DialogKind::Information, BtnOK);
    if (const std::optional<QString> reden = dienst_->Overdragen(uit.doel))
        fout(QStringLiteral("Het updateprogramma %1 kan niet worden gestart: %2.")
                 .arg(QStringLiteral(KORVEX_UPDATER_FILE), *reden));
}

void TLumoAppUpdateDownloadBox::Download(TLumoAppUpdateNotifyBox& notify) {
    auto venster = std::make_unique<TLumoAppUpdateDownloadBox>(notify);
    notify.downloadBox = venster.get();
    const auto loskoppelen = qScopeGuard([&notify] { notify.downloadBox = nullptr; });
    venster->setFont(notify.font());
    QPalette kleur = venster->palette();
    kleur.setColor(QPalette::WindowText, notify.palette().color(QPalette::WindowText));
    venster->setPalette(kleur);
    // An error leaves through here: the window goes before it reaches its box.
    const UpdateDownload::Resultaat uit = venster->dienst_->Download(
        {notify.record, notify.HashType, notify.SignatureKey, notify.HttpCli1->proxy(),
         notify.HttpCli1->proxyPort()});
    venster->meldUitkomst(uit);
}

}  // namespace korvex
