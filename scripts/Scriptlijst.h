#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace korvex::scripts {

// What the script server's listing offers: the names of scripts newer than
// the database that are not yet in the local folder.
class Scriptlijst {
  public:
    // The entry names of a detailed listing that pass the filter, in listing
    // order. `overslaan` tells which names are already present locally (or
    // must not be offered again for another reason). Signature files are
    // never offered; with `handtekeningNodig` a script is offered only when
    // its signature file is in the same listing.
    static QStringList Filter(const QStringList& regels, const QString& versieSleutel,
                              const std::function<bool(const QString&)>& overslaan,
                              bool handtekeningNodig = false);

    // The entry name of one listing line: the text after its last blank.
    static QString EntryNaam(const QString& regel);

    // A name from the server is only ever used as one file inside the local
    // folder, on either system, and can go into a SQL text.
    static bool VeiligeNaam(const QString& naam);

    // The name without its extension (from its last "." on).
    static QString ZonderExtensie(const QString& naam);

    // Case-insensitive alphabetical order, ties broken by character codes so
    // the order never depends on what the server listed first.
    static void Sorteer(QStringList& namen);
};

}  // namespace korvex::scripts
