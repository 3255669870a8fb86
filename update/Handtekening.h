#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace korvex {

// What the maker signs for an installer, rather than the bare file: the four
// lines "KorvexSQL", the manifest's version, the file's size in decimal and
// its SHA-512 in lower-case hexadecimal, each ended by LF. So a signature
// holds only for this file offered under this version text: a signed file
// cannot be offered under another version. It does not make a release
// newer: an older signed release, offered again under its own version text,
// is taken whenever that text compares greater than the running version's
// (texts compare character by character, so 9.0.1.3 passes 9.0.1.20).
// Nothing when the file is not a regular file or cannot be read to its end.
std::optional<QByteArray> UpdateVerklaring(const QString& versie, const QString& pad);

// Whether `handtekening` (base64, 64 bytes) is the Ed25519 signature by
// `sleutel` (base64, 32 bytes) over the statement for `versie` and the file
// as it is now. Anything malformed counts as a wrong signature.
bool HandtekeningKlopt(const QString& sleutel, const QString& handtekening, const QString& versie,
                       const QString& pad);

}  // namespace korvex
