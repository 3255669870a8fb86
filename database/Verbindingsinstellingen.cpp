#include "database/Verbindingsinstellingen.h"

#include "platform/Tekst.h"

namespace korvex {

QString Verbindingsinstellingen::bedrijfsDatabaseNaam(const QString& vkmId) {
    return QStringLiteral("KORVEX_") + Tekst::trimmed(vkmId);
}

bool Verbindingsinstellingen::geldigeVkmId(const QString& vkmId) {
    const QString id = Tekst::trimmed(vkmId);
    if (id.isEmpty()) return false;
    for (QChar c : id) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'a' && u <= u'z') || u == u'_';
        if (!ok) return false;
    }
    return true;
}

}  // namespace korvex
