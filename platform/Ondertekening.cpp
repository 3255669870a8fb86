#include "platform/Ondertekening.h"

#include <openssl/evp.h>

#include <optional>

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

struct Sha512Teller::Staat {
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx{EVP_MD_CTX_new()};
};

Sha512Teller::Sha512Teller() : staat_(std::make_unique<Staat>()) {
    goed_ = staat_->ctx && EVP_DigestInit_ex(staat_->ctx.get(), EVP_sha512(), nullptr) == 1;
}

Sha512Teller::~Sha512Teller() = default;

void Sha512Teller::Voeg(QByteArrayView deel) {
    grootte_ += deel.size();
    if (goed_ && !deel.isEmpty())
        goed_ = EVP_DigestUpdate(staat_->ctx.get(), deel.data(), std::size_t(deel.size())) == 1;
}

QByteArray Sha512Teller::Digest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int lengte = 0;
    if (!goed_ || EVP_DigestFinal_ex(staat_->ctx.get(), digest, &lengte) != 1) return {};
    goed_ = false;
    return QByteArray(reinterpret_cast<const char*>(digest), int(lengte));
}

bool Ed25519Vorm(const QString& sleutel, const QString& handtekening) {
    return base64(sleutel, 32) && base64(handtekening, 64);
}

bool Ed25519Klopt(const QString& sleutel, const QString& handtekening,
                  const QByteArray& verklaring) {
    const std::optional<QByteArray> publiek = base64(sleutel, 32);
    const std::optional<QByteArray> ondertekend = base64(handtekening, 64);
    if (!publiek || !ondertekend) return false;
    const std::unique_ptr<EVP_PKEY, PkeyFree> pkey(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publiek->constData()),
        std::size_t(publiek->size())));
    if (!pkey) return false;
    const std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    // Pure Ed25519 takes no separate digest: the one-shot call over the
    // whole (short) statement.
    return ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) == 1 &&
           EVP_DigestVerify(ctx.get(),
                            reinterpret_cast<const unsigned char*>(ondertekend->constData()),
                            std::size_t(ondertekend->size()),
                            reinterpret_cast<const unsigned char*>(verklaring.constData()),
                            std::size_t(verklaring.size())) == 1;
}

}  // namespace korvex
