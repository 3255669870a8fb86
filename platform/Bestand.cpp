#include "platform/Bestand.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "platform/KorvexError.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <QDir>
#endif

namespace korvex {

namespace {

const QString kGeenGewoonBestand = QStringLiteral("Not a regular file");
const QString kTeGroot = QStringLiteral("File too large");
const QString kMap = QStringLiteral("Is a directory");

void ZetReden(QString* reden, const QString& tekst) {
    if (reden) *reden = tekst;
}

// Names that Windows gives to its devices in every folder, also with an
// extension ("NUL.txt") and blanks before it.
bool IsApparaatNaam(const QString& naam) {
    static const QStringList apparaten = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                          QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                          QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    QStringView stam = QStringView(naam).left(naam.indexOf(u'.'));
    while (stam.endsWith(u' ')) stam.chop(1);
    for (const QString& apparaat : apparaten)
        if (stam.compare(apparaat, Qt::CaseInsensitive) == 0) return true;
    if (stam.size() != 4) return false;
    const QStringView soort = stam.first(3);
    const QChar nummer = stam[3];
    const bool poort = soort.compare(u"COM", Qt::CaseInsensitive) == 0 ||
                       soort.compare(u"LPT", Qt::CaseInsensitive) == 0;
    return poort && ((nummer >= u'1' && nummer <= u'9') || nummer == QChar(0xB9) ||
                     nummer == QChar(0xB2) || nummer == QChar(0xB3));
}

#ifdef Q_OS_WIN
// A path that reaches a device rather than a file: the device namespace
// ("\\.\pipe\x", "\\.\COM1"), or a device name as its last part.
bool IsApparaatPad(const QString& pad) {
    const QString p = QDir::toNativeSeparators(pad);
    if (p.startsWith(u"\\\\.\\")) return true;
    if (p.startsWith(u"\\\\?\\")) {
        const QStringView rest = QStringView(p).mid(4);
        const bool schijf = rest.size() >= 3 && rest[0].isLetter() && rest[1] == u':' && rest[2] == u'\\';
        if (!schijf && !rest.startsWith(u"UNC\\", Qt::CaseInsensitive)) return true;
    }
    const qsizetype scheiding = std::max(p.lastIndexOf(u'\\'), p.lastIndexOf(u':'));
    return IsApparaatNaam(p.mid(scheiding + 1));
}

// Opens a file that lies on a disk, never a folder, pipe or device; the
// handle becomes a C runtime descriptor for QFile. -1 with `reden` set and
// `ontbreekt` telling whether there was nothing at that name.
int OpenSchijfbestand(const QString& pad, DWORD toegang, DWORD aanmaak, int crtVlaggen,
                      QString* reden, bool* ontbreekt = nullptr) {
    if (ontbreekt) *ontbreekt = false;
    if (IsApparaatPad(pad)) {
        ZetReden(reden, kGeenGewoonBestand);
        return -1;
    }
    const std::wstring naam = QDir::toNativeSeparators(pad).toStdWString();
    const DWORD kenmerken = GetFileAttributesW(naam.c_str());
    if (kenmerken != INVALID_FILE_ATTRIBUTES && (kenmerken & FILE_ATTRIBUTE_DIRECTORY)) {
        ZetReden(reden, kMap);
        return -1;
    }
    HANDLE h = CreateFileW(naam.c_str(), toegang, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, aanmaak, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD fout = GetLastError();
        if (ontbreekt) *ontbreekt = fout == ERROR_FILE_NOT_FOUND || fout == ERROR_PATH_NOT_FOUND;
        ZetReden(reden, qt_error_string(int(fout)));
        return -1;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        ZetReden(reden, kGeenGewoonBestand);
        return -1;
    }
    const int fd = _open_osfhandle(intptr_t(h), crtVlaggen | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        ZetReden(reden, qt_error_string(errno));
    }
    return fd;
}
#endif

}  // namespace

bool Bestand::OpenRegulier(QFile& bestand, Gelezen& uit) {
#ifdef Q_OS_UNIX
    const QByteArray naam = QFile::encodeName(bestand.fileName());
    const int fd = ::open(naam.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        uit.uitkomst = errno == ENOENT ? Bestand::Leesuitkomst::Ontbreekt
                                       : Bestand::Leesuitkomst::NietLeesbaar;
        uit.reden = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        uit.uitkomst = Bestand::Leesuitkomst::GeenGewoonBestand;
        uit.reden = S_ISDIR(st.st_mode) ? kMap : kGeenGewoonBestand;
        return false;
    }
    if (!bestand.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        uit.uitkomst = Bestand::Leesuitkomst::NietLeesbaar;
        uit.reden = bestand.errorString();
        return false;
    }
    return true;
#elif defined(Q_OS_WIN)
    bool ontbreekt = false;
    const int fd = OpenSchijfbestand(bestand.fileName(), GENERIC_READ, OPEN_EXISTING, _O_RDONLY,
                                     &uit.reden, &ontbreekt);
    if (fd < 0) {
        uit.uitkomst = ontbreekt ? Bestand::Leesuitkomst::Ontbreekt
                       : uit.reden == kGeenGewoonBestand || uit.reden == kMap
                           ? Bestand::Leesuitkomst::GeenGewoonBestand
                           : Bestand::Leesuitkomst::NietLeesbaar;
        return false;
    }
    if (!bestand.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        uit.uitkomst = Bestand::Leesuitkomst::NietLeesbaar;
        uit.reden = bestand.errorString();
        return false;
    }
    return true;
#else
#error "No way to open a file without blocking on a pipe for this system"
#endif
}

namespace {

// A save file that falls back to writing in place where the folder refuses
// the file beside it; unbuffered, so that a short write (a full disk) shows
// in write()'s count and is not lost at commit. The save file falls back by
// itself only where the folder refuses with EACCES; `inPlaats`, when given,
// is set where it refused with EPERM (an immutable folder, for one), which
// leaves the file itself just as writable.
bool OpenVoorVervangen(QSaveFile& bestand, QString* reden, bool* inPlaats = nullptr) {
    if (Bestand::IsGeenGewoonBestand(bestand.fileName())) {
        // Writing in place into a pipe would block; into a device, flood it.
        ZetReden(reden, kGeenGewoonBestand);
        return false;
    }
    bestand.setDirectWriteFallback(true);
    if (!bestand.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
#ifdef Q_OS_UNIX
        // Read at once: the save file decides its own fallback on the same value.
        const int fout = errno;
        if (inPlaats) *inPlaats = bestand.error() == QFileDevice::OpenError && fout == EPERM;
#endif
        ZetReden(reden, bestand.errorString());
        return false;
    }
    return true;
}

// Empties the file that is there and writes it anew, as the save file's own
// fallback does; never creates one.
bool SchrijfInPlaats(const QString& pad, const QByteArray& inhoud, QString* reden) {
#ifdef Q_OS_UNIX
    const QByteArray naam = QFile::encodeName(pad);
    const int fd = ::open(naam.constData(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        ZetReden(reden, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        ZetReden(reden, kGeenGewoonBestand);
        return false;
    }
    QFile bestand;
    if (!bestand.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                      QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ZetReden(reden, bestand.errorString());
        return false;
    }
    if (bestand.write(inhoud) != inhoud.size() || !bestand.flush()) {
        ZetReden(reden, bestand.errorString());
        return false;
    }
    bestand.close();
    if (bestand.error() != QFileDevice::NoError) {
        ZetReden(reden, bestand.errorString());
        return false;
    }
    return true;
#else
    // Never asked for: only a POSIX folder refuses with EPERM.
    Q_UNUSED(pad);
    Q_UNUSED(inhoud);
    Q_UNUSED(reden);
    return false;
#endif
}

bool Sluit(QSaveFile& bestand, QString* reden) {
    if (bestand.commit()) return true;
    ZetReden(reden, bestand.errorString());
    return false;
}

bool Afbreken(QSaveFile& bestand, QString* reden) {
    ZetReden(reden, bestand.errorString());
    bestand.cancelWriting();
    return false;
}

}  // namespace

Bestand::Gelezen Bestand::Lees(const QString& pad, qint64 maximum) {
    Gelezen uit;
    QFile bestand(pad);
    if (!OpenRegulier(bestand, uit)) return uit;
    if (bestand.size() > maximum) {
        uit.uitkomst = Leesuitkomst::TeGroot;
        uit.reden = kTeGroot;
        return uit;
    }
    // Read in blocks up to one byte past the limit, so that a file that grew
    // since its size was taken is told from one that fits exactly, and no
    // buffer of the limit's size is taken for a small file.
    QByteArray inhoud;
    inhoud.reserve(qsizetype(std::min(bestand.size(), maximum)));
    char blok[64 * 1024];
    for (;;) {
        const qint64 n = bestand.read(blok, sizeof blok);
        if (n < 0) {
            uit.uitkomst = Leesuitkomst::NietLeesbaar;
            uit.reden = bestand.errorString();
            return uit;
        }
        if (n == 0) break;
        inhoud.append(blok, qsizetype(n));
        if (inhoud.size() > maximum) {
            uit.uitkomst = Leesuitkomst::TeGroot;
            uit.reden = kTeGroot;
            return uit;
        }
    }
    uit.uitkomst = Leesuitkomst::Gelezen;
    uit.inhoud = std::move(inhoud);
    return uit;
}

bool Bestand::IsVeiligeNaam(const QString& naam) {
    if (naam.isEmpty() || naam.endsWith(u'.') || naam.endsWith(u' ')) return false;
    for (const QChar c : naam)
        if (c.category() == QChar::Other_Control || QStringView(u"/\\:<>\"|?*").contains(c))
            return false;
    return !IsApparaatNaam(naam);
}

bool Bestand::IsGeenGewoonBestand(const QString& pad) {
#ifdef Q_OS_WIN
    if (IsApparaatPad(pad)) return true;
#endif
    const QFileInfo info(pad);
    // A dangling link is no file yet; writing creates its target.
    return info.exists() && !info.isFile();
}

bool Bestand::Schrijf(const QString& pad, const QByteArray& inhoud, QString* reden) {
    QSaveFile bestand(pad);
    bool inPlaats = false;
    if (!OpenVoorVervangen(bestand, reden, &inPlaats))
        return inPlaats && SchrijfInPlaats(pad, inhoud, reden);
    if (bestand.write(inhoud) != inhoud.size()) return Afbreken(bestand, reden);
    return Sluit(bestand, reden);
}

bool Bestand::Kopieer(const QString& bron, const QString& doel, QString* reden) {
    QFile invoer(bron);
    Gelezen status;
    if (!OpenRegulier(invoer, status)) {
        ZetReden(reden, status.reden);
        return false;
    }
    QSaveFile bestand(doel);
    if (!OpenVoorVervangen(bestand, reden)) return false;
    QByteArray blok(qsizetype(1) << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = invoer.read(blok.data(), blok.size());
        if (n < 0) {
            ZetReden(reden, invoer.errorString());
            bestand.cancelWriting();
            return false;
        }
        if (n == 0) break;
        if (bestand.write(blok.constData(), n) != n) return Afbreken(bestand, reden);
    }
    return Sluit(bestand, reden);
}

void Bestand::OpenOmTeSchrijven(QFile& file, const QString& path, bool append) {
    const auto mislukt = [&](const QString& reden) {
        throw KorvexError(QStringLiteral("Kan het bestand \"%1\" niet openen om te schrijven: %2")
                              .arg(path, reden));
    };
    if (IsGeenGewoonBestand(path))
        throw KorvexError(QStringLiteral("\"%1\" is geen gewoon bestand.").arg(path));
#ifdef Q_OS_UNIX
    const QByteArray naam = QFile::encodeName(path);
    const int fd = ::open(
        naam.constData(),
        O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (append ? O_APPEND : O_TRUNC),
        0666);
    if (fd < 0) mislukt(qt_error_string(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw KorvexError(QStringLiteral("\"%1\" is geen gewoon bestand.").arg(path));
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        mislukt(file.errorString());
    }
#elif defined(Q_OS_WIN)
    QString reden;
    const int fd = OpenSchijfbestand(path, append ? FILE_APPEND_DATA : GENERIC_WRITE, OPEN_ALWAYS,
                                     _O_WRONLY | (append ? _O_APPEND : 0), &reden);
    if (fd < 0) {
        if (reden == kGeenGewoonBestand || reden == kMap)
            throw KorvexError(QStringLiteral("\"%1\" is geen gewoon bestand.").arg(path));
        mislukt(reden);
    }
    // Emptied only now that it is known to be a file on a disk.
    if (!append && !SetEndOfFile(HANDLE(_get_osfhandle(fd)))) {
        const DWORD fout = GetLastError();
        _close(fd);
        mislukt(qt_error_string(int(fout)));
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        _close(fd);
        mislukt(file.errorString());
    }
#else
#error "No way to open a file without blocking on a pipe for this system"
#endif
}

}  // namespace korvex
