#include "database/admin/Levenscyclus.h"

#include "platform/Tekst.h"

namespace korvex::admin {

const LevenscyclusSoort& soort(Levenscyclus opdracht) {
    static const LevenscyclusSoort aanmaken{
        false, true, true, QStringLiteral("Een nieuwe database aanmaken op de gekozen locatie?"),
        QStringLiteral(" werd met succes aangemaakt")};
    static const LevenscyclusSoort koppelen{
        true, false, false, QStringLiteral("De database koppelen met de gekozen locatie?"),
        QStringLiteral(" werd met succes gekoppeld")};
    static const LevenscyclusSoort verwijderen{
        true, false, false, QStringLiteral("De database verwijderen op de gekozen locatie?"),
        QStringLiteral(" werd met succes verwijderd")};
    static const LevenscyclusSoort ontkoppelen{
        true, false, false, QStringLiteral("De database ontkoppelen van deze locatie?"),
        QStringLiteral(" werd met succes ontkoppeld")};
    switch (opdracht) {
        case Levenscyclus::Aanmaken:
            return aanmaken;
        case Levenscyclus::Koppelen:
            return koppelen;
        case Levenscyclus::Verwijderen:
            return verwijderen;
        case Levenscyclus::Ontkoppelen:
            break;
    }
    return ontkoppelen;
}

QStringList batchRegels(Levenscyclus opdracht, const QString& naam, const QString& locatie) {
    const QString plaats = Tekst::sqlLiteralBody(locatie);
    const QString data = plaats + u'\\' + naam + QStringLiteral(".mdf");
    const QString log = plaats + u'\\' + naam + QStringLiteral("_log.ldf");
    const QString useMaster = QStringLiteral("USE master");
    const QString scheiding = QStringLiteral(";");
    switch (opdracht) {
        case Levenscyclus::Aanmaken:
            return {useMaster,
                    scheiding,
                    QStringLiteral("CREATE DATABASE ") + naam + u' ',
                    QStringLiteral("ON"),
                    QStringLiteral("( NAME = ") + naam + QStringLiteral("_dat,"),
                    QStringLiteral("FILENAME = '") + data + QStringLiteral("') "),
                    QStringLiteral("LOG ON"),
                    QStringLiteral("(NAME = '") + naam + QStringLiteral("_log',"),
                    QStringLiteral("FILENAME = '") + log + QStringLiteral("')"),
                    scheiding};
        case Levenscyclus::Koppelen:
            return {useMaster,
                    scheiding,
                    QStringLiteral("EXEC sp_attach_db @dbname = '") + naam + QStringLiteral("',"),
                    QStringLiteral("@filename1 = '") + data + QStringLiteral("',"),
                    QStringLiteral("@filename2 = '") + log + u'\'',
                    scheiding};
        case Levenscyclus::Verwijderen:
            return {useMaster, scheiding, QStringLiteral("DROP DATABASE ") + naam + u' ',
                    scheiding};
        case Levenscyclus::Ontkoppelen:
            break;
    }
    return {useMaster, scheiding,
            QStringLiteral("EXEC sp_detach_db '") + naam + QStringLiteral("','false'"), scheiding};
}

}  // namespace korvex::admin
