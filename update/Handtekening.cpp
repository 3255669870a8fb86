#include "update/Handtekening.h"

#include <openssl/evp.h>

#include <memory>

#include "update/Controlegetal.h"

namespace korvex {

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* sleutel) const { EVP_PKEY_free(sleutel); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

// Strict base64 of exactly `lengte` bytes; anything else is nothing.
std::optional<QByteArray> base64(const QString& tekst, int lengte) {
    for (const QChar c : tekst)
        if (c.unicode() > 0x7f) return std::nullopt;
    const QByteArray::FromBase64Result uit = QByteArray::fromBase64Encoding(
        tekst.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (uit.decodingStatus != QByteArray::Base64DecodingStatus::Ok || uit.decoded.size() != lengte)
        return std::nullopt;
    return uit.decoded;
}

}  // namespace

std::optional<QByteArray> UpdateVerklaring(const QString& versie, const QString& pad) {
    const std::optional<Vingerafdruk> sha512 = Sha512VanBestand(pad);
    if (!sha512) return std::nullopt;
    return "KorvexSQL\n" + versie.toUtf8() + '\n' + QByteArray::number(sha512->grootte) + '\n' +
           sha512->digest.toHex() + '\n';
}

bool HandtekeningKlopt(const QString& sleutel, const QString& handtekening, const QString& versie,
                       const QString& pad) {
    const std::optional<QByteArray> publiek = base64(sleutel, 32);
    const std::optional<QByteArray> ondertekend = base64(handtekening, 64);
    if (!publiek || !ondertekend) return false;
    const std::unique_ptr<EVP_PKEY, PkeyFree> pkey(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publiek->constData()),
        std::size_t(publiek->size())));
    if (!pkey) return false;
    // The statement is read after the signature's shape is known to be right,
    // so a bad manifest costs no reading of the file.
    const std::optional<QByteArray> verklaring = UpdateVerklaring(versie, pad);
    if (!verklaring) return false;
    const std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    // Pure Ed25519 takes no separate digest: the one-shot call over the
    // whole (short) statement.
    return ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) == 1 &&
           EVP_DigestVerify(ctx.get(),
                            reinterpret_cast<const unsigned char*>(ondertekend->constData()),
                            std::size_t(ondertekend->size()),
                            reinterpret_cast<const unsigned char*>(verklaring->constData()),
                            std::size_t(verklaring->size())) == 1;
}

}  // namespace korvex
