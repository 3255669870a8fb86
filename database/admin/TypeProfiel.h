#pragma once

#include <QString>
#include <QStringList>

namespace korvex::admin {

// The company type profiles: taxi prices include VAT, courier prices do not.
enum class TypeProfiel { Taxi, Koerier };

// Twelve statements: each of the six computed price columns is dropped and
// added again with the profile's formula.
QStringList profielRegels(TypeProfiel profiel);

QString profielVraag(TypeProfiel profiel);
QString profielSucces(TypeProfiel profiel);

}  // namespace korvex::admin
