#include "database/Bedrijfsgegevens.h"

#include "platform/Tekst.h"

namespace korvex {

using db::FieldDef;
using db::FieldKind;

QStringList Bedrijfsgegevens::queryRegels() {
    return {QStringLiteral("select * from bedrijven"),
            QStringLiteral("INNER JOIN PORTAAL ON por_bedrijf=bdr_id"),
            QStringLiteral("and por_groep=500"), QStringLiteral("where bdr_id=1")};
}

QList<FieldDef> Bedrijfsgegevens::velden() {
    auto tekst = [](const char* naam, int lengte) {
        return FieldDef{QString::fromLatin1(naam), FieldKind::String, lengte, false};
    };
    auto geheel = [](const char* naam) {
        return FieldDef{QString::fromLatin1(naam), FieldKind::Integer, 0, false};
    };
    auto datum = [](const char* naam) {
        return FieldDef{QString::fromLatin1(naam), FieldKind::DateTime, 0, false};
    };
    auto alleenLezen = [](FieldDef veld) {
        veld.readOnly = true;
        return veld;
    };
    QList<FieldDef> v{
        alleenLezen({QStringLiteral("bdr_id"), FieldKind::AutoInc, 0, true}),
        tekst("bdr_bedrijfsnaam", 50),
        tekst("bdr_straat", 50),
        tekst("bdr_huisnummer", 10),
        tekst("bdr_stad", 50),
        tekst("bdr_postcode", 10),
        tekst("bdr_btwnummer", 20),
        tekst("bdr_email", 150),
        tekst("bdr_telefoon", 50),
        geheel("bdr_actief"),
        tekst("bdr_vkmid", 10),
        tekst("bdr_postmaster", 150),
        tekst("bdr_temp", 40),
        datum("bdr_start"),
        datum("bdr_verval"),
        geheel("bdr_demo"),
        alleenLezen(geheel("bdr_xmltag")),
        tekst("bdr_bankrelatie", 50),
        tekst("bdr_kvk", 50),
        geheel("bdr_vervaldagen"),
        geheel("bdr_factuurmail"),
        tekst("bdr_logo", 254),
        alleenLezen(tekst("bdr_pincode", 55)),
        tekst("bdr_bank_incas", 10),
        tekst("bdr_bank_houder", 35),
    };
    for (const char* naam : {"bdr_basis", "bdr_vektis", "bdr_clieop", "bdr_school", "bdr_datacom",
                             "bdr_extra", "bdr_online_rit", "bdr_sms", "bdr_teller"})
        v << geheel(naam);
    v << tekst("bdr_factuur_layout", 254) << tekst("bdr_order_layout", 254);

    v << FieldDef{QStringLiteral("por_id"), FieldKind::AutoInc, 0, true}
      << tekst("por_inlogcode", 20) << tekst("por_paswoord", 10) << geheel("por_groep")
      << geheel("por_leerling") << geheel("por_bedrijf") << geheel("por_opdrachtgever")
      << tekst("por_email", 150) << geheel("por_actief") << tekst("por_naam", 50);
    for (const char* naam :
         {"por_chauffeur",      "por_xmltag",        "por_ritaanvraag",   "por_rittenscherm",
          "por_uurroosters",    "por_stambestanden", "por_tabellen",      "por_tijdsverantwoording",
          "por_ritstaten",      "por_facturatie",    "por_declaraties",   "por_webservices",
          "por_beheersoftware", "por_parameters",    "por_noteerritten",  "por_incasso",
          "por_exporteren",     "por_macros",        "por_groepsvervoer", "por_koppelingen"})
        v << geheel(naam);
    return v;
}

QStringList Bedrijfsgegevens::btwRegels(const QString& bedrijfsDatabase, const QString& btwNummer) {
    return {QStringLiteral("USE ") + bedrijfsDatabase, QStringLiteral(";"),
            QStringLiteral("UPDATE dbo.Bedrijven set bdr_btwnummer='") +
                Tekst::sqlLiteralBody(btwNummer) + QStringLiteral("'where bdr_id=1")};
}

QStringList Bedrijfsgegevens::rapport(const QString& inlogcode, const QString& paswoord,
                                      const QString& pincode, const QString& btwNummer) {
    return {QStringLiteral("Zelvo Korvex administratie is actief met volgende gegevens"),
            QStringLiteral("noteer de gegevens goed voor later gebruik in de software"),
            QString(),
            QStringLiteral("Inlognaam: ") + inlogcode,
            QStringLiteral("Paswoord: ") + paswoord,
            QStringLiteral("Bedrijfsnummer: 1"),
            QStringLiteral("Pincode: ") + pincode,
            QStringLiteral("BTW nummer: ") + btwNummer};
}

}  // namespace korvex
