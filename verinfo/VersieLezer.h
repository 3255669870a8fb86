#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace korvex::verinfo {

// Our own reader of the published version-resource formats, for platforms
// without the system calls. Everything works on bytes in memory and checks
// every offset against them, so hostile files cannot make it read outside
// the buffer, loop or crash.
class VersieLezer {
  public:
    // Where a container file keeps its version block.
    struct Plaats {
        quint64 offset = 0;     // file offset of the first byte
        quint32 grootte = 0;    // size the container states
        bool leesbaar = false;  // the whole block lies inside the file
    };

    // A sub-block's value inside a version block.
    struct Waarde {
        QByteArrayView bytes;  // the value, clipped to its node
        bool tekst = false;    // the node says it holds UTF-16 text
    };

    // Finds the version block in a PE file (first resource of type 16, first
    // name, first language) or in an ELF file (section ".korvex_version").
    // No value: the file is neither, or it holds no version block.
    static std::optional<Plaats> ZoekBlok(QByteArrayView bestand);
    static std::optional<Plaats> ZoekInPe(QByteArrayView bestand);
    static std::optional<Plaats> ZoekInElf(QByteArrayView bestand);

    // Looks a sub-block path up the way the system query does: components
    // separated by "\", empty ones skipped, names compared without regard to
    // case; "\" alone is the root's value.
    static std::optional<Waarde> Vraag(QByteArrayView blok, QStringView pad);

    // A text value up to its first NUL (or its end when the NUL is missing).
    static QString Tekst(const Waarde& waarde);
};

}  // namespace korvex::verinfo
