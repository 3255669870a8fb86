#pragma once

#include <QString>
#include <QStringList>

namespace korvex::admin {

// The four commands that create, attach, drop and detach the company
// database. They share one sequence of steps; what differs is below.
enum class Levenscyclus { Aanmaken, Koppelen, Verwijderen, Ontkoppelen };

struct LevenscyclusSoort {
    bool herstel;          // close both connections and select master first
    bool foutGeluid;       // the "ERROR" cue before a failed input test
    bool foutenInLogboek;  // failures go to the log memo instead of a dialog
    QString vraag;
    QString succesEinde;
};

const LevenscyclusSoort& soort(Levenscyclus opdracht);

// The batch's lines for the company database `naam` with its files in
// `locatie`. The location goes between apostrophes, so apostrophes in it are
// doubled; `naam` must be a valid company database name.
QStringList batchRegels(Levenscyclus opdracht, const QString& naam, const QString& locatie);

}  // namespace korvex::admin
