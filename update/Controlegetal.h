#pragma once

#include <QString>
#include <optional>

#include "update/UpdateTypen.h"

namespace korvex {

// The digest of a whole file in upper-case hexadecimal: CRC-32 (8 digits,
// most significant first), MD5 (32) or SHA-1 (40), read in blocks so a file
// of any size is never held in memory. Nothing when the file is not a
// regular file or cannot be read to its end, or for THashType::None.
std::optional<QString> Controlegetal(THashType soort, const QString& pad);

}  // namespace korvex
