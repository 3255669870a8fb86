#include "database/admin/Databasebeheer.h"

#include "database/Bedrijfsgegevens.h"
#include "database/Verbindingsinstellingen.h"
#include "platform/KorvexError.h"
#include "platform/Tekst.h"

namespace korvex::admin {

namespace {

Uitkomst gedaan(const QString& tekst) {
    return {Uitkomst::Soort::Gedaan, tekst, false};
}

Uitkomst waarschuwing(const QString& tekst, bool foutGeluid = false) {
    return {Uitkomst::Soort::Waarschuwing, tekst, foutGeluid};
}

}  // namespace

Databasebeheer::Databasebeheer(db::Connection& ADO, db::Connection& ADO2, db::Command& ADOCommand,
                               db::Query& ADOBDR, Platform& platform)
    : ADO_(ADO), ADO2_(ADO2), ADOCommand_(ADOCommand), ADOBDR_(ADOBDR), platform_(platform) {
    ADOBDR_.sql = Tekst::sqlBatch(Bedrijfsgegevens::queryRegels());
    ADOBDR_.fields = Bedrijfsgegevens::velden();
}

Uitkomst Databasebeheer::invoerGetest(const QString& vkmId, const QString& locatie,
                                      bool foutGeluid) {
    // The name goes unquoted into CREATE, DROP, EXEC and USE: only an
    // identifier of letters, digits and "_" is let through.
    if (!Verbindingsinstellingen::geldigeVkmId(vkmId))
        return waarschuwing(QStringLiteral("Voer een geldige VKM ID in en probeer opnieuw"),
                            foutGeluid);
    if (Tekst::trimmed(locatie).isEmpty() || !Tekst::veiligVoorSql(locatie))
        return waarschuwing(QStringLiteral("Voer een locatie database in en probeer opnieuw"),
                            foutGeluid);
    return gedaan(QString());
}

Uitkomst Databasebeheer::Levenscyclus(admin::Levenscyclus opdracht,
                                      const std::function<void()>& kiesMaster,
                                      const std::function<Invoer()>& lees, const Vraag& vraag) {
    const LevenscyclusSoort& s = soort(opdracht);
    if (s.herstel) {
        if (ADO_.isOpen()) ADO_.close();
        if (ADO2_.isOpen()) ADO2_.close();
        // Lets the status bar show the close before the server is asked again.
        platform_.processPendingEvents();
        if (kiesMaster) kiesMaster();
    }
    const Invoer getypt = lees();
    const Uitkomst invoer = invoerGetest(getypt.vkmId, getypt.locatie, s.foutGeluid);
    if (invoer.soort == Uitkomst::Soort::Waarschuwing) return invoer;
    if (!ADO_.isOpen()) ADO_.open();
    const QString naam = Verbindingsinstellingen::bedrijfsDatabaseNaam(getypt.vkmId);
    const QStringList regels = batchRegels(opdracht, naam, getypt.locatie);
    if (!vraag(s.vraag)) return {};
    ADOCommand_.commandText = Tekst::sqlBatch(regels);
    ADOCommand_.execute();
    return gedaan(QStringLiteral("De database ") + naam + s.succesEinde);
}

Uitkomst Databasebeheer::TypeProfiel(admin::TypeProfiel profiel, const Vraag& vraag) {
    const QStringList regels = profielRegels(profiel);
    if (!vraag(profielVraag(profiel))) return {};
    ADOCommand_.commandText = Tekst::sqlBatch(regels);
    ADOCommand_.execute();
    return gedaan(profielSucces(profiel));
}

Bedrijfsrapport Databasebeheer::Rapport() {
    if (!ADO2_.isOpen()) ADO2_.open();
    if (!ADOBDR_.isOpen()) ADOBDR_.open();
    Bedrijfsrapport rapport;
    rapport.pincode = ADOBDR_.fieldText(QStringLiteral("bdr_pincode"));
    rapport.regels = Bedrijfsgegevens::rapport(ADOBDR_.fieldText(QStringLiteral("por_inlogcode")),
                                               ADOBDR_.fieldText(QStringLiteral("por_paswoord")),
                                               rapport.pincode,
                                               ADOBDR_.fieldText(QStringLiteral("bdr_btwnummer")));
    ADOBDR_.close();
    return rapport;
}

Uitkomst Databasebeheer::BtwNummer(const QString& vkmId, const QString& locatie,
                                   const QString& btwNummer, const Vraag& vraag) {
    const Uitkomst invoer = invoerGetest(vkmId, locatie, false);
    if (invoer.soort == Uitkomst::Soort::Waarschuwing) return invoer;
    // The number goes into the batch's text, which the driver would cut short.
    if (!Tekst::veiligVoorSql(btwNummer))
        return waarschuwing(QStringLiteral("Voer een geldig BTW nummer in en probeer opnieuw"));
    if (!ADO_.isOpen()) ADO_.open();
    if (!vraag(QStringLiteral("Wenst u het BTW nummer te wijzigen in de database?"))) return {};
    try {
        ADOCommand_.commandText = Tekst::sqlBatch(Bedrijfsgegevens::btwRegels(
            Verbindingsinstellingen::bedrijfsDatabaseNaam(vkmId), btwNummer));
        ADOCommand_.execute();
    } catch (const std::exception& fout) {
        return {Uitkomst::Soort::Geweigerd, foutTekst(fout), false};
    }
    return gedaan(QStringLiteral("Het BTW nummer werd met succes gewijzigd."));
}

}  // namespace korvex::admin
