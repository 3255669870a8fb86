#include "update/LumoAppUpdate.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QToolButton>
#include <memory>

#include "platform/Platform.h"
#include "update/LumoAppUpdateNotify.h"
#include "update/UpdateControle.h"
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


// Without the manifest nothing is known about a newer version.
void meldMislukt(Platform& platform, const QString& codeEnReden, const QString& pagina) {
    const QString mislukt =
        QStringLiteral("De controle op een nieuwe versie is mislukt: %1.").arg(codeEnReden);
    if (pagina.isEmpty()) {
        platform.messageDialog(mislukt, DialogKind::Error, BtnOK);
    } else if (platform.messageDialog(mislukt + QStringLiteral("\rWenst u de website te openen?"),
                                      DialogKind::Confirmation,
                                      BtnYes | BtnNo) == DialogResult::Yes) {
        OpenWebpagina(platform, pagina);
    }
}

void meldScriptsTeOud(Platform& platform, const QString& sqlVersie) {
    SystemBoxRequest box;
    box.caption = QStringLiteral("SQL scripts controle is mislukt");
    box.text = QStringLiteral(
                   "U kunt de beschikbare update momenteel niet installeren.\r\n\r\n"
                   "Zelvo Korvex  beschikt niet over de juiste database versie en u moet "
                   "vooraf de SQL scripts uitvoeren.\r\n\r\n"
                   "Noodzakelijke versie SQL scripts: ") +
               sqlVersie;
    box.buttons = BtnOK;
    box.icon = SystemIcon::Warning;
    box.defaultButton = BtnOK;
    box.withOwner = false;
    box.topmost = true;
    platform.systemMessageBox(box);
}

void meldGeenNieuweVersie(Platform& platform, const TManifestRecord& record) {
    const QString geen = QStringLiteral("Er is geen nieuwe versie beschikbaar.");
    if (!record.Version.isEmpty() || record.UpdatePageURL.isEmpty()) {
        platform.messageDialog(geen, DialogKind::Information, BtnOK);
    } else if (platform.messageDialog(geen + QStringLiteral("\rWenst u de website te openen?"),
                                      DialogKind::Confirmation,
                                      BtnYes | BtnNo) == DialogResult::Yes) {
        OpenWebpagina(platform, record.UpdatePageURL);
    }
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
    return UpdateControle::Kleiner(a, b);
}

void TLumoAppUpdate::CheckForUpdate() {
    // The fetches wait in the event loop, where the button can be pressed
    // again; that press must not start a second check inside the first.
    if (bezig_) return;
    bezig_ = true;
    const auto klaar = qScopeGuard([this] { bezig_ = false; });
    controleer();
}

std::unique_ptr<TLumoAppUpdateNotifyBox> TLumoAppUpdate::maakVenster() const {
    auto notify = std::make_unique<TLumoAppUpdateNotifyBox>(platform_);
    notify->setFont(font_);
    infoKleur(notify.get(), QPalette::WindowText);
    notify->ReadmeMemo->setFont(fontReadme_);
    infoKleur(notify->ReadmeMemo, QPalette::Text);
    notify->HttpCli1->setProxy(ProxyAddress);
    notify->HttpCli1->setProxyPort(ProxyPort);
    notify->FileSizeUnit = FileSizeUnit;
    notify->HashType = HashType;
    notify->SignatureKey = SignatureKey;
    return notify;
}

void TLumoAppUpdate::controleer() {
    const auto notify = maakVenster();
    // The check fetches through the window's client and fills its memo.
    UpdateControle controle(*notify->HttpCli1);
    connect(&controle, &UpdateControle::ophalenMislukt, notify.get(),
            [venster = notify.get()](const QString& codeEnReden) {
                venster->leegMemo();
                venster->voegRegelToe(QStringLiteral("Mislukt: ") + codeEnReden);
            });
    connect(&controle, &UpdateControle::leesmijOntvangen, notify.get(),
            &TLumoAppUpdateNotifyBox::laadMemo);
    const UpdateControle::Resultaat uit =
        controle.Controleer({UpdateFileURL, UpdatePageURL, ManifestSectie, Version, SQLVersion});
    notify->record = uit.record;
    notify->DownloadButton->setEnabled(!uit.record.DownloadFileURL.isEmpty());
    switch (uit.uitkomst) {
        case UpdateControle::Uitkomst::ManifestMislukt:
            return meldMislukt(platform_, uit.mislukt, uit.record.UpdatePageURL);
        case UpdateControle::Uitkomst::ScriptsTeOud:
            return meldScriptsTeOud(platform_, uit.record.SQLVersion);
        case UpdateControle::Uitkomst::NieuweVersie:
            notify->exec();
            return;
        case UpdateControle::Uitkomst::GeenNieuweVersie:
            return meldGeenNieuweVersie(platform_, uit.record);
    }
}

}  // namespace korvex
