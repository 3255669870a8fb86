#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace korvex {

// Reading and replacing the small files the tool keeps, safe against files
// of any shape: a pipe or device never blocks or floods the window, and an
// oversized file is refused whole instead of being cut short.
class Bestand {
  public:
    enum class Leesuitkomst {
        Gelezen,
        Ontbreekt,
        GeenGewoonBestand,  // a pipe, device, socket or folder
        TeGroot,
        NietLeesbaar,  // no permission, a read error
    };

    struct Gelezen {
        Leesuitkomst uitkomst = Leesuitkomst::Ontbreekt;
        QByteArray inhoud;  // only when read
        QString reden;      // the reason text when not read
    };

    // The whole file when it is a regular file (a link to one counts) of at
    // most `maximum` bytes.
    static Gelezen Lees(const QString& pad, qint64 maximum);

    // Opens a regular file (a link to one counts) for reading in blocks;
    // never blocks on a pipe, and checks the kind on what was opened, so a
    // name swapped in between cannot slip through. False with `uit` telling
    // why.
    static bool OpenRegulier(QFile& bestand, Gelezen& uit);

    // Whether the name is taken by something other than a regular file (a
    // link to one counts as regular).
    static bool IsGeenGewoonBestand(const QString& pad);

    // Replaces the file with `inhoud`, only once the new contents are
    // complete beside it. Where the folder takes no new file but the file
    // itself may be written, it is emptied and written in place instead.
    // Refuses a name taken by a pipe, device or folder. False with `reden`
    // set when nothing or not all was written.
    static bool Schrijf(const QString& pad, const QByteArray& inhoud, QString* reden = nullptr);

    // Opens the file for writing, created when missing, emptied unless
    // `aanvullen`; a pipe or device at that name is refused without blocking
    // on it. Throws KorvexError with the reason.
    static void OpenOmTeSchrijven(QFile& bestand, const QString& pad, bool aanvullen);

    // Copies the file block by block into `doel` the same way; the copy
    // never holds the whole file in memory.
    static bool Kopieer(const QString& bron, const QString& doel, QString* reden = nullptr);
};

}  // namespace korvex
