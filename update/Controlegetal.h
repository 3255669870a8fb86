#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "update/UpdateTypen.h"

namespace korvex {

// The digest of a whole file in upper-case hexadecimal: CRC-32 (8 digits,
// most significant first), MD5 (32) or SHA-1 (40), read in blocks so a file
// of any size is never held in memory. Nothing when the file is not a
// regular file or cannot be read to its end, or for THashType::None.
std::optional<QString> Controlegetal(THashType soort, const QString& pad);

// A digest with the number of bytes it covers, both from the same reading.
struct Vingerafdruk {
    QByteArray digest;
    qint64 grootte = 0;
};

// The file's SHA-512 (64 bytes), read in blocks like Controlegetal.
std::optional<Vingerafdruk> Sha512VanBestand(const QString& pad);

}  // namespace korvex
