#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace korvex {

// What the maker signs for an installer, rather than the bare file, so that
// an older signed installer cannot be offered as a newer version: the four
// lines "KorvexSQL", the manifest's version, the file's size in decimal and
// its SHA-512 in lower-case hexadecimal, each ended by LF. Nothing when the
// file is not a regular file or cannot be read to its end.
std::optional<QByteArray> UpdateVerklaring(const QString& versie, const QString& pad);

// Whether `handtekening` (base64, 64 bytes) is the Ed25519 signature by
// `sleutel` (base64, 32 bytes) over the statement for `versie` and the file
// as it is now. Anything malformed counts as a wrong signature.
bool HandtekeningKlopt(const QString& sleutel, const QString& handtekening, const QString& versie,
                       const QString& pad);

}  // namespace korvex
