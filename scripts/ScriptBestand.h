#pragma once

#include <QString>

namespace korvex {
class Sha512Teller;
}

namespace korvex::scripts {

// A script file as the database receives it, and the version it stamps.
class ScriptBestand {
  public:
    // Larger scripts are refused: the driver takes a command text of at most
    // 2^31 - 1 characters, and the tool keeps the text in memory.
    static constexpr qint64 MaximaleGrootte = qint64(1) << 30;
    // What of a failed script goes into the log.
    static constexpr qsizetype LogboekLimiet = qsizetype(1) << 20;

    // The command text of the file: read in blocks with its byte-order mark
    // (UTF-8, UTF-16 LE or BE) or as Windows-1252, every line (ending at CR,
    // LF or CR LF) followed by CR LF. Throws KorvexError when the file cannot
    // be read, is no regular file or is too large. `teller`, when given,
    // counts every byte as it is read, so a signature check needs no second
    // reading.
    static QString LeesOpdracht(const QString& pad, Sha512Teller* teller = nullptr);

    // The version a script file brings: the name without its last extension,
    // every "-" read as ".".
    static QString Versie(const QString& bestandsnaam);

    // The statement that stamps the version; an apostrophe is doubled so it
    // stays inside the string.
    static QString StempelOpdracht(const QString& versie);

    // Empty when the text can be sent whole, else why not: the driver ends
    // the command text at U+0000 and at half a surrogate pair, so the server
    // would run only the part before it.
    static QString NietVerzendbaar(const QString& tekst);

    // The driver takes a "?" outside strings, comments and bracketed names
    // for a parameter marker and refuses the batch, often without saying
    // why. Empty when there is none, else the reason.
    static QString LosVraagteken(const QString& tekst);

    // Whether the text ends a transaction itself: a COMMIT or ROLLBACK outside
    // strings, comments and bracketed names.
    static bool EigenTransactieEinde(const QString& tekst);

    // A command text as it goes into the log: whole up to the limit, else
    // its start and a line telling how much was left out.
    static QString VoorLogboek(const QString& tekst);
};

}  // namespace korvex::scripts
