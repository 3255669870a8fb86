// Feeds arbitrary bytes to the version-resource layer three times: as a
// container file in memory (PE or ELF, chosen by its magic), as a bare
// version block, and as a real file read through TkivVerInfo.
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "verinfo/VersieLezer.h"
#include "verinfo/kivVerInfo.h"

using korvex::verinfo::VersieLezer;

namespace {

class Lezer : public TkivVerInfo {
  public:
    void Verwerk(const QByteArray& blok) {
        ClearInfos();
        VerwerkBlok(blok);
    }
};

[[noreturn]] void Fout(const char* wat) {
    std::fprintf(stderr, "verinfo invariant broken: %s\n", wat);
    std::abort();
}

void Blok(const QByteArray& blok) {
    static Lezer lezer;
    lezer.Verwerk(blok);
    for (const char16_t* pad : {u"\\", u"\\VarFileInfo\\Translation", u"StringFileInfo",
                                u"\\\\a\\\\b\\", u"StringFileInfo\\041304E4\\CompanyName"}) {
        const auto w = VersieLezer::Vraag(blok, QStringView(pad));
        if (!w) continue;
        if (w->bytes.data() < blok.constData() ||
            w->bytes.data() + w->bytes.size() > blok.constData() + blok.size())
            Fout("value outside its block");
        (void)VersieLezer::Tekst(*w);
    }
}

// The file path: size query, mapping and read. Whatever the file holds,
// ReadInfos must end in the state the block found in memory calls for.
void AlsBestand(QByteArrayView invoer) {
    static QTemporaryDir map;  // under TMPDIR
    if (!map.isValid()) Fout("no temporary folder");
    static const QString pad = map.filePath(QStringLiteral("invoer.exe"));
    {
        QFile bestand(pad);
        if (!bestand.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            bestand.write(invoer.data(), invoer.size()) != invoer.size())
            Fout("input file not written");
    }
    static Lezer lezer;
    lezer.FileName = pad;
    lezer.ReadInfos();

    // The platform refuses blocks of 65 526 bytes and more.
    const auto plaats = VersieLezer::ZoekBlok(invoer);
    if (!plaats || plaats->grootte == 0) {
        if (lezer.LastError() != 1) Fout("no block, yet not error 1");
    } else if (plaats->grootte > 65526) {
        if (lezer.LastError() != 2) Fout("block too large, yet not error 2");
    } else if (!plaats->leesbaar) {
        if (lezer.LastError() != 3) Fout("block outside the file, yet not error 3");
    } else {
        if (lezer.LastError() != 0) Fout("readable block, yet an error");
        static Lezer geheugen;
        geheugen.Verwerk(
            invoer.sliced(qsizetype(plaats->offset), qsizetype(plaats->grootte)).toByteArray());
        if (lezer.Infos() != geheugen.Infos()) Fout("file and memory give different lines");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView invoer(data, qsizetype(size));
    if (const auto plaats = VersieLezer::ZoekBlok(invoer); plaats && plaats->leesbaar) {
        if (plaats->offset + plaats->grootte > size) Fout("readable block past the end");
        Blok(invoer.sliced(qsizetype(plaats->offset), qsizetype(plaats->grootte)).toByteArray());
    }
    Blok(invoer.toByteArray());
    AlsBestand(invoer);
    return 0;
}
