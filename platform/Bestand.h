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
    // link to one counts as regular). On Windows a device name or a path into
    // the device namespace (a named pipe, a port) counts, taken or not.
    static bool IsGeenGewoonBestand(const QString& pad);

    // Whether a name from outside (a server's listing, a URL) can only ever
    // mean one file inside a local folder, on Linux and Windows alike: no
    // folder part, no drive or stream, none of the characters Windows
    // refuses, no device name (CON, NUL, COM1 ...) with or without an
    // extension, no trailing dot or blank, no control character.
    static bool IsVeiligeNaam(const QString& naam);

    // How the file system compares names: without regard to case on Windows.
    static constexpr Qt::CaseSensitivity NaamVergelijking =
#ifdef _WIN32
        Qt::CaseInsensitive;
#else
        Qt::CaseSensitive;
#endif

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
