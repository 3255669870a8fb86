#include "update/Handtekening.h"

#include "platform/Ondertekening.h"
#include "update/Controlegetal.h"

namespace korvex {

std::optional<QByteArray> UpdateVerklaring(const QString& versie, const QString& pad) {
    const std::optional<Vingerafdruk> sha512 = Sha512VanBestand(pad);
    if (!sha512) return std::nullopt;
    return "KorvexSQL\n" + versie.toUtf8() + '\n' + QByteArray::number(sha512->grootte) + '\n' +
           sha512->digest.toHex() + '\n';
}

bool HandtekeningKlopt(const QString& sleutel, const QString& handtekening, const QString& versie,
                       const QString& pad) {
    // The statement is read after the signature's shape is known to be right,
    // so a bad manifest costs no reading of the file.
    if (!Ed25519Vorm(sleutel, handtekening)) return false;
    const std::optional<QByteArray> verklaring = UpdateVerklaring(versie, pad);
    return verklaring && Ed25519Klopt(sleutel, handtekening, *verklaring);
}

}  // namespace korvex
