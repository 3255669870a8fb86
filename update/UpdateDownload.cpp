#include "update/UpdateDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <exception>

#include "Deployment.h"
#include "net/HttpClient.h"
#include "platform/Bestand.h"
#include "platform/KorvexError.h"
#include "platform/Platform.h"
#include "update/Controlegetal.h"
#include "update/Handtekening.h"

namespace korvex {

namespace {

// A name from the server's URL becomes a file in TempDownloads only when it
// cannot mean anything else, and holds no apostrophe (the updater gets the
// path between apostrophes).
bool veiligeBestandsnaam(const QString& naam) {
    return Bestand::IsVeiligeNaam(naam) && !naam.contains(u'\'');
}

}  // namespace

UpdateDownload::UpdateDownload(net::HttpClient& http, Platform& platform, QObject* parent)
    : QObject(parent), http_(http), platform_(platform) {}

QString UpdateDownload::BestandsnaamUitURL(const QString& url) {
    return url.mid(url.lastIndexOf(u'/') + 1);
}

int UpdateDownload::GrootteOpServer(net::HttpClient& client) {
    try {
        client.head();
    } catch (const std::exception&) {
        return 0;
    }
    const QLatin1String kop("content-length: ");
    for (const QString& regel : client.headerLines()) {
        if (!regel.startsWith(kop, Qt::CaseInsensitive)) continue;
        bool getal = false;
        const int grootte = regel.mid(kop.size()).toInt(&getal, 10);
        return getal ? grootte : 0;
    }
    return 0;
}

void UpdateDownload::Afbreken() {
    afgebroken_ = true;
    http_.abort();
    try {
        http_.close();
    } catch (const std::exception&) {
    }
}

QString UpdateDownload::doelVoor(const QString& naam) const {
    const QString map = platform_.programFolder() + QStringLiteral("TempDownloads");
    if (!QFileInfo(map).isDir())
        throw KorvexError(
            QStringLiteral("Kan het bestand \"%1\" niet openen om te schrijven: de map "
                           "\"%2\" bestaat niet.")
                .arg(naam, QDir::toNativeSeparators(map)));
    const QString doel = map + QDir::separator() + naam;
    // A link could lead the download out of TempDownloads.
    if (QFileInfo(doel).isSymLink())
        throw KorvexError(QStringLiteral("\"%1\" is geen gewoon bestand.").arg(doel));
    return doel;
}

UpdateDownload::Resultaat UpdateDownload::Download(const Opdracht& opdracht) {
    afgebroken_ = false;
    Resultaat uit;
    uit.naam = BestandsnaamUitURL(opdracht.record.DownloadFileURL);
    if (!veiligeBestandsnaam(uit.naam)) {
        uit.uitkomst = Uitkomst::OngeldigeNaam;
        return uit;
    }
    uit.doel = doelVoor(uit.naam);
    http_.setProxy(opdracht.proxy);
    http_.setProxyPort(opdracht.proxyPort);
    http_.setUrl(opdracht.record.DownloadFileURL);
    QFile bestand(uit.doel);
    Bestand::OpenOmTeSchrijven(bestand, uit.doel, false);
    http_.setReceiver(&bestand);
    const auto ontkoppelen = qScopeGuard([this] { http_.setReceiver(nullptr); });

    Q_EMIT bestandGekozen(uit.naam);
    Q_EMIT statusTekst(QStringLiteral("Zoek naar bestandsinformatie"));
    const int maximum = GrootteOpServer(http_);
    Q_EMIT statusTekst(opdracht.proxy.isEmpty()
                           ? QStringLiteral("Download bestand")
                           : QStringLiteral("Download bestand via proxy server (%1:%2)")
                                 .arg(opdracht.proxy, opdracht.proxyPort));
    if (maximum <= 0) {
        // Nothing to fetch: the empty file does not stay behind.
        uit.uitkomst = Uitkomst::GrootteOnbekend;
    } else {
        Q_EMIT overdrachtBegint(maximum);
        haalBinnen(bestand, maximum, uit);
        if (afgebroken_)
            uit.uitkomst = Uitkomst::Afgebroken;
        else if (!uit.mislukt.isEmpty())
            uit.uitkomst = Uitkomst::Mislukt;
        else if (!klopt(opdracht, uit.doel))
            uit.uitkomst = Uitkomst::Beschadigd;
        else
            uit.uitkomst = Uitkomst::Gecontroleerd;
    }
    // Gone before the operator reads why, so it cannot be started meanwhile.
    if (uit.uitkomst != Uitkomst::Gecontroleerd) {
        bestand.close();
        QFile::remove(uit.doel);
        uit.doel.clear();
    }
    return uit;
}

void UpdateDownload::haalBinnen(QFile& bestand, qint64 maximum, Resultaat& uit) {
    std::exception_ptr fout;
    try {
        http_.get();
        const qint64 s = bestand.size();
        Q_EMIT overdracht(s);
        // The client lets 401, 407, any other status below 400 and a
        // redirection too many through: only a whole 2xx body is the installer.
        if (http_.statusCode() < 200 || http_.statusCode() > 299 || s < maximum)
            uit.mislukt = QStringLiteral("%1 %2").arg(http_.statusCode()).arg(http_.reasonPhrase());
    } catch (const net::HttpFailure& weigering) {
        uit.mislukt = QStringLiteral("%1 %2").arg(weigering.status()).arg(weigering.reason());
    } catch (...) {
        // Not the request's own failure: the file is not trusted either.
        fout = std::current_exception();
    }
    Q_EMIT overdrachtGestopt(uit.mislukt);
    bestand.close();
    if (fout) {
        QFile::remove(uit.doel);
        std::rethrow_exception(fout);
    }
}

bool UpdateDownload::klopt(const Opdracht& opdracht, const QString& pad) const {
    const TManifestRecord& record = opdracht.record;
    if (opdracht.HashType != THashType::None) {
        const QString verwacht = opdracht.HashType == THashType::CRC32 ? record.CRC32Hash
                                 : opdracht.HashType == THashType::MD5 ? record.MD5Hash
                                                                       : record.SHA1Hash;
        const std::optional<QString> gevonden = Controlegetal(opdracht.HashType, pad);
        if (!gevonden || *gevonden != verwacht) return false;
    }
    // A digest from the same manifest as the URL proves nothing against
    // whoever can change the manifest; the maker's signature does.
    return opdracht.SignatureKey.isEmpty() ||
           HandtekeningKlopt(opdracht.SignatureKey, record.EdSignature, record.Version, pad);
}

std::optional<QString> UpdateDownload::Overdragen(const QString& doel) {
    const QString updater = platform_.programFolder() + QStringLiteral(KORVEX_UPDATER_FILE);
    const QString volledig = QDir::toNativeSeparators(QFileInfo(doel).absoluteFilePath());
    // Without the updater, ending would leave the operator with nothing
    // running; the checked installer stays for another try.
    if (platform_.shellStart(updater, u'\'' + volledig + u'\'')) {
        platform_.quitProgram();
        return std::nullopt;
    }
    return QFileInfo::exists(updater) ? QStringLiteral("het start niet")
                                      : QStringLiteral("het bestand ontbreekt");
}

}  // namespace korvex
