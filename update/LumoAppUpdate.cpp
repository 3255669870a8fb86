#include "update/LumoAppUpdate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QToolButton>
#include <memory>

#include "net/HttpClient.h"
#include "platform/KorvexError.h"
#include "platform/Platform.h"
#include "update/LumoAppUpdateNotify.h"
#include "update/Profielbestand.h"
#include "update/Webpagina.h"

namespace korvex {

namespace {

QFont lettertype(const char* familie) {
    QFont font(QString::fromLatin1(familie));
    font.setPointSize(9);
    return font;
}

const QString& programmaSectie() {
    // Once for the process: the name the program was started under.
    static const QString sectie =
        TLumoAppUpdate::SectieVanProgramma(QCoreApplication::applicationFilePath());
    return sectie;
}

// Tooltip text colour, as the component's fonts carry it.
void infoKleur(QWidget* venster, QPalette::ColorRole rol) {
    QPalette palet = venster->palette();
    palet.setColor(rol, QPalette().color(QPalette::ToolTipText));
    venster->setPalette(palet);
}

}  // namespace

TLumoAppUpdate::TLumoAppUpdate(Platform& platform, QObject* parent)
    : QObject(parent),
      ManifestSectie(programmaSectie()),
      platform_(platform),
      font_(lettertype("Segoe UI")),
      fontReadme_(lettertype("Calibri")) {}

TLumoAppUpdate::~TLumoAppUpdate() = default;

QString TLumoAppUpdate::SectieVanProgramma(const QString& programmaPad) {
    const QString naam = QFileInfo(programmaPad).fileName();
    const qsizetype punt = naam.indexOf(u'.');
    return punt < 0 ? naam : naam.left(punt);
}

bool TLumoAppUpdate::Kleiner(const QString& a, const QString& b) {
    // Code unit by code unit, with no numeric reading of version parts.
    return QStringView(a).compare(QStringView(b), Qt::CaseSensitive) < 0;
}

void TLumoAppUpdate::CheckForUpdate() {
    // The fetches wait in the event loop, where the button can be pressed
    // again; that press must not start a second check inside the first.
    if (bezig_) return;
    bezig_ = true;
    const auto klaar = qScopeGuard([this] { bezig_ = false; });
    controleer();
}

void TLumoAppUpdate::controleer() {
    auto notify = std::make_unique<TLumoAppUpdateNotifyBox>(platform_);
    notify->setFont(font_);
    infoKleur(notify.get(), QPalette::WindowText);
    notify->ReadmeMemo->setFont(fontReadme_);
    infoKleur(notify->ReadmeMemo, QPalette::Text);
    net::HttpClient& http = *notify->HttpCli1;
    http.setProxy(ProxyAddress);
    http.setProxyPort(ProxyPort);
    notify->FileSizeUnit = FileSizeUnit;
    notify->HashType = HashType;
    notify->SignatureKey = SignatureKey;
    TManifestRecord& record = notify->record;

    bool ophalen = true;
    QString manifestMislukt;  // code and reason when the manifest could not be had
    // Fetches the URL into a fresh temporary file, which goes on every path.
    auto haal = [&](const QString& url, QString* mislukt, const auto& gebruik) {
        QTemporaryFile tijdelijk(QDir::tempPath() + QStringLiteral("/AUXXXXXX.tmp"));
        if (!tijdelijk.open())
            throw KorvexError(
                QStringLiteral("Kan geen tijdelijk bestand aanmaken in \"%1\": %2")
                    .arg(QDir::toNativeSeparators(QDir::tempPath()), tijdelijk.errorString()));
        http.setUrl(url);
        http.setReceiver(&tijdelijk);
        const auto ontkoppelen = qScopeGuard([&http] { http.setReceiver(nullptr); });
        const auto faal = [&](int status, const QString& reden) {
            notify->leegMemo();
            notify->voegRegelToe(QStringLiteral("Mislukt: %1 %2").arg(status).arg(reden));
            ophalen = false;
            if (mislukt) *mislukt = QStringLiteral("%1 %2").arg(status).arg(reden);
        };
        try {
            http.get();
            // The client lets 3xx, 401 and 407 through; none of them brings
            // the manifest.
            const int status = http.statusCode();
            if (mislukt && (status < 200 || status > 299)) faal(status, http.reasonPhrase());
        } catch (const net::HttpFailure& fout) {
            faal(fout.status(), fout.reason());
        }
        if (ophalen && tijdelijk.flush()) gebruik(tijdelijk);
    };

    if (!UpdateFileURL.isEmpty()) {
        haal(UpdateFileURL, &manifestMislukt, [&](QTemporaryFile& bestand) {
            bestand.seek(0);
            const Profielbestand manifest(bestand.read(kMaximaleManifestGrootte));
            const auto lees = [&](const char* sleutel) {
                return manifest.waarde(ManifestSectie, QString::fromLatin1(sleutel));
            };
            record.DownloadFileURL = lees("DownloadFileURL");
            record.ReadmeFileURL = lees("ReadmeFileURL");
            record.UpdatePageURL = lees("UpdatePageURL");
            record.Version = lees("Version");
            record.SQLVersion = lees("SQLVersion");
            record.CRC32Hash = lees("CRC32Hash");
            record.MD5Hash = lees("MD5Hash");
            record.SHA1Hash = lees("SHA1Hash");
            record.EdSignature = lees("EdSignature");
        });
        // Also after a failed fetch: the question then offers the maker's site.
        if (record.UpdatePageURL.isEmpty()) record.UpdatePageURL = UpdatePageURL;
    }
    if (!record.ReadmeFileURL.isEmpty())
        haal(record.ReadmeFileURL, nullptr,
             [&](QTemporaryFile& bestand) { notify->laadMemo(bestand.fileName()); });
    notify->DownloadButton->setEnabled(!record.DownloadFileURL.isEmpty());

    // Without the manifest nothing is known about a newer version.
    if (!manifestMislukt.isEmpty()) {
        const QString mislukt =
            QStringLiteral("De controle op een nieuwe versie is mislukt: %1.").arg(manifestMislukt);
        if (record.UpdatePageURL.isEmpty()) {
            platform_.messageDialog(mislukt, DialogKind::Error, BtnOK);
        } else if (platform_.messageDialog(
                       mislukt + QStringLiteral("\rWenst u de website te openen?"),
                       DialogKind::Confirmation, BtnYes | BtnNo) == DialogResult::Yes) {
            OpenWebpagina(platform_, record.UpdatePageURL);
        }
        return;
    }

    if (Kleiner(Version, record.Version)) {
        if (Kleiner(SQLVersion, record.SQLVersion)) {
            SystemBoxRequest box;
            box.caption = QStringLiteral("SQL scripts controle is mislukt");
            box.text = QStringLiteral(
                           "U kunt de beschikbare update momenteel niet installeren.\r\n\r\n"
                           "Zelvo Korvex  beschikt niet over de juiste database versie en u moet "
                           "vooraf de SQL scripts uitvoeren.\r\n\r\n"
                           "Noodzakelijke versie SQL scripts: ") +
                       record.SQLVersion;
            box.buttons = BtnOK;
            box.icon = SystemIcon::Warning;
            box.defaultButton = BtnOK;
            box.withOwner = false;
            box.topmost = true;
            platform_.systemMessageBox(box);
        } else {
            notify->exec();
        }
        return;
    }
    const QString geen = QStringLiteral("Er is geen nieuwe versie beschikbaar.");
    if (!record.Version.isEmpty() || record.UpdatePageURL.isEmpty()) {
        platform_.messageDialog(geen, DialogKind::Information, BtnOK);
    } else if (platform_.messageDialog(geen + QStringLiteral("\rWenst u de website te openen?"),
                                       DialogKind::Confirmation,
                                       BtnYes | BtnNo) == DialogResult::Yes) {
        OpenWebpagina(platform_, record.UpdatePageURL);
    }
}

}  // namespace korvex
