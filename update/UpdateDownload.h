#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "update/UpdateTypen.h"

class QFile;

namespace korvex {

class Platform;

namespace net {
class HttpClient;
}

// The download of the installer without a window: fetches it through the
// client it is lent (the download window's) into TempDownloads, checks its
// digest and the maker's signature, and hands it to the updater. It asks
// nothing itself; how far it got is reported by signals, for the download
// window to show, and the end by the outcome it returns.
class UpdateDownload : public QObject {
    Q_OBJECT
  public:
    enum class Uitkomst {
        OngeldigeNaam,    // the URL names no file that may be made; nothing was asked
        GrootteOnbekend,  // the server announced no size; nothing was fetched
        Mislukt,          // the transfer failed with `mislukt`
        Afgebroken,       // the operator cancelled it, and was told so at the time
        Beschadigd,       // the digest or the maker's signature does not hold
        Gecontroleerd,    // the installer at `doel` passed; Overdragen hands it on
    };

    struct Opdracht {
        TManifestRecord record;
        THashType HashType = THashType::None;
        QString SignatureKey;  // empty checks no signature
        QString proxy;
        QString proxyPort = QStringLiteral("80");
    };

    struct Resultaat {
        Uitkomst uitkomst = Uitkomst::Mislukt;
        QString naam;     // the file name taken from the URL
        QString mislukt;  // code and reason of a failed transfer
        QString doel;     // the installer in TempDownloads, only while it is kept
    };

    UpdateDownload(net::HttpClient& http, Platform& platform, QObject* parent = nullptr);

    // Runs to its end in the event loop of the client's requests. Except
    // for Gecontroleerd no file stays behind. Throws KorvexError when
    // TempDownloads is missing or the target is not a regular file (before
    // any request), or when the file cannot be written (the file removed).
    Resultaat Download(const Opdracht& opdracht);

    // Starts the updater with the checked installer's full path between
    // apostrophes and ends the program. When the updater cannot be started
    // the installer stays and the reason comes back.
    std::optional<QString> Overdragen(const QString& doel);

    // Stops a running transfer; Download then ends as Afgebroken.
    void Afbreken();

    // Everything after the last "/" (the whole text without one).
    static QString BestandsnaamUitURL(const QString& url);
    // The size the server announces for the client's URL by a HEAD request;
    // 0 when it cannot be learned.
    static int GrootteOpServer(net::HttpClient& client);

  Q_SIGNALS:
    void statusTekst(const QString& tekst);
    void bestandGekozen(const QString& naam);
    // The size is known and the transfer begins.
    void overdrachtBegint(qint64 maximum);
    // The file's size once the transfer has ended.
    void overdracht(qint64 ontvangen);
    // The transfer is over, failed with `mislukt` unless that is empty.
    void overdrachtGestopt(const QString& mislukt);

  private:
    QString doelVoor(const QString& naam) const;
    void haalBinnen(QFile& bestand, qint64 maximum, Resultaat& uit);
    bool klopt(const Opdracht& opdracht, const QString& pad) const;

    net::HttpClient& http_;
    Platform& platform_;
    bool afgebroken_ = false;
};

}  // namespace korvex
