#include "update/Webpagina.h"

#include <QUrl>

#include "platform/Platform.h"

namespace korvex {

void OpenWebpagina(Platform& platform, const QString& url) {
    const QUrl pagina = QUrl::fromUserInput(url);
    const QString schema = pagina.scheme();
    if (pagina.isValid() && (schema.compare(u"http", Qt::CaseInsensitive) == 0 ||
                             schema.compare(u"https", Qt::CaseInsensitive) == 0)) {
        // The completed URL, so the shell opens what was checked.
        platform.shellOpen(pagina.toString());
        return;
    }
    platform.messageDialog(QStringLiteral("Deze pagina wordt niet geopend: \"%1\"").arg(url),
                           DialogKind::Warning, BtnOK);
}

}  // namespace korvex
