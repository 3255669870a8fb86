#include "database/admin/TypeProfiel.h"

namespace korvex::admin {

namespace {

struct Kolom {
    const char* tabel;
    const char* kolom;
    const char* taxi;
    const char* koerier;
};

// In the order in which they are switched.
constexpr Kolom kolommen[] = {
    {"Opdrachtregels", "reg_totaal", "([reg_eenheidsprijs]*[reg_aantal])",
     "(([reg_eenheidsprijs]/100)*(100+[reg_btw_perc]))"},
    {"Opdrachtregels", "reg_btw",
     "([reg_eenheidsprijs]*[reg_aantal]-([reg_eenheidsprijs]*[reg_aantal])/((1)+[reg_btw_perc]/"
     "(100)))",
     "(([reg_eenheidsprijs]/100)*([reg_btw_perc]))"},
    {"Opdrachtregels", "reg_netto",
     "(([reg_eenheidsprijs]*[reg_aantal])/((1)+[reg_btw_perc]/(100)))",
     "([reg_eenheidsprijs]*[reg_aantal])"},
    {"Planning", "pla_totaal", "([pla_bedrag])", "(([pla_bedrag]/100)*(100+[pla_btw_perc]))"},
    {"Planning", "pla_btw", "([pla_bedrag]-[pla_bedrag]/((1)+[pla_btw_perc]/(100)))",
     "(([pla_bedrag]/100)*([pla_btw_perc]))"},
    {"Planning", "pla_netto", "([pla_bedrag]/((1)+[pla_btw_perc]/(100)))", "([pla_bedrag])"},
};

}  // namespace

QStringList profielRegels(TypeProfiel profiel) {
    QStringList regels;
    for (const Kolom& k : kolommen) {
        const QString tabel = QString::fromLatin1(k.tabel);
        const QString kolom = QString::fromLatin1(k.kolom);
        const QString formule =
            QString::fromLatin1(profiel == TypeProfiel::Taxi ? k.taxi : k.koerier);
        regels << QStringLiteral("Alter Table ") + tabel + QStringLiteral(" Drop Column ") + kolom +
                      u';';
        regels << QStringLiteral("Alter Table ") + tabel + QStringLiteral(" Add ") + kolom +
                      QStringLiteral(" As ") + formule + u';';
    }
    return regels;
}

QString profielVraag(TypeProfiel profiel) {
    return profiel == TypeProfiel::Taxi
               ? QStringLiteral("Instellingen database aanpassen naar taxibedrijf?")
               : QStringLiteral("Instellingen database aanpassen naar koerierbedrijf?");
}

QString profielSucces(TypeProfiel profiel) {
    return profiel == TypeProfiel::Taxi
               ? QStringLiteral("Database met succes aangepast naar taxibedrijf")
               : QStringLiteral("Database werd met succes aangepast naar koerierbedrijf");
}

}  // namespace korvex::admin
