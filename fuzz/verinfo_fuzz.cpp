// Feeds arbitrary bytes to the version-resource layer twice: as a container
// file (PE or ELF, chosen by its magic) and as a bare version block.
#include <cstdint>
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

void Blok(const QByteArray& blok) {
    static Lezer lezer;
    lezer.Verwerk(blok);
    for (const char16_t* pad : {u"\\", u"\\VarFileInfo\\Translation", u"StringFileInfo",
                                u"\\\\a\\\\b\\", u"StringFileInfo\\041304E4\\CompanyName"}) {
        const auto w = VersieLezer::Vraag(blok, QStringView(pad));
        if (!w) continue;
        if (w->bytes.data() < blok.constData() ||
            w->bytes.data() + w->bytes.size() > blok.constData() + blok.size())
            std::abort();
        (void)VersieLezer::Tekst(*w);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView invoer(data, qsizetype(size));
    if (const auto plaats = VersieLezer::ZoekBlok(invoer); plaats && plaats->leesbaar) {
        if (plaats->offset + plaats->grootte > size) std::abort();
        Blok(invoer.sliced(qsizetype(plaats->offset), qsizetype(plaats->grootte)).toByteArray());
    }
    Blok(invoer.toByteArray());
    return 0;
}
