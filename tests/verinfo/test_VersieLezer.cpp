#include <gtest/gtest.h>

#include "VerinfoFixtures.h"
#include "verinfo/VersieLezer.h"

using namespace korvex::test;
using namespace Qt::StringLiterals;
using korvex::verinfo::VersieLezer;

namespace {

const char* const kFixtures[] = {"voorbeeld", "driver",   "font",         "type6",
                                 "masker",    "bouwinfo", "bouwinfoleeg", "vertalingen"};

std::optional<QString> Tekst(const QByteArray& blok, const QString& pad) {
    const auto w = VersieLezer::Vraag(blok, pad);
    if (!w) return std::nullopt;
    return VersieLezer::Tekst(*w);
}

// Root with one StringFileInfo\041304E4 table holding the given strings.
BlokKnoop Wortel(QList<BlokKnoop> strings) {
    BlokKnoop tabel{u"041304E4"_s, {}, false, -1, std::move(strings)};
    BlokKnoop sfi{u"StringFileInfo"_s, {}, false, -1, {tabel}};
    return BlokKnoop{u"VS_VERSION_INFO"_s, QByteArray(52, '\0'), false, -1, {sfi}};
}

}  // namespace

TEST(VersieLezer, FindsTheCompilersBlockInBothContainers) {
    for (const char* naam : kFixtures) {
        const QByteArray blok = LeesBestand(Gemaakt(QString::fromLatin1(naam) + u".bin"_s));
        ASSERT_FALSE(blok.isEmpty()) << naam;
        for (const char* soort : {".exe", ".elf"}) {
            SCOPED_TRACE(std::string(naam) + soort);
            const QByteArray bestand =
                LeesBestand(Gemaakt(QString::fromLatin1(naam) + QString::fromLatin1(soort)));
            const auto plaats = VersieLezer::ZoekBlok(bestand);
            ASSERT_TRUE(plaats);
            ASSERT_TRUE(plaats->leesbaar);
            EXPECT_EQ(bestand.mid(qsizetype(plaats->offset), qsizetype(plaats->grootte)), blok);
        }
    }
}

TEST(VersieLezer, QueryFollowsPathsWithoutCase) {
    const QByteArray blok = LeesBestand(Gemaakt(u"voorbeeld.bin"_s));
    EXPECT_EQ(Tekst(blok, u"StringFileInfo\\041304E4\\CompanyName"_s), u"Zelvo"_s);
    EXPECT_EQ(Tekst(blok, u"\\stringfileinfo\\041304e4\\COMPANYNAME"_s), u"Zelvo"_s);
    EXPECT_EQ(Tekst(blok, u"\\\\StringFileInfo\\\\041304E4\\CompanyName\\"_s), u"Zelvo"_s);
    EXPECT_FALSE(Tekst(blok, u"StringFileInfo\\040904B0\\CompanyName"_s));
    EXPECT_FALSE(Tekst(blok, u"StringFileInfo\\041304E4\\Company"_s));
    EXPECT_FALSE(Tekst(blok, u"CompanyName"_s));  // only direct children count

    const auto vast = VersieLezer::Vraag(blok, u"\\"_s);
    ASSERT_TRUE(vast);
    ASSERT_EQ(vast->bytes.size(), 52);
    EXPECT_EQ(Le32(vast->bytes.toByteArray(), 0), 0xFEEF04BDu);
    const auto vertaling = VersieLezer::Vraag(blok, u"\\VarFileInfo\\Translation"_s);
    ASSERT_TRUE(vertaling);
    EXPECT_EQ(vertaling->bytes.toByteArray(), QByteArray("\x13\x04\xe4\x04", 4));
}

TEST(VersieLezer, DamagedNodesAreNotFollowed) {
    const QString pad = u"StringFileInfo\\041304E4\\B"_s;
    const QByteArray goed =
        Wortel({BlokKnoop::Tekst(u"A"_s, u"een"_s), BlokKnoop::Tekst(u"B"_s, u"twee"_s)}).Bouw();
    ASSERT_EQ(Tekst(goed, pad), u"twee"_s);
    // wType 1 and the one-letter key locate the text nodes.
    const qsizetype a = goed.indexOf(QByteArray("\1\0A\0\0\0", 6)) - 4;
    const qsizetype b = goed.indexOf(QByteArray("\1\0B\0\0\0", 6)) - 4;
    ASSERT_GT(a, 0);
    ASSERT_GT(b, a);

    struct Geval {
        const char* wat;
        std::function<void(QByteArray&)> schade;
    };
    const QList<Geval> gevallen = {
        {"a child of length 0 ends the walk", [&](QByteArray& d) { ZetLe16(d, a, 0); }},
        {"a child shorter than its header", [&](QByteArray& d) { ZetLe16(d, a, 5); }},
        {"a child longer than its parent", [&](QByteArray& d) { ZetLe16(d, a, 0xFFF0); }},
        {"a root longer than the block",
         [&](QByteArray& d) { ZetLe16(d, 0, quint16(d.size() + 4)); }},
        {"a key without NUL",
         [&](QByteArray& d) {
             d.truncate(b + 8);
             ZetLe16(d, 0, quint16(d.size()));
             for (const QString& ouder : {u"StringFileInfo"_s, u"041304E4"_s}) {
                 const qsizetype p =
                     d.indexOf(QByteArray(reinterpret_cast<const char*>(ouder.utf16()),
                                          ouder.size() * 2)) -
                     6;
                 ZetLe16(d, p, quint16(d.size() - p));
             }
             ZetLe16(d, b, 8);
         }},
        {"a block cut short", [&](QByteArray& d) { d.truncate(b + 3); }},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.wat);
        QByteArray d = goed;
        g.schade(d);
        EXPECT_FALSE(Tekst(d, pad));
    }
}

TEST(VersieLezer, ValuesStayInsideTheirNode) {
    // Value length far beyond the node: clipped to it, text stops at the end.
    BlokKnoop lang = BlokKnoop::Tekst(u"A"_s, u"abc"_s);
    lang.waarde.chop(2);  // no NUL
    lang.waardeLengte = 60000;
    const QByteArray blok = Wortel({lang, BlokKnoop::Tekst(u"B"_s, u"twee"_s)}).Bouw();
    const auto w = VersieLezer::Vraag(blok, u"StringFileInfo\\041304E4\\A"_s);
    ASSERT_TRUE(w);
    EXPECT_EQ(VersieLezer::Tekst(*w), u"abc"_s);
    // The value claims the rest of the node, so its sibling is no longer a
    // child of it but still a sibling.
    EXPECT_EQ(Tekst(blok, u"StringFileInfo\\041304E4\\B"_s), u"twee"_s);

    // An odd-length block and an odd-length text value.
    BlokKnoop oneven{u"C"_s, QByteArray("x\0y", 3), true, 1, {}};
    QByteArray d = Wortel({oneven}).Bouw();
    d.append('\0');
    const auto c = VersieLezer::Vraag(d, u"StringFileInfo\\041304E4\\C"_s);
    ASSERT_TRUE(c);
    EXPECT_EQ(VersieLezer::Tekst(*c), u"x"_s);
    EXPECT_EQ(VersieLezer::Tekst(VersieLezer::Waarde{QByteArrayView("a\0b", 3), true}), u"a"_s);
}

TEST(VersieLezer, EveryPrefixOfAContainerIsSafe) {
    // Whatever point a file is cut at, a block reported readable lies within
    // the bytes given. A PE file keeps its section table and resource
    // directory ahead of the block, so the block is found readable from its
    // last byte on. An ELF file as objcopy lays it out keeps the section
    // table after the version data: every prefix that cuts the table gives
    // no block at all, and once the table is whole the block is readable.
    struct Geval {
        const char* naam;
        bool elf;
    };
    for (const Geval g : {Geval{"voorbeeld.exe", false}, Geval{"voorbeeld.pe32", false},
                          Geval{"voorbeeld.elf", true}, Geval{"voorbeeld.elf32be", true}}) {
        SCOPED_TRACE(g.naam);
        const QByteArray bestand = LeesBestand(Gemaakt(QString::fromLatin1(g.naam)));
        const auto heel = VersieLezer::ZoekBlok(bestand);
        ASSERT_TRUE(heel);
        ASSERT_TRUE(heel->leesbaar);
        const quint64 eind = heel->offset + heel->grootte;
        ASSERT_LT(eind, quint64(bestand.size()));

        // End of the ELF section table, read from the header in the file's
        // own class and byte order.
        quint64 tabelEind = 0;
        if (g.elf) {
            const bool is64 = bestand.at(4) == 2, groot = bestand.at(5) == 2;
            const auto veld = [&](qsizetype off, int breedte) {
                quint64 v = 0;
                for (int i = 0; i < breedte; ++i) {
                    const quint64 b = static_cast<quint8>(bestand.at(off + i));
                    v |= groot ? b << (8 * (breedte - 1 - i)) : b << (8 * i);
                }
                return v;
            };
            tabelEind = (is64 ? veld(0x28, 8) : veld(0x20, 4)) +
                        veld(is64 ? 0x3A : 0x2E, 2) * veld(is64 ? 0x3C : 0x30, 2);
            ASSERT_LT(eind, tabelEind);  // the layout this half is about
            ASSERT_LE(tabelEind, quint64(bestand.size()));
        }

        for (qsizetype n = 0; n <= bestand.size(); ++n) {
            const auto p = VersieLezer::ZoekBlok(QByteArrayView(bestand).first(n));
            const quint64 m = quint64(n);
            if (p && p->leesbaar) {
                EXPECT_LE(p->offset + p->grootte, m) << n;
            }
            if (!g.elf) {
                if (m >= eind) {
                    EXPECT_TRUE(p && p->leesbaar) << n;
                } else {
                    EXPECT_FALSE(p && p->leesbaar) << n;
                }
            } else if (m < tabelEind) {
                EXPECT_FALSE(p) << n;
            } else {
                EXPECT_TRUE(p && p->leesbaar) << n;
            }
        }
    }
}

TEST(VersieLezer, HostileContainerHeaders) {
    QByteArray pe = LeesBestand(Gemaakt(u"voorbeeld.exe"_s));
    const qsizetype kop = qsizetype(Le32(pe, 0x3C));
    QByteArray elf = LeesBestand(Gemaakt(u"voorbeeld.elf"_s));
    const qsizetype shoff = qsizetype(Le32(elf, 0x28));

    struct Geval {
        const char* wat;
        QByteArray* basis;
        std::function<void(QByteArray&)> schade;
    };
    const QList<Geval> gevallen = {
        {"PE header offset past the end", &pe,
         [](QByteArray& d) { ZetLe32(d, 0x3C, 0xFFFFFFF0u); }},
        {"PE section count past the end", &pe, [&](QByteArray& d) { ZetLe16(d, kop + 6, 0xFFFF); }},
        {"optional header size past the end", &pe,
         [&](QByteArray& d) { ZetLe16(d, kop + 20, 0xFFFF); }},
        {"unknown optional header", &pe, [&](QByteArray& d) { ZetLe16(d, kop + 24, 0x107); }},
        {"ELF section table past the end", &elf,
         [](QByteArray& d) { ZetLe32(d, 0x28, 0xFFFFFF00u); }},
        {"ELF section count past the end", &elf, [](QByteArray& d) { ZetLe16(d, 0x3C, 0xFFFF); }},
        {"ELF name table index out of range", &elf, [](QByteArray& d) { ZetLe16(d, 0x3E, 200); }},
        {"ELF entry size too small", &elf, [](QByteArray& d) { ZetLe16(d, 0x3A, 8); }},
        {"ELF class unknown", &elf, [](QByteArray& d) { d[4] = 3; }},
        // Section 0 names a count far beyond the file for the escape values.
        {"ELF many-sections count past the end", &elf,
         [&](QByteArray& d) {
             ZetLe16(d, 0x3C, 0);
             ZetLe32(d, shoff + 0x20, 0x7FFFFFFF);
         }},
    };
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.wat);
        QByteArray d = *g.basis;
        g.schade(d);
        EXPECT_FALSE(VersieLezer::ZoekBlok(d));
    }

    // The version section's data outside the file, or without file data:
    // found, but not readable.
    const auto plaats = VersieLezer::ZoekInElf(elf);
    ASSERT_TRUE(plaats);
    const qsizetype sectie = shoff + 64;  // section 1, the only data section objcopy writes
    ASSERT_EQ(Le32(elf, sectie + 0x18), plaats->offset);
    QByteArray ver = elf;
    ZetLe32(ver, sectie + 0x18, 0xFFFFFFF0u);
    ASSERT_TRUE(VersieLezer::ZoekInElf(ver));
    EXPECT_FALSE(VersieLezer::ZoekInElf(ver)->leesbaar);
    QByteArray nobits = elf;
    ZetLe32(nobits, sectie + 4, 8);
    ASSERT_TRUE(VersieLezer::ZoekInElf(nobits));
    EXPECT_FALSE(VersieLezer::ZoekInElf(nobits)->leesbaar);
}

TEST(VersieLezer, ResourceDirectoryLoopsEnd) {
    // Point the name level back at the type level: the language level then
    // meets a subdirectory where data belongs, and the search gives up.
    QByteArray pe = LeesBestand(Gemaakt(u"voorbeeld.exe"_s));
    const auto plaats = VersieLezer::ZoekInPe(pe);
    ASSERT_TRUE(plaats);
    // .rsrc is the last section; its directory starts its raw data.
    const qsizetype kop = qsizetype(Le32(pe, 0x3C));
    const int secties = static_cast<quint8>(pe[kop + 6]);
    const qsizetype tabel =
        kop + 24 + (static_cast<quint8>(pe[kop + 20]) | (static_cast<quint8>(pe[kop + 21]) << 8));
    const qsizetype rsrc = qsizetype(Le32(pe, tabel + (secties - 1) * 40 + 20));
    ASSERT_EQ(Le32(pe, rsrc + 16), 16u);  // one ID entry: type 16
    ZetLe32(pe, rsrc + 20, 0x80000000u);  // its subdirectory: the root again
    EXPECT_FALSE(VersieLezer::ZoekInPe(pe));
}
