#pragma once

#include <QObject>
#include <QString>

#include "update/UpdateTypen.h"

namespace korvex {

namespace net {
class HttpClient;
}

// The update check without a window: fetches the maker's manifest and the
// release notes through the client it is lent (the notification window's)
// and decides what the operator is told. It asks nothing itself; the
// release notes and a failed fetch are reported by signals as they come.
class UpdateControle : public QObject {
    Q_OBJECT
  public:
    enum class Uitkomst {
        ManifestMislukt,   // nothing is known about a newer version
        ScriptsTeOud,      // a newer version that needs newer database scripts
        NieuweVersie,      // a newer version that may be installed
        GeenNieuweVersie,  // the manifest names no newer version
    };

    // What the check compares with: the component's settings.
    struct Vraag {
        QString UpdateFileURL;
        QString UpdatePageURL;  // the maker's site when the manifest names none
        QString ManifestSectie;
        QString Version;
        QString SQLVersion;
    };

    struct Resultaat {
        Uitkomst uitkomst = Uitkomst::GeenNieuweVersie;
        TManifestRecord record;
        QString mislukt;  // code and reason when the manifest could not be had
    };

    explicit UpdateControle(net::HttpClient& http, QObject* parent = nullptr);

    // Fetches and decides; each fetch goes through a temporary "AU" file
    // that is gone again when this returns. Throws KorvexError when no
    // temporary file can be made.
    Resultaat Controleer(const Vraag& vraag);

    // a < b by UTF-16 code units, the shorter first when one begins the other.
    static bool Kleiner(const QString& a, const QString& b);

    // Only this much of a manifest is read; the section is near its top.
    static constexpr qint64 kMaximaleManifestGrootte = 64 * 1024 * 1024;

  Q_SIGNALS:
    // A fetch failed with this code and reason; nothing more is fetched.
    void ophalenMislukt(const QString& codeEnReden);
    // The release notes arrived in this file, which is removed afterwards.
    void leesmijOntvangen(const QString& pad);

  private:
    template <typename Gebruik>
    void haal(const QString& url, QString* mislukt, const Gebruik& gebruik);
    void leesManifest(const QByteArray& inhoud, const QString& sectie, TManifestRecord& record);

    net::HttpClient& http_;
    bool ophalen_ = true;
};

}  // namespace korvex
