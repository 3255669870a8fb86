#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "VerinfoFixtures.h"
#include "tests/support/TempFolder.h"
#include "verinfo/VersieLezer.h"
#include "verinfo/kivVerInfo.h"

using namespace korvex::test;
using namespace Qt::StringLiterals;
using korvex::verinfo::VersieLezer;

namespace {

// Opens up what the component keeps to itself.
class Inkijk : public TkivVerInfo {
  public:
    using TkivVerInfo::TkivVerInfo;
    using TkivVerInfo::VerwerkBlok;
    using TkivVerInfo::Zoek;
    QList<bool> Vlaggen() const {
        return {FDebug, FPatched, FPreRelease, FPrivateBuild, FSpecialBuild};
    }
    const QStringList& Talen() const { return FTalen; }
    const QStringList& Bestandstypen() const { return FBestandstypen; }
    void ClearInfos() override {
        ++clears;
        TkivVerInfo::ClearInfos();
    }
    int clears = 0;
};

struct Uitkomst {
    qint32 fout;
    QStringList regels;
};

Uitkomst Lees(const QString& pad) {
    TkivVerInfo info;
    info.FileName = pad;
    info.ReadInfos();
    return {info.LastError(), info.Infos()};
}

QStringList Nullen() {
    return {u"FlagDebug=0"_s, u"FlagPatched=0"_s, u"FlagPreRelease=0"_s, u"FlagPrivateBuild=0"_s,
            u"FlagSpecialBuild=0"_s};
}

const QStringList kVoorbeeld = {
    u"InternalFileVersion=9.0.1.20"_s,
    u"InternalProductVersion=9.0.1.20"_s,
    u"OSVersion=Unknown - Windows 32 bits"_s,
    u"FileType=Application"_s,
    u"FileSubType="_s,
    u"FlagDebug=0"_s,
    u"FlagPatched=0"_s,
    u"FlagPreRelease=0"_s,
    u"FlagPrivateBuild=0"_s,
    u"FlagSpecialBuild=0"_s,
    u"Language=Dutch"_s,
    u"CharSet=Windows, Multilingual"_s,
    u"Comments=Voorbeeld met één opmerking"_s,
    u"CompanyName=Zelvo"_s,
    u"ProductName=Korvex® Voorbeeld"_s,
};

// Windows reads version blocks through its own loader, which knows no ELF
// file: there every ELF container reads as a file without a version block.
void VerwachtLezing(const QString& pad, Uitkomst verwacht) {
#ifdef _WIN32
    if (pad.contains(u".elf"_s)) verwacht = {1, {}};
#endif
    const Uitkomst u = Lees(pad);
    EXPECT_EQ(u.fout, verwacht.fout);
    EXPECT_EQ(u.regels, verwacht.regels);
}

#ifdef _WIN32
const auto kTweedeSoort = u".exe"_s;
#else
const auto kTweedeSoort = u".elf"_s;
#endif

}  // namespace

TEST(KivVerInfo, WorkedExampleInEveryContainer) {
    for (const char* naam :
         {"voorbeeld.exe", "voorbeeld.pe32", "voorbeeld.elf", "voorbeeld.elf32be"}) {
        SCOPED_TRACE(naam);
        VerwachtLezing(Gemaakt(QString::fromLatin1(naam)), {0, kVoorbeeld});
    }
}

TEST(KivVerInfo, FixturesGiveTheirLines) {
    struct Geval {
        const char* naam;
        QStringList regels;
    };
    const QStringList nederlands = {u"Language=Dutch"_s, u"CharSet=Windows, Multilingual"_s};
    const QList<Geval> gevallen = {
        {"driver",
         QStringList{u"InternalFileVersion=1.2.3.4"_s, u"InternalProductVersion=5.6.7.8"_s,
                     u"OSVersion=DOS - Windows 16 bits"_s, u"FileType=Device Driver"_s,
                     u"FileSubType=Network"_s} +
             Nullen() +
             QStringList{u"Language=U.S. English"_s, u"CharSet=Unicode"_s, u"Comments="_s,
                         u"CompanyName=Zelvo"_s, u"FileDescription=Stuurprogramma"_s,
                         u"FileVersion=1.2.3.4"_s, u"InternalName=net"_s, u"LegalCopyright=Zelvo"_s,
                         u"LegalTrademarks=Geen"_s, u"OriginalFileName=net.sys"_s,
                         u"ProductName=Netwerk"_s, u"ProductVersion=5.6.7.8"_s}},
        {"font",
         QStringList{u"InternalFileVersion=2.0.0.0"_s, u"InternalProductVersion=2.0.0.0"_s,
                     u"OSVersion= - PM 16 bits"_s, u"FileType=Font"_s, u"FileSubType=TrueType"_s} +
             Nullen() +
             QStringList{u"Language="_s, u"CharSet=Windows, Latin-2 (Eastern European)"_s,
                         u"FileDescription=Lettertype"_s}},
        {"type6", QStringList{u"InternalFileVersion=0.0.1.20"_s,
                              u"InternalProductVersion=65535.65535.10.200"_s,
                              u"OSVersion=Windows NT -  "_s, u"FileType="_s, u"FileSubType="_s} +
                      Nullen() + nederlands},
        {"masker",
         QStringList{u"InternalFileVersion=1.0.0.0"_s, u"InternalProductVersion=1.0.0.0"_s,
                     u"OSVersion=Windows NT - Windows 32 bits"_s, u"FileType=DLL"_s,
                     u"FileSubType="_s, u"FlagDebug=1"_s, u"FlagPatched=0"_s, u"FlagPreRelease=1"_s,
                     u"FlagPrivateBuild=0"_s, u"FlagSpecialBuild=0"_s} +
             nederlands},
        {"bouwinfo",
         QStringList{u"InternalFileVersion=3.1.0.7"_s, u"InternalProductVersion=3.1.0.7"_s,
                     u"OSVersion=Windows NT - Windows 32 bits"_s, u"FileType=Static Library"_s,
                     u"FileSubType="_s, u"FlagDebug=0"_s, u"FlagPatched=1"_s, u"FlagPreRelease=0"_s,
                     u"FlagPrivateBuild=1"_s, u"FlagSpecialBuild=1"_s} +
             nederlands +
             QStringList{u"CompanyName=Zelvo"_s, u"PrivateBuildInfos=Alleen intern"_s,
                         u"SpecialBuildInfos=Klantversie"_s}},
        {"bouwinfoleeg",
         QStringList{u"InternalFileVersion=3.1.0.7"_s, u"InternalProductVersion=3.1.0.7"_s,
                     u"OSVersion=Windows NT - Windows 32 bits"_s, u"FileType=VxD"_s,
                     u"FileSubType="_s, u"FlagDebug=0"_s, u"FlagPatched=0"_s, u"FlagPreRelease=0"_s,
                     u"FlagPrivateBuild=1"_s, u"FlagSpecialBuild=1"_s} +
             nederlands + QStringList{u"CompanyName=Zelvo"_s}},
        {"vertalingen",
         QStringList{u"InternalFileVersion=1.0.0.0"_s, u"InternalProductVersion=1.0.0.0"_s,
                     u"OSVersion=Windows NT - Windows 32 bits"_s, u"FileType=Application"_s,
                     u"FileSubType="_s} +
             Nullen() +
             QStringList{u"Language=U.S. English"_s, u"CharSet=Unicode"_s,
                         u"CompanyName=Eerste vertaling"_s}},
    };
    for (const Geval& g : gevallen) {
        for (const char* soort : {".exe", ".elf"}) {
            const QString naam = QString::fromLatin1(g.naam) + QString::fromLatin1(soort);
            SCOPED_TRACE(naam.toStdString());
            VerwachtLezing(Gemaakt(naam), {0, g.regels});
        }
    }
}

TEST(KivVerInfo, FailureCodesLeaveNoLines) {
    TempFolder tmp;
    SchrijfBestand(tmp.file(u"tekst.txt"_s),
                   "Dit is geen programma.\r\nMZ staat hier niet vooraan.\r\n");
    SchrijfBestand(tmp.file(u"leeg.exe"_s), QByteArray());
    SchrijfBestand(tmp.file(u"mz.exe"_s), QByteArray("MZ") + QByteArray(200, '\xff'));

    // The resource entry stays intact, the data it points to is cut off.
    const QByteArray pe = LeesBestand(Gemaakt(u"voorbeeld.exe"_s));
    const auto plaats = VersieLezer::ZoekInPe(pe);
    ASSERT_TRUE(plaats && plaats->leesbaar);
    SchrijfBestand(tmp.file(u"afgekapt.exe"_s),
                   pe.left(qsizetype(plaats->offset + plaats->grootte - 1)));
    // Cut inside the section table: no resource directory to be found.
    SchrijfBestand(tmp.file(u"kop.exe"_s), pe.left(0x100));

    QByteArray elf = LeesBestand(Gemaakt(u"voorbeeld.elf"_s));
    const auto elfPlaats = VersieLezer::ZoekInElf(elf);
    ASSERT_TRUE(elfPlaats && elfPlaats->leesbaar);
    // The section table sits behind the data, so here the section claims
    // more bytes than the file holds.
    const qsizetype sectie = qsizetype(Le32(elf, 0x28)) + 64;
    ASSERT_EQ(Le32(elf, sectie + 0x18), elfPlaats->offset);
    ZetLe32(elf, sectie + 0x20, quint32(elf.size()));
    SchrijfBestand(tmp.file(u"afgekapt.elf"_s), elf);

#ifndef _WIN32
    // Opening a FIFO for reading would wait for a writer.
    ASSERT_EQ(::mkfifo(QFile::encodeName(tmp.file(u"fifo.exe"_s)).constData(), 0600), 0);
#endif

    const struct {
        QString pad;
        qint32 fout;
    } gevallen[] = {
        {tmp.file(u"ontbreekt.exe"_s), 1},
        {QString(), 1},
        {tmp.path(), 1},
        {tmp.file(u"tekst.txt"_s), 1},
        {tmp.file(u"leeg.exe"_s), 1},
        {tmp.file(u"mz.exe"_s), 1},
        {tmp.file(u"kop.exe"_s), 1},
#ifndef _WIN32
        {tmp.file(u"fifo.exe"_s), 1},
#endif
        {Gemaakt(u"voorbeeld.res"_s), 1},
        {Gemaakt(u"voorbeeld.bin"_s), 1},
        {Gemaakt(u"groot65527.exe"_s), 2},
        {Gemaakt(u"groot65527.elf"_s), 2},
#ifndef _WIN32
        // On Windows the system's loader decides what a program cut short
        // inside its resource data still holds.
        {tmp.file(u"afgekapt.exe"_s), 3},
#endif
        {tmp.file(u"afgekapt.elf"_s), 3},
    };
    for (const auto& g : gevallen) {
        SCOPED_TRACE(g.pad.toStdString());
        VerwachtLezing(g.pad, {g.fout, {}});
    }
}

TEST(KivVerInfo, LargestAllowedBlockIsRead) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows reports a block's size with room for its own conversion copy, "
                    "so there the limit falls on a smaller block than these fixtures hold";
#endif
    for (const char* naam : {"groot65526.exe", "groot65526.elf"}) {
        SCOPED_TRACE(naam);
        const Uitkomst u = Lees(Gemaakt(QString::fromLatin1(naam)));
        EXPECT_EQ(u.fout, 0);
        EXPECT_EQ(u.regels, kVoorbeeld);
    }
}

TEST(KivVerInfo, EveryReadStartsCleared) {
    Inkijk info;
    info.FileName = Gemaakt(u"bouwinfo.exe"_s);
    info.ReadInfos();
    ASSERT_EQ(info.LastError(), 0);
    EXPECT_EQ(info.Vlaggen(), (QList<bool>{false, true, false, true, true}));

    info.FileName = Gemaakt(u"groot65527"_s + kTweedeSoort);
    info.ReadInfos();
    EXPECT_EQ(info.LastError(), 2);
    EXPECT_TRUE(info.Infos().isEmpty());
    EXPECT_EQ(info.Vlaggen(), QList<bool>(5, false));

    info.FileName = Gemaakt(u"voorbeeld"_s + kTweedeSoort);
    info.ReadInfos();
    EXPECT_EQ(info.LastError(), 0);
    EXPECT_EQ(info.Infos(), kVoorbeeld);
    EXPECT_EQ(info.clears, 3);  // through the virtual, so a subclass sees it
    EXPECT_EQ(info.FileName, Gemaakt(u"voorbeeld"_s + kTweedeSoort));

    info.ClearInfos();
    EXPECT_TRUE(info.Infos().isEmpty());
    EXPECT_EQ(info.FileName, Gemaakt(u"voorbeeld"_s + kTweedeSoort));
}

TEST(KivVerInfo, PublishedPropertiesAndOwner) {
    auto* eigenaar = new QObject;
    QPointer<TkivVerInfo> info = new TkivVerInfo(eigenaar);
    EXPECT_TRUE(info->FileName.isEmpty());
    EXPECT_EQ(info->LastError(), 0);
    ASSERT_TRUE(info->setProperty("FileName", Gemaakt(u"voorbeeld.exe"_s)));
    EXPECT_EQ(info->FileName, Gemaakt(u"voorbeeld.exe"_s));
    info->ReadInfos();
    EXPECT_EQ(info->property("Infos").toStringList(), kVoorbeeld);
    info->FileName = Gemaakt(u"groot65527.exe"_s);
    info->ReadInfos();
    EXPECT_EQ(info->property("LastError").toInt(), 2);
    // Read only: the property system refuses writes.
    EXPECT_FALSE(info->setProperty("LastError", 0));
    EXPECT_FALSE(info->setProperty("Infos", QStringList{u"x=y"_s}));
    delete eigenaar;
    EXPECT_TRUE(info.isNull());
}

TEST(KivVerInfo, LookupMatchesWholeKeyWithoutCase) {
    Inkijk info;
    EXPECT_EQ(Inkijk::Zoek(info.Talen(), u"040a"_s), u"Castilian Spanish"_s);
    EXPECT_EQ(Inkijk::Zoek(info.Talen(), u"0414"_s), u"Norwegian - Bokmål"_s);
    EXPECT_EQ(Inkijk::Zoek(info.Talen(), u"04"_s), QString());
    EXPECT_EQ(Inkijk::Zoek(info.Bestandstypen(), u"7"_s), u"Static Library"_s);
}

TEST(KivVerInfo, ShortValuesCountAsAbsent) {
    // A fixed-information value shorter than the record gives no version
    // lines; a translation shorter than one entry gives no language lines.
    const QByteArray voorbeeld = LeesBestand(Gemaakt(u"voorbeeld.bin"_s));
    const auto vast = VersieLezer::Vraag(voorbeeld, u"\\"_s);
    ASSERT_TRUE(vast);
    const QByteArray heelVast = vast->bytes.toByteArray();
    const QByteArray heleVertaling("\x13\x04\xe4\x04", 4);
    const QStringList taal = {u"Language=Dutch"_s, u"CharSet=Windows, Multilingual"_s,
                              u"CompanyName=Zelvo"_s};
    const struct {
        QByteArray vast, vertaling;
        QStringList regels;
    } gevallen[] = {
        {heelVast.left(51), heleVertaling, taal},
        {QByteArray(), heleVertaling, taal},
        {heelVast, QByteArray(), kVoorbeeld.first(10)},
        {heelVast, heleVertaling.left(2), kVoorbeeld.first(10)},
        {heelVast, heleVertaling.left(3), kVoorbeeld.first(10)},
    };
    for (const auto& g : gevallen) {
        SCOPED_TRACE(g.vast.size() * 10 + g.vertaling.size());
        const BlokKnoop var{
            u"VarFileInfo"_s, {}, false, -1, {{u"Translation"_s, g.vertaling, false, -1, {}}}};
        const BlokKnoop tabel{
            u"041304E4"_s, {}, false, -1, {BlokKnoop::Tekst(u"CompanyName"_s, u"Zelvo"_s)}};
        const BlokKnoop sfi{u"StringFileInfo"_s, {}, false, -1, {tabel}};
        const BlokKnoop wortel{u"VS_VERSION_INFO"_s, g.vast, false, -1, {sfi, var}};
        Inkijk info;
        info.VerwerkBlok(wortel.Bouw());
        EXPECT_EQ(info.Infos(), g.regels);
        EXPECT_EQ(info.Vlaggen(), QList<bool>(5, false));
    }
}

TEST(KivVerInfo, ReadsOwnExecutable) {
    const Uitkomst u = Lees(QCoreApplication::applicationFilePath());
    ASSERT_EQ(u.fout, 0);
    const QString versie = QStringLiteral(KORVEX_PROJECT_VERSION);
    for (const QString& regel : {
             u"InternalFileVersion="_s + versie,
             u"InternalProductVersion="_s + versie,
             u"OSVersion=Windows NT - Windows 32 bits"_s,
             u"FileType=Application"_s,
             u"Language=Dutch"_s,
             u"CharSet=Windows, Multilingual"_s,
             u"CompanyName=Zelvo"_s,
             u"ProductName=Zelvo Korvex® SQL Server Configuratie"_s,
             u"InternalName=KorvexSQL"_s,
             u"OriginalFileName=KorvexSQL.exe"_s,
             u"FileVersion="_s + versie,
             u"ProductVersion="_s + versie,
             u"LegalCopyright=Copyright © Zelvo"_s,
         })
        EXPECT_TRUE(u.regels.contains(regel)) << regel.toStdString() << "\n"
                                              << u.regels.join(u'\n').toStdString();
    EXPECT_EQ(u.regels.size(), 21);
}
