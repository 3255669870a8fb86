#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace korvex::verinfo {

// The three platform operations the version reader relies on. On Windows
// they are the system's own calls; elsewhere VersieLezer reads the published
// formats (PE resources, and the ELF section our build fills).
class VersieBlok {
  public:
    // Size in bytes of the file's version block; 0 when the file has none,
    // is missing, unreadable or not an executable at all.
    static quint32 Grootte(const QString& bestand);

    // Fills blok (already sized by the caller) with the version block.
    // False when the block cannot be read.
    static bool Lees(const QString& bestand, QByteArray& blok);

    // A sub-block's raw value (fixed information, translation list).
    static std::optional<QByteArrayView> BinaireWaarde(const QByteArray& blok, const QString& pad);

    // A sub-block's text up to its first NUL.
    static std::optional<QString> TekstWaarde(const QByteArray& blok, const QString& pad);
};

}  // namespace korvex::verinfo
