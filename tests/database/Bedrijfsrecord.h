#pragma once

#include <QVariantList>
#include <vector>

#include "tests/support/TdsPeer.h"

namespace korvex::test {

// The company record's columns as the product's database has them. Written
// out here rather than taken from the program's own field list, so that a
// wrong name or kind there shows up as a failure instead of being mirrored.
inline std::vector<TdsColumn> bedrijfskolommen() {
    using T = TdsType;
    std::vector<TdsColumn> k{
        {"bdr_id", T::Int},
        {"bdr_bedrijfsnaam", T::VarChar, 50},
        {"bdr_straat", T::VarChar, 50},
        {"bdr_huisnummer", T::VarChar, 10},
        {"bdr_stad", T::VarChar, 50},
        {"bdr_postcode", T::VarChar, 10},
        {"bdr_btwnummer", T::VarChar, 20},
        {"bdr_email", T::VarChar, 150},
        {"bdr_telefoon", T::VarChar, 50},
        {"bdr_actief", T::Int},
        {"bdr_vkmid", T::VarChar, 10},
        {"bdr_postmaster", T::VarChar, 150},
        {"bdr_temp", T::VarChar, 40},
        {"bdr_start", T::DateTime},
        {"bdr_verval", T::DateTime},
        {"bdr_demo", T::Int},
        {"bdr_xmltag", T::Int},
        {"bdr_bankrelatie", T::VarChar, 50},
        {"bdr_kvk", T::VarChar, 50},
        {"bdr_vervaldagen", T::Int},
        {"bdr_factuurmail", T::Int},
        {"bdr_logo", T::VarChar, 254},
        {"bdr_pincode", T::VarChar, 55},
        {"bdr_bank_incas", T::VarChar, 10},
        {"bdr_bank_houder", T::VarChar, 35},
        {"bdr_basis", T::Int},
        {"bdr_vektis", T::Int},
        {"bdr_clieop", T::Int},
        {"bdr_school", T::Int},
        {"bdr_datacom", T::Int},
        {"bdr_extra", T::Int},
        {"bdr_online_rit", T::Int},
        {"bdr_sms", T::Int},
        {"bdr_teller", T::Int},
        {"bdr_factuur_layout", T::VarChar, 254},
        {"bdr_order_layout", T::VarChar, 254},
        {"por_id", T::Int},
        {"por_inlogcode", T::VarChar, 20},
        {"por_paswoord", T::VarChar, 10},
        {"por_groep", T::Int},
        {"por_leerling", T::Int},
        {"por_bedrijf", T::Int},
        {"por_opdrachtgever", T::Int},
        {"por_email", T::VarChar, 150},
        {"por_actief", T::Int},
        {"por_naam", T::VarChar, 50},
    };
    for (const char* naam :
         {"por_chauffeur",      "por_xmltag",        "por_ritaanvraag",   "por_rittenscherm",
          "por_uurroosters",    "por_stambestanden", "por_tabellen",      "por_tijdsverantwoording",
          "por_ritstaten",      "por_facturatie",    "por_declaraties",   "por_webservices",
          "por_beheersoftware", "por_parameters",    "por_noteerritten",  "por_incasso",
          "por_exporteren",     "por_macros",        "por_groepsvervoer", "por_koppelingen"})
        k.push_back({naam, T::Int});
    return k;
}

// The company record as the product's database returns it.
inline TdsReply bedrijfsrij(bool metRij, const QString& zonderKolom = {}) {
    std::vector<TdsColumn> kolommen;
    QVariantList rij;
    for (const TdsColumn& kolom : bedrijfskolommen()) {
        if (kolom.name == zonderKolom) continue;
        kolommen.push_back(kolom);
        if (kolom.name == "por_inlogcode")
            rij << "beheerder";
        else if (kolom.name == "por_paswoord")
            rij << "w8woord";
        else if (kolom.name == "bdr_pincode")
            rij << "4711";
        else if (kolom.name == "bdr_btwnummer")
            rij << "NL001";
        else if (kolom.type == TdsType::DateTime)
            rij << QVariant();
        else if (kolom.type == TdsType::VarChar)
            rij << "x";
        else
            rij << 1;
    }
    std::vector<TdsRow> rijen;
    if (metRij) rijen.push_back(rij);
    return TdsReply().resultSet(kolommen, rijen);
}

}  // namespace korvex::test
