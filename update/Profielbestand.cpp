#include "update/Profielbestand.h"

#include "platform/AnsiCodec.h"

namespace korvex {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView zonderBlanks(QStringView tekst) {
    qsizetype begin = 0;
    qsizetype eind = tekst.size();
    while (begin < eind && isBlank(tekst[begin])) ++begin;
    while (eind > begin && isBlank(tekst[eind - 1])) --eind;
    return tekst.sliced(begin, eind - begin);
}

// Calls `regel` for every line (CR, LF or CR LF ends one) until it returns false.
template <typename F>
void elkeRegel(QStringView tekst, F&& regel) {
    qsizetype begin = 0;
    const qsizetype n = tekst.size();
    while (begin <= n) {
        qsizetype eind = begin;
        while (eind < n && tekst[eind] != u'\r' && tekst[eind] != u'\n') ++eind;
        if (!regel(tekst.sliced(begin, eind - begin))) return;
        if (eind >= n) return;
        begin = eind + ((tekst[eind] == u'\r' && eind + 1 < n && tekst[eind + 1] == u'\n') ? 2 : 1);
    }
}

}  // namespace

Profielbestand::Profielbestand(const QByteArray& inhoud)
    : tekst_(AnsiCodec::decodeWithBom(inhoud)) {}

QString Profielbestand::waarde(QStringView sectie, QStringView sleutel) const {
    enum class Stand { Zoeken, InSectie, Klaar } stand = Stand::Zoeken;
    QString gevonden;
    elkeRegel(tekst_, [&](QStringView ruw) {
        const QStringView regel = zonderBlanks(ruw);
        if (regel.startsWith(u'[')) {
            if (stand == Stand::InSectie) {
                // Only the first section of the name counts.
                stand = Stand::Klaar;
                return false;
            }
            const qsizetype sluit = regel.indexOf(u']');
            const QStringView naam =
                zonderBlanks(sluit < 0 ? regel.sliced(1) : regel.sliced(1, sluit - 1));
            if (naam.compare(sectie, Qt::CaseInsensitive) == 0) stand = Stand::InSectie;
            return true;
        }
        if (stand != Stand::InSectie) return true;
        const qsizetype is = regel.indexOf(u'=');
        if (is < 0) return true;
        if (zonderBlanks(regel.first(is)).compare(sleutel, Qt::CaseInsensitive) != 0) return true;
        QStringView w = zonderBlanks(regel.sliced(is + 1));
        if (w.size() >= 2 && (w.front() == u'"' || w.front() == u'\'') && w.back() == w.front())
            w = w.sliced(1, w.size() - 2);
        gevonden = w.first(qMin<qsizetype>(w.size(), MaximaleWaardeLengte)).toString();
        stand = Stand::Klaar;
        return false;
    });
    return gevonden;
}

}  // namespace korvex
