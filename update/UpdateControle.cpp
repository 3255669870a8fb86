#include "update/UpdateControle.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryFile>

#include "net/HttpClient.h"
#include "platform/KorvexError.h"
#include "update/Profielbestand.h"

namespace korvex {

UpdateControle::UpdateControle(net::HttpClient& http, QObject* parent)
    : QObject(parent), http_(http) {}

bool UpdateControle::Kleiner(const QString& a, const QString& b) {
    // Code unit by code unit, with no numeric reading of version parts.
    return QStringView(a).compare(QStringView(b), Qt::CaseSensitive) < 0;
}

// Fetches the URL into a fresh temporary file, which goes on every path.
// With `mislukt` only a 2xx reply counts.
template <typename Gebruik>
void UpdateControle::haal(const QString& url, QString* mislukt, const Gebruik& gebruik) {
    QTemporaryFile tijdelijk(QDir::tempPath() + QStringLiteral("/AUXXXXXX.tmp"));
    if (!tijdelijk.open())
        throw KorvexError(QStringLiteral("Kan geen tijdelijk bestand aanmaken in \"%1\": %2")
                              .arg(QDir::toNativeSeparators(QDir::tempPath()),
                                   tijdelijk.errorString()));
    http_.setUrl(url);
    http_.setReceiver(&tijdelijk);
    const auto ontkoppelen = qScopeGuard([this] { http_.setReceiver(nullptr); });
    const auto faal = [&](int status, const QString& reden) {
        const QString codeEnReden = QStringLiteral("%1 %2").arg(status).arg(reden);
        ophalen_ = false;
        if (mislukt) *mislukt = codeEnReden;
        Q_EMIT ophalenMislukt(codeEnReden);
    };
    try {
        http_.get();
        // The client lets 3xx, 401 and 407 through; none of them brings
        // the manifest.
        const int status = http_.statusCode();
        if (mislukt && (status < 200 || status > 299)) faal(status, http_.reasonPhrase());
    } catch (const net::HttpFailure& fout) {
        faal(fout.status(), fout.reason());
    }
    if (ophalen_ && tijdelijk.flush()) gebruik(tijdelijk);
}

void UpdateControle::leesManifest(const QByteArray& inhoud, const QString& sectie,
                                  TManifestRecord& record) {
    const Profielbestand manifest(inhoud);
    const auto lees = [&](const char* sleutel) {
        return manifest.waarde(sectie, QString::fromLatin1(sleutel));
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
}

UpdateControle::Resultaat UpdateControle::Controleer(const Vraag& vraag) {
    ophalen_ = true;
    Resultaat uit;
    TManifestRecord& record = uit.record;
    if (!vraag.UpdateFileURL.isEmpty()) {
        haal(vraag.UpdateFileURL, &uit.mislukt, [&](QTemporaryFile& bestand) {
            bestand.seek(0);
            leesManifest(bestand.read(kMaximaleManifestGrootte), vraag.ManifestSectie, record);
        });
        // Also after a failed fetch: the question then offers the maker's site.
        if (record.UpdatePageURL.isEmpty()) record.UpdatePageURL = vraag.UpdatePageURL;
    }
    if (!record.ReadmeFileURL.isEmpty())
        haal(record.ReadmeFileURL, nullptr,
             [this](QTemporaryFile& bestand) { Q_EMIT leesmijOntvangen(bestand.fileName()); });

    if (!uit.mislukt.isEmpty())
        uit.uitkomst = Uitkomst::ManifestMislukt;
    else if (!Kleiner(vraag.Version, record.Version))
        uit.uitkomst = Uitkomst::GeenNieuweVersie;
    else if (Kleiner(vraag.SQLVersion, record.SQLVersion))
        uit.uitkomst = Uitkomst::ScriptsTeOud;
    else
        uit.uitkomst = Uitkomst::NieuweVersie;
    return uit;
}

}  // namespace korvex
