#include "scripts/Scriptlijst.h"

#include <QSet>
#include <algorithm>

#include "platform/Bestand.h"
#include "platform/Tekst.h"
#include "scripts/ScriptHandtekening.h"

namespace korvex::scripts {

QString Scriptlijst::EntryNaam(const QString& regel) {
    const qsizetype blanco = regel.lastIndexOf(u' ');
    return blanco < 0 ? regel : regel.mid(blanco + 1);
}

bool Scriptlijst::VeiligeNaam(const QString& naam) {
    return Bestand::IsVeiligeNaam(naam) && Tekst::veiligVoorSql(naam);
}

QString Scriptlijst::ZonderExtensie(const QString& naam) {
    const qsizetype punt = naam.lastIndexOf(u'.');
    return punt < 0 ? naam : naam.left(punt);
}

QStringList Scriptlijst::Filter(const QStringList& regels, const QString& versieSleutel,
                                const std::function<bool(const QString&)>& overslaan,
                                bool handtekeningNodig) {
    QSet<QString> gelijst;
    if (handtekeningNodig)
        for (const QString& regel : regels) gelijst.insert(EntryNaam(regel));
    QStringList namen;
    for (qsizetype i = 0; i < regels.size(); ++i) {
        // The summary line of a detailed listing comes first, if at all.
        if (i == 0 && regels[i].contains(QStringLiteral("total"))) continue;
        const QString naam = EntryNaam(regels[i]);
        if (!VeiligeNaam(naam) || ScriptHandtekening::IsHandtekeningNaam(naam)) continue;
        if (handtekeningNodig && !gelijst.contains(ScriptHandtekening::Naam(naam))) continue;
        if (overslaan && overslaan(naam)) continue;
        // Ordinal, case-sensitive: versions compare by character codes.
        if (QString::compare(ZonderExtensie(naam), versieSleutel, Qt::CaseSensitive) <= 0) continue;
        namen.append(naam);
    }
    return namen;
}

void Scriptlijst::Sorteer(QStringList& namen) {
    std::sort(namen.begin(), namen.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
}

}  // namespace korvex::scripts
