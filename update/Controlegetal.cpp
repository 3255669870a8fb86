#include "update/Controlegetal.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <QFile>
#include <memory>
#include <vector>

#include "platform/Bestand.h"

namespace korvex {

namespace {

constexpr qint64 kBlok = 1 << 20;

struct EvpFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

// Calls `blok` for every block of the file; false when it cannot be read.
template <typename F>
bool leesBlokken(const QString& pad, F&& blok) {
    QFile bestand(pad);
    Bestand::Gelezen reden;
    if (!Bestand::OpenRegulier(bestand, reden)) return false;
    std::vector<unsigned char> buffer(kBlok);
    for (;;) {
        const qint64 n = bestand.read(reinterpret_cast<char*>(buffer.data()), kBlok);
        if (n < 0) return false;
        if (n == 0) return bestand.atEnd();
        blok(buffer.data(), static_cast<std::size_t>(n));
    }
}

std::optional<Vingerafdruk> evpDigest(const EVP_MD* soort, const QString& pad) {
    std::unique_ptr<EVP_MD_CTX, EvpFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), soort, nullptr) != 1) return std::nullopt;
    bool goed = true;
    qint64 grootte = 0;
    if (!leesBlokken(pad,
                     [&](const unsigned char* data, std::size_t n) {
                         if (EVP_DigestUpdate(ctx.get(), data, n) != 1) goed = false;
                         grootte += qint64(n);
                     }) ||
        !goed)
        return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int lengte = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &lengte) != 1) return std::nullopt;
    return Vingerafdruk{QByteArray(reinterpret_cast<const char*>(digest), int(lengte)), grootte};
}

}  // namespace

std::optional<QString> Controlegetal(THashType soort, const QString& pad) {
    switch (soort) {
        case THashType::None:
            return std::nullopt;
        case THashType::CRC32: {
            uLong crc = crc32_z(0L, Z_NULL, 0);
            if (!leesBlokken(pad, [&crc](const unsigned char* data, std::size_t n) {
                    crc = crc32_z(crc, data, n);
                }))
                return std::nullopt;
            return QStringLiteral("%1")
                .arg(static_cast<quint32>(crc), 8, 16, QLatin1Char('0'))
                .toUpper();
        }
        case THashType::MD5:
        case THashType::SHA1: {
            const std::optional<Vingerafdruk> v =
                evpDigest(soort == THashType::MD5 ? EVP_md5() : EVP_sha1(), pad);
            if (!v) return std::nullopt;
            return QString::fromLatin1(v->digest.toHex().toUpper());
        }
    }
    return std::nullopt;
}

std::optional<Vingerafdruk> Sha512VanBestand(const QString& pad) {
    return evpDigest(EVP_sha512(), pad);
}

}  // namespace korvex
