#include "verinfo/kivVerInfo.h"

#include <array>

#include "verinfo/VersieBlok.h"

using korvex::verinfo::VersieBlok;
using namespace Qt::StringLiterals;

namespace {

// The platform refuses blocks from this size on.
constexpr quint32 kGrootsteBlok = 65526;

// VS_FIXEDFILEINFO: thirteen 32-bit fields.
constexpr qsizetype kVasteInfoGrootte = 13 * 4;

const std::array<const char*, 12> kStringNamen = {
    "Comments",     "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFileName",
    "ProductName",  "ProductVersion", "PrivateBuild",    "SpecialBuild"};
constexpr int kAlgemeneNamen = 10;

quint32 Le32(QByteArrayView d, qsizetype off) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<quint8>(d[off + i]);
    return v;
}

QString Versie(quint32 hoog, quint32 laag) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(hoog >> 16)
        .arg(hoog & 0xFFFF)
        .arg(laag >> 16)
        .arg(laag & 0xFFFF);
}

QString Hex4(quint32 waarde) {
    return QStringLiteral("%1").arg(waarde, 4, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

TkivVerInfo::TkivVerInfo(QObject* owner) : QObject(owner) {
    FTalen = QStringList{
        u"0401=Arabic"_s,
        u"0402=Bulgarian"_s,
        u"0403=Catalan"_s,
        u"0404=Traditional Chinese"_s,
        u"0405=Czech"_s,
        u"0406=Danish"_s,
        u"0407=German"_s,
        u"0408=Greek"_s,
        u"0409=U.S. English"_s,
        u"040A=Castilian Spanish"_s,
        u"040B=Finnish"_s,
        u"040C=French"_s,
        u"040D=Hebrew"_s,
        u"040E=Hungarian"_s,
        u"040F=Icelandic"_s,
        u"0410=Italian"_s,
        u"0411=Japanese"_s,
        u"0412=Korean"_s,
        u"0413=Dutch"_s,
        u"0414=Norwegian - Bokmål"_s,
        u"0415=Polish"_s,
        u"0416=Brazilian Portuguese"_s,
        u"0417=Rhaeto-Romanic"_s,
        u"0418=Romanian"_s,
        u"0419=Russian"_s,
        u"041A=Croato-Serbian (Latin)"_s,
        u"041B=Slovak"_s,
        u"041C=Albanian"_s,
        u"041D=Swedish"_s,
        u"041E=Thai"_s,
        u"041F=Turkish"_s,
        u"0420=Urdu"_s,
        u"0421=Bahasa"_s,
        u"0804=Simplified Chinese"_s,
        u"0807=Swiss German"_s,
        u"0809=U.K. English"_s,
        u"080A=Mexican Spanish"_s,
        u"080C=Belgian French"_s,
        u"0810=Swiss Italian"_s,
        u"0813=Belgian Dutch"_s,
        u"0814=Norwegian - Nynorsk"_s,
        u"0816=Portuguese"_s,
        u"081A=Serbo-Croatian (Cyrillic)"_s,
        u"0C0C=Canadian French"_s,
        u"100C=Swiss French"_s,
    };
    FTekensets = QStringList{
        u"0000=7-bit ASCII"_s,
        u"03A4=Windows, Japan (Shift - JIS X-0208)"_s,
        u"03B5=Windows, Korea (Shift - KSC 5601)"_s,
        u"03B6=Windows, Taiwan (GB5)"_s,
        u"04B0=Unicode"_s,
        u"04E2=Windows, Latin-2 (Eastern European)"_s,
        u"04E3=Windows, Cyrillic"_s,
        u"04E4=Windows, Multilingual"_s,
        u"04E5=Windows, Greek"_s,
        u"04E6=Windows, Turkish"_s,
        u"04E7=Windows, Hebrew"_s,
        u"04E8=Windows, Arabic"_s,
    };
    FOsFamilies = QStringList{u"0=Unknown"_s, u"1=DOS"_s, u"2=OS/2 16 bits"_s, u"3=OS/2 32 bits"_s,
                              u"4=Windows NT"_s};
    FOsSubsystemen = QStringList{u"0= "_s, u"1=Windows 16 bits"_s, u"2=PM 16 bits"_s,
                                 u"3=PM 32 bits"_s, u"4=Windows 32 bits"_s};
    // There is deliberately no row for 6.
    FBestandstypen =
        QStringList{u"0=Unknown"_s, u"1=Application"_s, u"2=DLL"_s,           u"3=Device Driver"_s,
                    u"4=Font"_s,    u"5=VxD"_s,         u"7=Static Library"_s};
    FDriverSubtypen =
        QStringList{u"0=Unknown"_s,     u"1=Printer"_s, u"2=Keyboard"_s,      u"3=Language"_s,
                    u"4=Display"_s,     u"5=Mouse"_s,   u"6=Network"_s,       u"7=System"_s,
                    u"8=Installable"_s, u"9=Sound"_s,   u"10=Communication"_s};
    FFontSubtypen = QStringList{u"0=Unknown"_s, u"1=Raster"_s, u"2=Vector"_s, u"3=TrueType"_s};
}

TkivVerInfo::~TkivVerInfo() = default;

void TkivVerInfo::ClearInfos() {
    FLastError = 0;
    FDebug = FPatched = FPreRelease = FPrivateBuild = FSpecialBuild = false;
    FInfos.clear();
}

void TkivVerInfo::ReadInfos() {
    ClearInfos();
    const quint32 grootte = VersieBlok::Grootte(FileName);
    if (grootte == 0) {
        FLastError = 1;
        return;
    }
    if (grootte > kGrootsteBlok) {
        FLastError = 2;
        return;
    }
    QByteArray blok(qsizetype(grootte), '\0');
    if (!VersieBlok::Lees(FileName, blok)) {
        FLastError = 3;
        return;
    }
    VerwerkBlok(blok);
}

void TkivVerInfo::VerwerkBlok(const QByteArray& blok) {
    // A record too short to hold every field counts as absent rather than
    // being read past its end.
    const auto vast = VersieBlok::BinaireWaarde(blok, QStringLiteral("\\"));
    if (vast && vast->size() >= kVasteInfoGrootte) {
        const auto veld = [&](int i) { return Le32(*vast, qsizetype(i) * 4); };
        const quint32 masker = veld(6);
        const quint32 vlaggen = veld(7) & masker;
        const quint32 os = veld(8);
        const quint32 type = veld(9);
        const quint32 subtype = veld(10);

        FInfos << u"InternalFileVersion="_s + Versie(veld(2), veld(3));
        FInfos << u"InternalProductVersion="_s + Versie(veld(4), veld(5));
        FInfos << u"OSVersion="_s + Zoek(FOsFamilies, QString::number(os >> 16)) + u" - "_s +
                      Zoek(FOsSubsystemen, QString::number(os & 0xFFFF));
        FInfos << u"FileType="_s + Zoek(FBestandstypen, QString::number(type));
        QString sub;
        if (type == 3)
            sub = Zoek(FDriverSubtypen, QString::number(subtype));
        else if (type == 4)
            sub = Zoek(FFontSubtypen, QString::number(subtype));
        FInfos << u"FileSubType="_s + sub;

        FDebug = vlaggen & 0x01;
        FPatched = vlaggen & 0x04;
        FPreRelease = vlaggen & 0x02;
        FPrivateBuild = vlaggen & 0x08;
        FSpecialBuild = vlaggen & 0x20;
        const auto vlag = [](bool gezet) { return gezet ? u"=1"_s : u"=0"_s; };
        FInfos << u"FlagDebug"_s + vlag(FDebug);
        FInfos << u"FlagPatched"_s + vlag(FPatched);
        FInfos << u"FlagPreRelease"_s + vlag(FPreRelease);
        FInfos << u"FlagPrivateBuild"_s + vlag(FPrivateBuild);
        FInfos << u"FlagSpecialBuild"_s + vlag(FSpecialBuild);
    }

    // Fewer than four bytes hold no language and code page: no list.
    const auto vertaling =
        VersieBlok::BinaireWaarde(blok, QStringLiteral("\\VarFileInfo\\Translation"));
    if (!vertaling || vertaling->size() < 4) return;
    const quint32 eerste = Le32(*vertaling, 0);
    const QString sleutel = Hex4(eerste & 0xFFFF) + Hex4(eerste >> 16);
    FInfos << u"Language="_s + Zoek(FTalen, sleutel.left(4));
    FInfos << u"CharSet="_s + Zoek(FTekensets, sleutel.right(4));

    const QString tabel = u"StringFileInfo\\"_s + sleutel + u"\\"_s;
    for (int i = 0; i < kAlgemeneNamen; ++i) {
        const QString naam = QString::fromLatin1(kStringNamen[size_t(i)]);
        if (const auto tekst = VersieBlok::TekstWaarde(blok, tabel + naam))
            FInfos << naam + u"="_s + *tekst;
    }
    const auto bouwInfo = [&](bool gezet, const char* naam) {
        if (!gezet) return;
        const QString n = QString::fromLatin1(naam);
        if (const auto tekst = VersieBlok::TekstWaarde(blok, tabel + n))
            FInfos << n + u"Infos="_s + *tekst;
    };
    bouwInfo(FPrivateBuild, kStringNamen[10]);
    bouwInfo(FSpecialBuild, kStringNamen[11]);
}

QString TkivVerInfo::Zoek(const QStringList& tabel, const QString& sleutel) {
    for (const QString& rij : tabel) {
        const qsizetype is = rij.indexOf(u'=');
        const QStringView deel = is < 0 ? QStringView(rij) : QStringView(rij).left(is);
        if (deel.compare(sleutel, Qt::CaseInsensitive) == 0)
            return is < 0 ? QString() : rij.mid(is + 1);
    }
    return QString();
}
