#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

namespace korvex {

// SHA-512 over bytes handed in as they are read, so a file is hashed in the
// same pass that uses it and never read a second time.
class Sha512Teller {
  public:
    Sha512Teller();
    ~Sha512Teller();
    Sha512Teller(const Sha512Teller&) = delete;
    Sha512Teller& operator=(const Sha512Teller&) = delete;

    void Voeg(QByteArrayView deel);
    // The 64 bytes of the digest; empty when the digest could not be formed.
    // Ends the counting.
    QByteArray Digest();
    qint64 Grootte() const { return grootte_; }

  private:
    struct Staat;
    std::unique_ptr<Staat> staat_;
    qint64 grootte_ = 0;
    bool goed_ = true;
};

// Whether `handtekening` (base64 of 64 bytes) is the Ed25519 signature by
// `sleutel` (base64 of 32 bytes) over `verklaring`. Anything malformed counts
// as a wrong signature.
bool Ed25519Klopt(const QString& sleutel, const QString& handtekening,
                  const QByteArray& verklaring);

// Whether the key and the signature have their shapes, so a caller can refuse
// before it reads what the statement covers.
bool Ed25519Vorm(const QString& sleutel, const QString& handtekening);

}  // namespace korvex
