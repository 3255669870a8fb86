#include "verinfo/VersieLezer.h"

#include <QList>
#include <cstring>

namespace korvex::verinfo {

namespace {

// True when n bytes from off lie inside a buffer of the given size; written
// so that no sum can overflow.
bool Binnen(quint64 grootte, quint64 off, quint64 n) {
    return off <= grootte && n <= grootte - off;
}

quint8 Byte(QByteArrayView d, quint64 off) {
    return static_cast<quint8>(d[qsizetype(off)]);
}

// Little-endian reads; callers have checked the bounds. Assembled byte by
// byte, so unaligned offsets are fine.
quint16 Le16(QByteArrayView d, quint64 off) {
    return quint16(Byte(d, off) | (Byte(d, off + 1) << 8));
}
quint32 Le32(QByteArrayView d, quint64 off) {
    return quint32(Le16(d, off)) | (quint32(Le16(d, off + 2)) << 16);
}

quint64 Uitlijnen4(quint64 off) {
    return (off + 3) & ~quint64(3);
}

// ---------------------------------------------------------------- PE

constexpr quint32 kRtVersion = 16;
constexpr quint32 kHogeBit = 0x80000000u;

struct PeSectie {
    quint32 va = 0;
    quint32 rawGrootte = 0;
    quint32 rawOffset = 0;
};

// The section whose file data holds the address, or nothing.
std::optional<PeSectie> SectieVan(QByteArrayView d, quint64 tabel, quint32 aantal, quint32 rva) {
    for (quint32 i = 0; i < aantal; ++i) {
        const quint64 s = tabel + quint64(i) * 40;
        const PeSectie sectie{Le32(d, s + 12), Le32(d, s + 16), Le32(d, s + 20)};
        if (rva >= sectie.va && rva - sectie.va < sectie.rawGrootte) return sectie;
    }
    return std::nullopt;
}

// The OffsetToData of the first directory entry (with the given ID, or any).
std::optional<quint32> Entry(QByteArrayView rsrc, quint64 dir, std::optional<quint32> id) {
    const quint64 n = quint64(rsrc.size());
    if (!Binnen(n, dir, 16)) return std::nullopt;
    const quint32 aantal = quint32(Le16(rsrc, dir + 12)) + Le16(rsrc, dir + 14);
    for (quint32 i = 0; i < aantal; ++i) {
        const quint64 e = dir + 16 + quint64(i) * 8;
        if (!Binnen(n, e, 8)) return std::nullopt;
        const quint32 naam = Le32(rsrc, e);
        if (!id || ((naam & kHogeBit) == 0 && naam == *id)) return Le32(rsrc, e + 4);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- ELF

struct ElfLezer {
    QByteArrayView d;
    bool groot = false;  // big-endian
    bool is64 = false;

    quint64 U(quint64 off, int breedte) const {
        quint64 v = 0;
        for (int i = 0; i < breedte; ++i) {
            const quint64 b = Byte(d, off + quint64(i));
            v |= groot ? (b << (8 * (breedte - 1 - i))) : (b << (8 * i));
        }
        return v;
    }
};

struct ElfSectie {
    quint32 naam = 0;
    quint32 type = 0;
    quint64 offset = 0;
    quint64 grootte = 0;
    quint32 link = 0;
};

constexpr quint32 kShtNobits = 8;
const char kElfSectieNaam[] = ".korvex_version";

ElfSectie LeesElfSectie(const ElfLezer& r, quint64 h) {
    if (r.is64)
        return {quint32(r.U(h, 4)), quint32(r.U(h + 4, 4)), r.U(h + 0x18, 8), r.U(h + 0x20, 8),
                quint32(r.U(h + 0x28, 4))};
    return {quint32(r.U(h, 4)), quint32(r.U(h + 4, 4)), r.U(h + 0x10, 4), r.U(h + 0x14, 4),
            quint32(r.U(h + 0x18, 4))};
}

// ---------------------------------------------------------------- block

struct Knoop {
    quint64 eind = 0;
    QString sleutel;
    quint64 waardeBegin = 0;
    quint64 waardeBytes = 0;  // clipped to the node
    bool tekst = false;
    quint64 kinderBegin = 0;
};

// A node of the block: wLength, wValueLength, wType, the NUL-terminated key,
// padding, the value, padding, the children. Nothing when it does not fit
// inside its parent or its key lacks a NUL.
std::optional<Knoop> LeesKnoop(QByteArrayView blok, quint64 begin, quint64 grens) {
    if (!Binnen(grens, begin, 6)) return std::nullopt;
    const quint16 lengte = Le16(blok, begin);
    if (lengte < 6 || !Binnen(grens, begin, lengte)) return std::nullopt;
    Knoop k;
    k.eind = begin + lengte;
    const quint16 waardeLengte = Le16(blok, begin + 2);
    k.tekst = Le16(blok, begin + 4) == 1;
    quint64 p = begin + 6;
    for (;;) {
        if (!Binnen(k.eind, p, 2)) return std::nullopt;
        const quint16 c = Le16(blok, p);
        p += 2;
        if (c == 0) break;
        k.sleutel.append(QChar(c));
    }
    k.waardeBegin = std::min(Uitlijnen4(p), k.eind);
    const quint64 gevraagd = k.tekst ? quint64(waardeLengte) * 2 : waardeLengte;
    k.waardeBytes = std::min(gevraagd, k.eind - k.waardeBegin);
    k.kinderBegin = std::min(Uitlijnen4(k.waardeBegin + gevraagd), k.eind);
    return k;
}

}  // namespace

std::optional<VersieLezer::Plaats> VersieLezer::ZoekBlok(QByteArrayView bestand) {
    if (auto p = ZoekInPe(bestand)) return p;
    return ZoekInElf(bestand);
}

std::optional<VersieLezer::Plaats> VersieLezer::ZoekInPe(QByteArrayView d) {
    const quint64 n = quint64(d.size());
    if (!Binnen(n, 0, 64) || d[0] != 'M' || d[1] != 'Z') return std::nullopt;
    const quint64 pe = Le32(d, 0x3C);
    if (!Binnen(n, pe, 24) || std::memcmp(d.data() + pe, "PE\0\0", 4) != 0) return std::nullopt;
    const quint32 aantalSecties = Le16(d, pe + 6);
    const quint64 optGrootte = Le16(d, pe + 20);
    const quint64 opt = pe + 24;
    if (optGrootte < 2 || !Binnen(n, opt, optGrootte)) return std::nullopt;

    quint64 aantalPlek = 0, mappen = 0;
    switch (Le16(d, opt)) {
        case 0x10b:
            aantalPlek = 92, mappen = 96;
            break;  // PE32
        case 0x20b:
            aantalPlek = 108, mappen = 112;
            break;  // PE32+
        default:
            return std::nullopt;
    }
    // The resource directory is data directory 2.
    if (optGrootte < mappen + 3 * 8 || Le32(d, opt + aantalPlek) < 3) return std::nullopt;
    const quint32 rsrcRva = Le32(d, opt + mappen + 16);
    if (rsrcRva == 0) return std::nullopt;

    const quint64 tabel = opt + optGrootte;
    if (!Binnen(n, tabel, quint64(aantalSecties) * 40)) return std::nullopt;
    const auto rsrcSectie = SectieVan(d, tabel, aantalSecties, rsrcRva);
    if (!rsrcSectie) return std::nullopt;
    // The directory's offsets count from its start; view only what the
    // section holds in the file.
    const quint64 rsrcBegin = quint64(rsrcSectie->rawOffset) + (rsrcRva - rsrcSectie->va);
    if (rsrcBegin >= n) return std::nullopt;
    const quint64 rsrcEind = std::min(n, quint64(rsrcSectie->rawOffset) + rsrcSectie->rawGrootte);
    if (rsrcEind <= rsrcBegin) return std::nullopt;
    const QByteArrayView rsrc = d.sliced(qsizetype(rsrcBegin), qsizetype(rsrcEind - rsrcBegin));

    // Type 16, then the first name, then the first language.
    const auto typeMap = Entry(rsrc, 0, kRtVersion);
    if (!typeMap || (*typeMap & kHogeBit) == 0) return std::nullopt;
    const auto naamMap = Entry(rsrc, *typeMap & ~kHogeBit, std::nullopt);
    if (!naamMap || (*naamMap & kHogeBit) == 0) return std::nullopt;
    const auto data = Entry(rsrc, *naamMap & ~kHogeBit, std::nullopt);
    if (!data || (*data & kHogeBit) != 0 || !Binnen(quint64(rsrc.size()), *data, 16))
        return std::nullopt;

    Plaats plaats;
    const quint32 dataRva = Le32(rsrc, *data);
    plaats.grootte = Le32(rsrc, *data + 4);
    // A data entry that points outside the file's section data is a block
    // the file claims but does not hold.
    if (const auto s = SectieVan(d, tabel, aantalSecties, dataRva)) {
        const quint64 binnenSectie = dataRva - s->va;
        plaats.offset = quint64(s->rawOffset) + binnenSectie;
        plaats.leesbaar = Binnen(s->rawGrootte, binnenSectie, plaats.grootte) &&
                          Binnen(n, plaats.offset, plaats.grootte);
    }
    return plaats;
}

std::optional<VersieLezer::Plaats> VersieLezer::ZoekInElf(QByteArrayView d) {
    const quint64 n = quint64(d.size());
    if (!Binnen(n, 0, 16) || std::memcmp(d.data(),
                                         "\x7f"
                                         "ELF",
                                         4) != 0)
        return std::nullopt;
    ElfLezer r{d, d[5] == 2, d[4] == 2};
    if ((d[4] != 1 && d[4] != 2) || (d[5] != 1 && d[5] != 2)) return std::nullopt;

    const quint64 kopGrootte = r.is64 ? 64 : 52;
    if (!Binnen(n, 0, kopGrootte)) return std::nullopt;
    const quint64 shoff = r.is64 ? r.U(0x28, 8) : r.U(0x20, 4);
    const quint64 entGrootte = r.U(r.is64 ? 0x3A : 0x2E, 2);
    quint64 aantal = r.U(r.is64 ? 0x3C : 0x30, 2);
    quint64 strIndex = r.U(r.is64 ? 0x3E : 0x32, 2);
    if (shoff == 0 || entGrootte < (r.is64 ? 64u : 40u) || !Binnen(n, shoff, entGrootte))
        return std::nullopt;

    // Many sections: the real count and string-table index live in section 0.
    const ElfSectie nul = LeesElfSectie(r, shoff);
    if (aantal == 0) aantal = nul.grootte;
    if (strIndex == 0xFFFF) strIndex = nul.link;
    if (aantal > (n - shoff) / entGrootte || strIndex >= aantal) return std::nullopt;

    const ElfSectie namen = LeesElfSectie(r, shoff + strIndex * entGrootte);
    if (namen.type == kShtNobits || !Binnen(n, namen.offset, namen.grootte)) return std::nullopt;
    const QByteArrayView tabel = d.sliced(qsizetype(namen.offset), qsizetype(namen.grootte));

    for (quint64 i = 0; i < aantal; ++i) {
        const ElfSectie s = LeesElfSectie(r, shoff + i * entGrootte);
        if (!Binnen(quint64(tabel.size()), s.naam, sizeof kElfSectieNaam) ||
            std::memcmp(tabel.data() + s.naam, kElfSectieNaam, sizeof kElfSectieNaam) != 0)
            continue;
        Plaats plaats;
        plaats.offset = s.offset;
        // Larger than any block may be; keeps the size test meaningful.
        plaats.grootte = quint32(std::min<quint64>(s.grootte, 0xFFFFFFFFu));
        plaats.leesbaar = s.type != kShtNobits && Binnen(n, s.offset, plaats.grootte);
        return plaats;
    }
    return std::nullopt;
}

std::optional<VersieLezer::Waarde> VersieLezer::Vraag(QByteArrayView blok, QStringView pad) {
    auto knoop = LeesKnoop(blok, 0, quint64(blok.size()));
    if (!knoop) return std::nullopt;
    for (const QStringView deel : pad.split(u'\\', Qt::SkipEmptyParts)) {
        std::optional<Knoop> gevonden;
        // Children follow each other on 4-byte boundaries; each step moves at
        // least 8 bytes forward, so the walk ends.
        for (quint64 p = knoop->kinderBegin; p < knoop->eind;) {
            auto kind = LeesKnoop(blok, p, knoop->eind);
            if (!kind) break;
            if (kind->sleutel.compare(deel, Qt::CaseInsensitive) == 0) {
                gevonden = std::move(kind);
                break;
            }
            p = Uitlijnen4(kind->eind);
        }
        if (!gevonden) return std::nullopt;
        knoop = std::move(gevonden);
    }
    return Waarde{blok.sliced(qsizetype(knoop->waardeBegin), qsizetype(knoop->waardeBytes)),
                  knoop->tekst};
}

QString VersieLezer::Tekst(const Waarde& waarde) {
    QString tekst;
    const quint64 n = quint64(waarde.bytes.size());
    for (quint64 p = 0; p + 2 <= n; p += 2) {
        const quint16 c = Le16(waarde.bytes, p);
        if (c == 0) break;
        tekst.append(QChar(c));
    }
    return tekst;
}

}  // namespace korvex::verinfo
