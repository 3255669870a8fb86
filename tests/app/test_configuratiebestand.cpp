#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <random>

#include "app/ConfiguratieBestand.h"
#include "platform/KorvexError.h"
#include "tests/support/Bestanden.h"
#include "tests/support/TempFolder.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

using korvex::ConfiguratieBestand;

using korvex::test::Lees;
using korvex::test::Schrijf;

namespace {

// Eight values: the given positions set, the rest empty.
QStringList Acht(std::initializer_list<std::pair<int, QString>> gezet) {
    QStringList w(8);
    for (const auto& [i, waarde] : gezet) w[i] = waarde;
    return w;
}

QString Melding(const std::function<void()>& actie) {
    try {
        actie();
    } catch (const korvex::KorvexError& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

}  // namespace

TEST(ConfiguratieBestand, WritesTheEightLinesExactlyAndReplacesAnOldFile) {
    korvex::test::TempFolder tmp;
    const QString pad = tmp.file(QStringLiteral("locatie.zkd"));
    Schrijf(pad, QByteArray(4000, 'z'));
    const QStringList waarden = {QStringLiteral("PC01\\SQLEXPRESS"),
                                 QStringLiteral("sa"),
                                 QStringLiteral(" a=b "),
                                 QStringLiteral("master"),
                                 QString(),
                                 QString(),
                                 QStringLiteral("C:\\Tool\\Café"),
                                 QStringLiteral("BE€1")};
    ConfiguratieBestand::Schrijven(pad, waarden);
    EXPECT_EQ(Lees(pad), QByteArray("P_SQLSERVER=PC01\\SQLEXPRESS\r\nP_INLOGNAAM=sa\r\n"
                                    "P_PASWOORD= a=b \r\nP_DATABASE=master\r\nP_VKMID=\r\n"
                                    "P_PINCODE=\r\nLocatieDatabase=C:\\Tool\\Caf\xE9\r\n"
                                    "BTWnummer=BE\x80"
                                    "1\r\n"));
    EXPECT_EQ(ConfiguratieBestand::Lezen(pad), waarden);

    // A line break cannot end a value early and read back as another key.
    ConfiguratieBestand::Schrijven(pad, {QStringLiteral("SRV\r\nP_INLOGNAAM=x\ny")});
    EXPECT_EQ(ConfiguratieBestand::Lezen(pad), Acht({{0, QStringLiteral("SRV P_INLOGNAAM=x y")}}));
}

TEST(ConfiguratieBestand, ReadingFindsKeysTheWayTheFormatSays) {
    auto metMarkering = [](QStringConverter::Encoding e) {
        QStringEncoder encoder(e, QStringConverter::Flag::WriteBom);
        return QByteArray(encoder(QStringLiteral("P_SQLSERVER=Zoë€中\r\nBTWnummer=9")));
    };
    const QStringList zoe = Acht({{0, QStringLiteral("Zoë€中")}, {7, QStringLiteral("9")}});
    const struct {
        const char* naam;
        QByteArray inhoud;
        QStringList verwacht;
    } gevallen[] = {
        {"lower-case key", "p_sqlserver=SRV2\\SQL\r\n", Acht({{0, QStringLiteral("SRV2\\SQL")}})},
        {"blanks around =", "P_SQLSERVER = SRV2\r\n", Acht({})},
        {"further = in the value", "P_PASWOORD=a=b\r\n", Acht({{2, QStringLiteral("a=b")}})},
        {"empty file", "", Acht({})},
        {"value not trimmed", "P_PINCODE= 12 \r\n", Acht({{5, QStringLiteral(" 12 ")}})},
        {"first line wins", "P_VKMID=1\r\nP_VKMID=2\r\nLocatieDatabase=\r\nLocatieDatabase=x",
         Acht({{4, QStringLiteral("1")}})},
        {"lines without =", "P_VKMID\r\nP_VKMID9\r\n=x\r\n", Acht({})},
        {"CR, LF, CR LF, LF CR, no final break",
         "P_SQLSERVER=A\rP_INLOGNAAM=B\nP_PASWOORD=C\r\nP_DATABASE=D\n\rP_VKMID=E",
         Acht({{0, QStringLiteral("A")},
               {1, QStringLiteral("B")},
               {2, QStringLiteral("C")},
               {3, QStringLiteral("D")},
               {4, QStringLiteral("E")}})},
        {"1252 without a mark", "BTWnummer=BE\xE9\x80\r\n", Acht({{7, QStringLiteral("BEé€")}})},
        {"utf-8 mark", metMarkering(QStringConverter::Utf8), zoe},
        {"utf-16le mark", metMarkering(QStringConverter::Utf16LE), zoe},
        {"utf-16be mark", metMarkering(QStringConverter::Utf16BE), zoe},
    };
    korvex::test::TempFolder tmp;
    const QString pad = tmp.file(QStringLiteral("in.zkd"));
    for (const auto& g : gevallen) {
        Schrijf(pad, g.inhoud);
        EXPECT_EQ(ConfiguratieBestand::Lezen(pad), g.verwacht) << g.naam;
    }
}

TEST(ConfiguratieBestand, FailuresCarryTheFileNameAndTheReasonAndChangeNothing) {
    korvex::test::TempFolder tmp;
    const QString ontbreekt = tmp.file(QStringLiteral("ontbreekt/x.zkd"));
    const QString map = tmp.file(QStringLiteral("map"));
    ASSERT_TRUE(QDir(tmp.path()).mkdir(QStringLiteral("map")));
    // Read-only by its permission bits, which root would otherwise ignore.
    const QString alleenLezen = tmp.file(QStringLiteral("alleen-lezen.zkd"));
    Schrijf(alleenLezen, "P_SQLSERVER=OUD\r\n");
    ASSERT_TRUE(QFile::setPermissions(alleenLezen, QFile::ReadOwner | QFile::ReadGroup));

    const struct {
        std::function<void()> actie;
        QString pad;
        const char* soort;
    } gevallen[] = {
        {[&] { ConfiguratieBestand::Schrijven(ontbreekt, {}); }, ontbreekt, "create"},
        {[&] { ConfiguratieBestand::Schrijven(map, {}); }, map, "create"},
        {[&] { ConfiguratieBestand::Schrijven(alleenLezen, {}); }, alleenLezen, "create"},
        {[&] { ConfiguratieBestand::Lezen(ontbreekt); }, ontbreekt, "open"},
        {[&] { ConfiguratieBestand::Lezen(map); }, map, "open"},
    };
    for (const auto& g : gevallen) {
        const QString begin = QStringLiteral("Cannot %1 file \"%2\". ").arg(g.soort, g.pad);
        const QString melding = Melding(g.actie);
        EXPECT_TRUE(melding.startsWith(begin)) << melding.toStdString();
        EXPECT_GT(melding.size(), begin.size()) << "no reason in " << melding.toStdString();
    }
    EXPECT_FALSE(QFile::exists(ontbreekt));
    EXPECT_TRUE(QDir(map).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_EQ(Lees(alleenLezen), "P_SQLSERVER=OUD\r\n");
}

#ifdef Q_OS_UNIX
TEST(ConfiguratieBestand, ShortWriteKeepsTheOldFileAndIsReported) {
    korvex::test::TempFolder tmp;
    const QString pad = tmp.file(QStringLiteral("x.zkd"));
    Schrijf(pad, "P_SQLSERVER=OUD\r\n");
    // The disk fills up after a few bytes of the new file.
    rlimit oud{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oud), 0);
    const auto vorigeSignaal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit krap = oud;
    krap.rlim_cur = 40;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &krap), 0);
    const QString melding =
        Melding([&] { ConfiguratieBestand::Schrijven(pad, {QString(200, u's')}); });
    setrlimit(RLIMIT_FSIZE, &oud);
    std::signal(SIGXFSZ, vorigeSignaal);
    EXPECT_TRUE(melding.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(pad)))
        << melding.toStdString();
    EXPECT_EQ(Lees(pad), "P_SQLSERVER=OUD\r\n");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"x.zkd"});
}
#endif

TEST(ConfiguratieBestand, HostileFilesAreRefusedWholeOrReadWithinBounds) {
    korvex::test::TempFolder tmp;
    std::mt19937 willekeur(42);
    QByteArray binair("\0\0\xFF", 3);
    for (int i = 0; i < 256 * 1024; ++i) binair.append(char(willekeur() & 0xFF));
    binair.insert(1000, QByteArray("\nP_VKMID=42\n"));
    Schrijf(tmp.file(QStringLiteral("binair.zkd")), binair);
    EXPECT_EQ(ConfiguratieBestand::Lezen(tmp.file(QStringLiteral("binair.zkd"))).value(4), "42");

    // A value as long as a field takes comes in whole.
    const QString lang = tmp.file(QStringLiteral("lang.zkd"));
    Schrijf(lang, "P_PASWOORD=" + QByteArray(100000, 'p') + "\r\n");
    EXPECT_EQ(ConfiguratieBestand::Lezen(lang).value(2).size(), 100000);

    const struct {
        const char* naam;
        std::function<void(const QString&)> maak;
        const char* reden;
    } gevallen[] = {
        // Cut short, it would lose the end of a value or a key without a word.
        {"groot.zkd",
         [](const QString& p) {
             Schrijf(p, "P_SQLSERVER=SRV\r\n");
             ASSERT_TRUE(QFile::resize(p, qint64(8) << 30));
         },
         "File too large"},
        {"te-lang.zkd",
         [](const QString& p) { Schrijf(p, "P_PASWOORD=" + QByteArray(100001, 'p') + "\r\n"); },
         "Value too long"},
#ifdef Q_OS_UNIX
        // Opening a pipe nobody writes to would block the window forever.
        {"pijp.zkd",
         [](const QString& p) { ASSERT_EQ(mkfifo(QFile::encodeName(p).constData(), 0600), 0); },
         "Not a regular file"},
        {"nul.zkd",
         [](const QString& p) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), p)); },
         "Not a regular file"},
#else
        // Windows' device names stand for a device in every folder.
        {"NUL", [](const QString&) {}, "Not a regular file"},
        {"com1.zkd", [](const QString&) {}, "Not a regular file"},
#endif
    };
    for (const auto& g : gevallen) {
        const QString pad = tmp.file(QString::fromLatin1(g.naam));
        g.maak(pad);
        EXPECT_EQ(Melding([&] { ConfiguratieBestand::Lezen(pad); }),
                  QStringLiteral("Cannot open file \"%1\". %2").arg(pad, QLatin1String(g.reden)));
    }
#ifdef Q_OS_UNIX
    // Saving onto a pipe would block as well.
    EXPECT_EQ(Melding([&] { ConfiguratieBestand::Schrijven(tmp.file("pijp.zkd"), {}); }),
              QStringLiteral("Cannot create file \"%1\". Not a regular file")
                  .arg(tmp.file("pijp.zkd")));
#endif
}

#ifdef Q_OS_UNIX
TEST(ConfiguratieBestand, WritableFileInAReadOnlyFolderIsWrittenInPlace) {
    korvex::test::TempFolder tmp;
    const QString pad = tmp.file(QStringLiteral("x.zkd"));
    Schrijf(pad, "P_SQLSERVER=OUD\r\n");
    ASSERT_TRUE(QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::ExeOwner));
    QString melding;
    {
        korvex::test::AlsGewoneGebruiker gewoon;
        melding = Melding([&] { ConfiguratieBestand::Schrijven(pad, {QStringLiteral("NIEUW")}); });
    }
    ASSERT_TRUE(QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner));
    EXPECT_EQ(melding, "<no error>");
    EXPECT_EQ(ConfiguratieBestand::Lezen(pad).value(0), "NIEUW");
}
#endif
