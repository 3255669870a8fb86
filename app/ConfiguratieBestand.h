#pragma once

#include <QString>
#include <QStringList>

namespace korvex {

// A connection configuration file: eight "key=value" lines, Windows-1252,
// CR LF after every line.
class ConfiguratieBestand {
  public:
    // The keys in the order of the file.
    static const QStringList& Sleutels();

    // A larger file is refused rather than read in part: eight values of the
    // longest a field holds fit many times over, and a huge file cannot
    // exhaust memory or time.
    static constexpr qint64 MaximaleLeesGrootte = 16 * 1024 * 1024;

    // Writes one line per key with the value of the same position (missing
    // values are empty), replacing an existing file only once the new one is
    // complete. Throws KorvexError "Cannot create file ...".
    static void Schrijven(const QString& pad, const QStringList& waarden);

    // The eight values in key order; a key without a line gives empty text.
    // Throws KorvexError "Cannot open file ..." also for a file that is not
    // a regular file, is larger than MaximaleLeesGrootte or holds a value
    // longer than a field takes.
    static QStringList Lezen(const QString& pad);

    // The values of the keys in a text that is already decoded.
    static QStringList Ontleden(const QString& tekst);
};

}  // namespace korvex
