#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <memory>

#include "update/UpdateTypen.h"

namespace korvex {

class Platform;
class TLumoAppUpdateNotifyBox;

// The update check as the operator meets it: lends the notification
// window's client to UpdateControle, which fetches the maker's manifest and
// decides, and shows the outcome: a failure, the warning about older
// database scripts, the notification window (from which the download
// starts) or that there is nothing newer.
class TLumoAppUpdate : public QObject {
    Q_OBJECT
  public:
    explicit TLumoAppUpdate(Platform& platform, QObject* parent = nullptr);
    ~TLumoAppUpdate() override;

    TLumoAppUpdateFileSizeUnit FileSizeUnit = TLumoAppUpdateFileSizeUnit::Auto;
    const QFont& Font() const { return font_; }
    void setFont(const QFont& font) { font_ = font; }
    const QFont& FontReadme() const { return fontReadme_; }
    void setFontReadme(const QFont& font) { fontReadme_ = font; }
    THashType HashType = THashType::None;
    QString ProxyAddress;
    QString ProxyPort = QStringLiteral("80");
    QString UpdateFileURL;
    QString UpdatePageURL;
    QString Version;
    QString SQLVersion;
    // The maker's Ed25519 public key in base64. When set, an installer is
    // handed to the updater only with the maker's signature over it; empty
    // checks no signature.
    QString SignatureKey;

    // The manifest section read: the executable's name cut before its
    // first "."; settable for a program under another name.
    QString ManifestSectie;
    void CheckForUpdate();
    // Whether a check is running; a second one does not start meanwhile.
    bool bezig() const { return bezig_; }

    // a < b by UTF-16 code units, the shorter first when one begins the other.
    static bool Kleiner(const QString& a, const QString& b);
    // The executable's file name without folder, cut before its first ".".
    static QString SectieVanProgramma(const QString& programmaPad);

  private:
    // The notification window with the component's fonts and settings.
    std::unique_ptr<TLumoAppUpdateNotifyBox> maakVenster() const;
    void controleer();

    Platform& platform_;
    QFont font_;
    QFont fontReadme_;
    bool bezig_ = false;
};

}  // namespace korvex
