#include "verinfo/VersieBlok.h"

#ifdef _WIN32

#include <windows.h>
#include <winver.h>

#include <QDir>

namespace korvex::verinfo {

namespace {
LPCWSTR Breed(const QString& tekst) {
    return reinterpret_cast<LPCWSTR>(tekst.utf16());
}
}  // namespace

quint32 VersieBlok::Grootte(const QString& bestand) {
    DWORD handle = 0;
    const QString pad = QDir::toNativeSeparators(bestand);
    return GetFileVersionInfoSizeW(Breed(pad), &handle);
}

bool VersieBlok::Lees(const QString& bestand, QByteArray& blok) {
    const QString pad = QDir::toNativeSeparators(bestand);
    return GetFileVersionInfoW(Breed(pad), 0, DWORD(blok.size()), blok.data()) != 0;
}

std::optional<QByteArrayView> VersieBlok::BinaireWaarde(const QByteArray& blok,
                                                        const QString& pad) {
    LPVOID waarde = nullptr;
    UINT lengte = 0;
    if (!VerQueryValueW(blok.constData(), Breed(pad), &waarde, &lengte) || waarde == nullptr)
        return std::nullopt;
    return QByteArrayView(static_cast<const char*>(waarde), qsizetype(lengte));
}

std::optional<QString> VersieBlok::TekstWaarde(const QByteArray& blok, const QString& pad) {
    LPVOID waarde = nullptr;
    UINT lengte = 0;  // in characters for text
    if (!VerQueryValueW(blok.constData(), Breed(pad), &waarde, &lengte) || waarde == nullptr)
        return std::nullopt;
    const auto* tekens = static_cast<const wchar_t*>(waarde);
    UINT n = 0;
    while (n < lengte && tekens[n] != 0) ++n;
    return QString::fromWCharArray(tekens, qsizetype(n));
}

}  // namespace korvex::verinfo

#else

#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "verinfo/VersieLezer.h"

namespace korvex::verinfo {

namespace {

// A regular file's bytes, mapped read-only when possible. Anything else
// (directories, FIFOs that would block on open, devices) stays empty.
class Inhoud {
  public:
    explicit Inhoud(const QString& bestand) : bestand_(bestand) {
        if (bestand.isEmpty() || !QFileInfo(bestand).isFile() ||
            !bestand_.open(QIODevice::ReadOnly))
            return;
        const qint64 n = bestand_.size();
        if (n <= 0) return;
        if (uchar* kaart = bestand_.map(0, n)) {
            bytes_ = QByteArrayView(kaart, qsizetype(n));
            return;
        }
        kopie_ = bestand_.readAll();
        bytes_ = kopie_;
    }

    QByteArrayView bytes() const { return bytes_; }

  private:
    QFile bestand_;
    QByteArray kopie_;
    QByteArrayView bytes_;
};

}  // namespace

quint32 VersieBlok::Grootte(const QString& bestand) {
    const Inhoud inhoud(bestand);
    const auto plaats = VersieLezer::ZoekBlok(inhoud.bytes());
    return plaats ? plaats->grootte : 0;
}

bool VersieBlok::Lees(const QString& bestand, QByteArray& blok) {
    const Inhoud inhoud(bestand);
    const auto plaats = VersieLezer::ZoekBlok(inhoud.bytes());
    if (!plaats || !plaats->leesbaar) return false;
    // Like the system call: copy what fits, the rest of the buffer stays zero.
    blok.fill('\0');
    const qsizetype n = std::min<qsizetype>(blok.size(), qsizetype(plaats->grootte));
    std::memcpy(blok.data(), inhoud.bytes().data() + plaats->offset, size_t(n));
    return true;
}

std::optional<QByteArrayView> VersieBlok::BinaireWaarde(const QByteArray& blok,
                                                        const QString& pad) {
    const auto waarde = VersieLezer::Vraag(blok, pad);
    if (!waarde) return std::nullopt;
    return waarde->bytes;
}

std::optional<QString> VersieBlok::TekstWaarde(const QByteArray& blok, const QString& pad) {
    const auto waarde = VersieLezer::Vraag(blok, pad);
    if (!waarde) return std::nullopt;
    return VersieLezer::Tekst(*waarde);
}

}  // namespace korvex::verinfo

#endif
