// Takes arbitrary bytes as an update manifest from the server: every key of
// the program's section reads as at most 2047 characters on one line, the
// same whatever the letter case of the section and key names asked for.
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "update/Profielbestand.h"

namespace {

[[noreturn]] void Fout(const char* wat) {
    std::fprintf(stderr, "manifest invariant broken: %s\n", wat);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const korvex::Profielbestand manifest(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const char* sleutel : {"DownloadFileURL", "ReadmeFileURL", "UpdatePageURL", "Version",
                                "SQLVersion", "CRC32Hash", "MD5Hash", "SHA1Hash"}) {
        const QString naam = QString::fromLatin1(sleutel);
        const QString waarde = manifest.waarde(u"KorvexSQL", naam);
        if (waarde.size() > korvex::Profielbestand::MaximaleWaardeLengte) Fout("value too long");
        if (waarde.contains(u'\r') || waarde.contains(u'\n')) Fout("line end in a value");
        if (manifest.waarde(u"KORVEXSQL", naam.toLower()) != waarde)
            Fout("letter case of the names matters");
    }
    return 0;
}
