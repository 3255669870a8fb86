#pragma once

#include <openssl/evp.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#include "tests/support/HostProcess.h"

namespace korvex::test {

// A maker's key pair, made here so no private key lies in the tree.
class Sleutelpaar {
  public:
    Sleutelpaar() : pkey_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free) {}

    QString publiek() const {
        unsigned char sleutel[32];
        std::size_t lengte = sizeof sleutel;
        if (!pkey_ || EVP_PKEY_get_raw_public_key(pkey_.get(), sleutel, &lengte) != 1)
            return QString();
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(sleutel), int(lengte)).toBase64());
    }
    // The raw 64 bytes of the signature.
    QByteArray teken(const QByteArray& tekst) const {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
        unsigned char handtekening[64];
        std::size_t lengte = sizeof handtekening;
        if (!pkey_ || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, pkey_.get()) != 1 ||
            EVP_DigestSign(ctx.get(), handtekening, &lengte,
                           reinterpret_cast<const unsigned char*>(tekst.constData()),
                           std::size_t(tekst.size())) != 1)
            return QByteArray();
        return QByteArray(reinterpret_cast<const char*>(handtekening), int(lengte));
    }

  private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey_;
};

// The maker's tool, run as a maker would, against the program's own check.
inline QByteArray SignUpdate(const QStringList& argumenten, int* code = nullptr) {
    HostProcess tool;
    if (!tool.start(QStringLiteral(KORVEX_TESTS_DIR "/../tools/sign-update"), argumenten) ||
        !tool.waitForFinished(30000))
        return QByteArray();
    if (code) *code = tool.exitCode();
    return tool.readAllStandardOutput();
}

}  // namespace korvex::test
