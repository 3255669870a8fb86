#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <stdexcept>

#include "app/InstellingenOpslag.h"
#include "platform/KorvexError.h"
#include "tests/support/Bestanden.h"
#include "tests/support/TempFolder.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif
#ifdef Q_OS_LINUX
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdarg>

// Where a folder cannot be made immutable here, the unnamed file that the
// save file opens in it first is refused with EPERM all the same: this
// stands in for the C library's open64, which Qt calls for it.
static QByteArray weigerMap;
extern "C" int open64(const char* pad, int vlaggen, ...) {
    va_list a;
    va_start(a, vlaggen);
    const mode_t modus = (vlaggen & (O_CREAT | __O_TMPFILE)) ? va_arg(a, mode_t) : 0;
    va_end(a);
    if (!weigerMap.isEmpty() && (vlaggen & __O_TMPFILE) && QDir::cleanPath(pad) == weigerMap)
        return errno = EPERM, -1;
    using Open = int (*)(const char*, int, ...);
    return reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open64"))(pad, vlaggen, modus);
}

namespace {
// While it lives, the folder refuses new entries with EPERM: immutable where
// the machine allows it, else through open64 above.
class WeigertNieuweBestanden {
  public:
    explicit WeigertNieuweBestanden(const QString& map) : map_(QFile::encodeName(map)) {
        if (!zet(true)) weigerMap = QFile::encodeName(QDir::cleanPath(map));
    }
    ~WeigertNieuweBestanden() { weigerMap.isEmpty() ? (void)zet(false) : weigerMap.clear(); }

  private:
    bool zet(bool aan) {
        const int fd = ::open(map_.constData(), O_RDONLY | O_DIRECTORY);
        int v = 0;
        const bool gelukt = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &v) == 0 &&
                            (v = aan ? v | FS_IMMUTABLE_FL : v & ~FS_IMMUTABLE_FL,
                             ::ioctl(fd, FS_IOC_SETFLAGS, &v) == 0);
        if (fd >= 0) ::close(fd);
        return gelukt;
    }
    QByteArray map_;
};
}  // namespace
#endif

using korvex::InstellingenOpslag;
using korvex::KorvexError;

using korvex::test::AlsGewoneGebruiker;
using korvex::test::Lees;
using korvex::test::Schrijf;

namespace {

// The nine controls, holding the values of the window's creation step.
struct Velden {
    bool updates = false;
    QString database = QStringLiteral("master"), inlognaam = QStringLiteral("sa"), paswoord,
            pincode, sqlserver = QStringLiteral("PC01\\SQLEXPRESS"), vkmid,
            locatie = QStringLiteral("/opt/korvex/Café/DATABASES"), btw;
};

std::vector<InstellingenOpslag::Waarde> Waarden(Velden& v) {
    std::vector<InstellingenOpslag::Waarde> w{InstellingenOpslag::vinkje(
        QStringLiteral("P_UPDATES"), [&v] { return v.updates; }, [&v](bool b) { v.updates = b; })};
    const std::pair<const char*, QString*> teksten[] = {
        {"P_DATABASE", &v.database},     {"P_INLOGNAAM", &v.inlognaam}, {"P_PASWOORD", &v.paswoord},
        {"P_PINCODE", &v.pincode},       {"P_SQLSERVER", &v.sqlserver}, {"P_VKMID", &v.vkmid},
        {"LocatieDatabase", &v.locatie}, {"BTWnummer", &v.btw}};
    for (auto [naam, veld] : teksten)
        w.push_back(InstellingenOpslag::tekst(
            QString::fromLatin1(naam), [veld] { return *veld; },
            [veld](const QString& t) { *veld = t; }));
    return w;
}

QByteArray Regels(std::initializer_list<const char*> regels) {
    QByteArray uit;
    for (const char* r : regels) uit += QByteArray(r) + "\r\n";
    return uit;
}

QByteArray Sectie(const QByteArray& elementen) {
    return "<Configuration><Hoofdscherm>" + elementen + "</Hoofdscherm></Configuration>";
}

const QByteArray kEersteRun = Regels({
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>",
    "<Configuration>",
    "  <Hoofdscherm>",
    "    <FormVersion>0</FormVersion>",
    "    <P_UPDATES_Checked>FALSE</P_UPDATES_Checked>",
    "    <P_DATABASE_Text>master</P_DATABASE_Text>",
    "    <P_INLOGNAAM_Text>sa</P_INLOGNAAM_Text>",
    "    <P_PASWOORD_Text/>",
    "    <P_PINCODE_Text/>",
    "    <P_SQLSERVER_Text>PC01\\SQLEXPRESS</P_SQLSERVER_Text>",
    "    <P_VKMID_Text/>",
    "    <LocatieDatabase_Text>/opt/korvex/Caf\xE9/DATABASES</LocatieDatabase_Text>",
    "    <BTWnummer_Text/>",
    "  </Hoofdscherm>",
    "</Configuration>",
});

class InstellingenOpslagTest : public ::testing::Test {
  protected:
    // One run of the tool: load, apply over the defaults, let the operator
    // type, collect and write. Returns what the window showed after Apply.
    Velden Run(const std::function<void(Velden&)>& typen = {}, const QString& bestand = {}) {
        Velden v;
        InstellingenOpslag opslag(bestand.isEmpty() ? pad : bestand, QStringLiteral("Hoofdscherm"),
                                  Waarden(v));
        opslag.Load();
        alleenLezen = opslag.ReadOnly();
        opslag.Apply();
        const Velden getoond = v;
        if (typen) typen(v);
        opslag.Collect();
        geschreven = opslag.Write();
        return getoond;
    }

    korvex::test::TempFolder tmp;
    QString pad = tmp.file(QStringLiteral("KorvexSQLServer.xml"));
    bool geschreven = false;
    bool alleenLezen = false;
};

}  // namespace

TEST_F(InstellingenOpslagTest, FirstRunCreatesTheFolderAndTheExactFile) {
    const QString nieuw = tmp.file(QStringLiteral("programma/KorvexSQLServer.xml"));
    Run({}, nieuw);
    EXPECT_TRUE(geschreven);
    EXPECT_EQ(Lees(nieuw), kEersteRun);
}

TEST_F(InstellingenOpslagTest, EscapedCharactersSurviveARestart) {
    const QString paswoord = QStringLiteral("a&b<c\"d'e>f€中😀Łé\r");
    Run([&](Velden& v) {
        v.paswoord = paswoord;
        v.pincode = QStringLiteral("  ");  // blanks only are a value too
        v.updates = true;
    });
    EXPECT_TRUE(
        Lees(pad).contains("<P_PASWOORD_Text>a&amp;b&lt;c&quot;d&apos;e&gt;f&#x20AC;&#x4E2D;"
                           "&#x1F600;&#x141;\xE9&#x0D;</P_PASWOORD_Text>\r\n"))
        << Lees(pad).toStdString();
    const Velden terug = Run();
    EXPECT_EQ(terug.paswoord, paswoord);
    EXPECT_EQ(terug.pincode, QStringLiteral("  "));
    EXPECT_TRUE(terug.updates);
}

TEST_F(InstellingenOpslagTest, BooleanWordsAndNumbers) {
    const std::pair<const char*, bool> gevallen[] = {
        {"yes", true}, {"1", true},   {"0", false}, {"maybe", false}, {"TrUe", true},
        {"Y", true},   {"no", false}, {"-3", true}, {"0.0", false},   {"", false}};
    for (auto [tekst, aan] : gevallen) {
        Schrijf(pad, Sectie("<P_UPDATES_Checked>" + QByteArray(tekst) + "</P_UPDATES_Checked>"));
        EXPECT_EQ(Run().updates, aan) << tekst;
        EXPECT_TRUE(Lees(pad).contains(aan ? ">TRUE</P_UPDATES" : ">FALSE</P_UPDATES")) << tekst;
    }
}

TEST_F(InstellingenOpslagTest, FormVersionDecidesWhetherValuesAreApplied) {
    const std::pair<const char*, bool> gevallen[] = {{"<FormVersion>abc</FormVersion>", false},
                                                     {"<FormVersion>-1</FormVersion>", false},
                                                     {"<FormVersion/>", false},
                                                     {"<FormVersion>3</FormVersion>", true},
                                                     {"", true}};
    for (auto [versie, toegepast] : gevallen) {
        Schrijf(pad, Sectie(versie + QByteArray("<P_SQLSERVER_Text>SRV9</P_SQLSERVER_Text>"
                                                "<P_DATABASE_Text/>")));
        const Velden getoond = Run();
        EXPECT_EQ(getoond.sqlserver, toegepast ? "SRV9" : "PC01\\SQLEXPRESS") << versie;
        // A stored empty value wins over the default as well.
        EXPECT_EQ(getoond.database, toegepast ? "" : "master") << versie;
        // Afterwards the file holds version 0 and the values of the run.
        EXPECT_TRUE(Lees(pad).contains("    <FormVersion>0</FormVersion>\r\n")) << versie;
        EXPECT_EQ(Run().sqlserver, getoond.sqlserver) << versie;
    }
}

TEST_F(InstellingenOpslagTest, MissingElementKeepsTheDefaultAndIsAddedLast) {
    Schrijf(pad, Sectie("<FormVersion>0</FormVersion><BTWnummer_Text>BE1</BTWnummer_Text>"
                        "<P_UPDATES_Checked>1</P_UPDATES_Checked><P_DATABASE_Text/>"
                        "<P_INLOGNAAM_Text/><P_PASWOORD_Text/><P_PINCODE_Text/><P_VKMID_Text/>"
                        "<LocatieDatabase_Text/>"));
    const Velden getoond = Run();
    EXPECT_EQ(getoond.sqlserver, "PC01\\SQLEXPRESS");
    EXPECT_EQ(getoond.btw, "BE1");
    EXPECT_TRUE(getoond.updates);
    EXPECT_TRUE(Lees(pad).contains(
        Regels({"    <FormVersion>0</FormVersion>", "    <BTWnummer_Text>BE1</BTWnummer_Text>",
                "    <P_UPDATES_Checked>TRUE</P_UPDATES_Checked>"})));
    EXPECT_TRUE(Lees(pad).endsWith(Regels(
        {"    <LocatieDatabase_Text/>", "    <P_SQLSERVER_Text>PC01\\SQLEXPRESS</P_SQLSERVER_Text>",
         "  </Hoofdscherm>", "</Configuration>"})));
}

TEST_F(InstellingenOpslagTest, UnknownContentRootNameAndDeclarationAreWrittenBack) {
    Schrijf(pad,
            "<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"yes\"?>\n"
            "<!-- by hand -->\n<Instellingen versie=\"2\">\n"
            "\t<Ander>los<X>1</X><Leeg></Leeg></Ander>\n\t<Hoofdscherm>\n"
            "\t\t<FormVersion>0</FormVersion>\n\t\t<!-- support: server moved -->\n"
            "\t\t<P_SQLSERVER_Text>SRV2\\SQL</P_SQLSERVER_Text>\n"
            "\t\t<Onbekend soort=\"a&amp;b\">tekst &lt;x&gt;</Onbekend>\n\t\t<?verwerk dit?>\n"
            "\t\t<P_DATABASE_Text></P_DATABASE_Text>\n\t</Hoofdscherm>\n</Instellingen>\n");
    EXPECT_EQ(Run().sqlserver, "SRV2\\SQL");
    EXPECT_EQ(
        Lees(pad),
        Regels({"<?xml version=\"1.0\" encoding=\"windows-1252\" standalone=\"yes\"?>",
                "<!-- by hand -->",
                "<Instellingen versie=\"2\">",
                "  <Ander>",
                "    los",
                "    <X>1</X>",
                "    <Leeg/>",
                "  </Ander>",
                "  <Hoofdscherm>",
                "    <FormVersion>0</FormVersion>",
                "    <!-- support: server moved -->",
                "    <P_SQLSERVER_Text>SRV2\\SQL</P_SQLSERVER_Text>",
                "    <Onbekend soort=\"a&amp;b\">tekst &lt;x&gt;</Onbekend>",
                "    <?verwerk dit?>",
                "    <P_DATABASE_Text/>",
                "    <P_UPDATES_Checked>FALSE</P_UPDATES_Checked>",
                "    <P_INLOGNAAM_Text>sa</P_INLOGNAAM_Text>",
                "    <P_PASWOORD_Text/>",
                "    <P_PINCODE_Text/>",
                "    <P_VKMID_Text/>",
                "    <LocatieDatabase_Text>/opt/korvex/Caf\xE9/DATABASES</LocatieDatabase_Text>",
                "    <BTWnummer_Text/>",
                "  </Hoofdscherm>",
                "</Instellingen>"}));
}

TEST_F(InstellingenOpslagTest, ByteOrderMarkedFilesAreReadAndWrittenBackAsAnsi) {
    for (auto codering : {QStringConverter::Utf16LE, QStringConverter::Utf8}) {
        QStringEncoder encoder(codering, QStringConverter::Flag::WriteBom);
        Schrijf(pad, encoder(QStringLiteral("<Configuration><Hoofdscherm><P_SQLSERVER_Text>Zoë€中"
                                            "</P_SQLSERVER_Text></Hoofdscherm></Configuration>")));
        EXPECT_EQ(Run().sqlserver, QStringLiteral("Zoë€中"));
        EXPECT_TRUE(Lees(pad).startsWith("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"));
        EXPECT_TRUE(Lees(pad).contains(">Zo\xEB&#x20AC;&#x4E2D;</P_SQLSERVER_Text>"));
    }
}

TEST_F(InstellingenOpslagTest, ReadOnlyFileIsAppliedButNeverWritten) {
    // Decided from the permission bits, so this holds for root as well.
    Run([](Velden& v) { v.sqlserver = QStringLiteral("OUD"); });
    const QByteArray voor = Lees(pad);
    ASSERT_TRUE(QFile::setPermissions(pad, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    EXPECT_EQ(Run([](Velden& v) { v.sqlserver = QStringLiteral("NIEUW"); }).sqlserver, "OUD");
    EXPECT_TRUE(alleenLezen);
    EXPECT_FALSE(geschreven);
    EXPECT_EQ(Lees(pad), voor);

    ASSERT_TRUE(QFile::setPermissions(pad, QFile::ReadOwner | QFile::WriteOwner));
    Run();
    EXPECT_FALSE(alleenLezen);
}

TEST_F(InstellingenOpslagTest, FailedWriteLeavesThePreviousFileWhole) {
    Run();
    const QByteArray voor = Lees(pad);
    const auto rechten = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(pad, rechten));
#ifdef Q_OS_UNIX
    // The disk fills up half-way through the new file.
    rlimit oud{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oud), 0);
    const auto vorigeSignaal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit krap = oud;
    krap.rlim_cur = rlim_t(voor.size() + 100);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &krap), 0);
    Run([](Velden& v) { v.paswoord = QString(5000, u'x'); });
    setrlimit(RLIMIT_FSIZE, &oud);
    std::signal(SIGXFSZ, vorigeSignaal);
    EXPECT_FALSE(geschreven);
    EXPECT_EQ(Lees(pad), voor);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("KorvexSQLServer.xml")});
#endif
    // A successful write keeps the file's permissions.
    Run([](Velden& v) { v.vkmid = QStringLiteral("42"); });
    EXPECT_TRUE(geschreven);
    EXPECT_TRUE(Lees(pad).contains("<P_VKMID_Text>42</P_VKMID_Text>"));
#ifdef _WIN32
    // Windows keeps one read-only attribute, which Qt shows for every class alike.
    EXPECT_EQ(QFile::permissions(pad) & 0x7077, 0x6066);
#else
    EXPECT_EQ(QFile::permissions(pad) & 0x7077, rechten);
#endif

    // The program folder cannot be made: a file has its name.
    Schrijf(tmp.file(QStringLiteral("blok")), "inhoud");
    Run({}, tmp.file(QStringLiteral("blok/KorvexSQLServer.xml")));
    EXPECT_FALSE(geschreven);
    EXPECT_EQ(Lees(tmp.file(QStringLiteral("blok"))), "inhoud");
}

TEST_F(InstellingenOpslagTest, NotWellFormedFileStartsWithDefaultsAndIsKept) {
    const QByteArray kapot =
        "<Configuration><Hoofdscherm><P_SQLSERVER_Text>HANDWERK</P_SQLSERVER_Text>";
    // Without a place for the copy the unreadable file is not replaced.
    Schrijf(pad, kapot);
    ASSERT_TRUE(QDir(tmp.path()).mkdir(QStringLiteral("KorvexSQLServer.xml.bak")));
    Run();
    EXPECT_FALSE(geschreven);
    EXPECT_EQ(Lees(pad), kapot);

    ASSERT_TRUE(QDir(tmp.path()).rmdir(QStringLiteral("KorvexSQLServer.xml.bak")));
    EXPECT_EQ(Run().sqlserver, "PC01\\SQLEXPRESS");
    EXPECT_EQ(Lees(pad), kEersteRun);
    EXPECT_EQ(Lees(pad + QStringLiteral(".bak")), kapot);
}

#ifdef Q_OS_UNIX
TEST_F(InstellingenOpslagTest, HostileFilesStartWithDefaultsAndAreKeptOrReplaced) {
    auto genest = [](int niveaus) {
        QByteArray open, dicht;
        for (int i = 1; i < niveaus; ++i) {
            open += "<n>";
            dicht.prepend("</n>");
        }
        return "<Configuration><Hoofdscherm><P_SQLSERVER_Text>DIEP</P_SQLSERVER_Text>"
               "</Hoofdscherm>" +
               open + dicht + "</Configuration>";
    };
    auto waarde = [](qsizetype lengte) {
        return Sectie("<P_SQLSERVER_Text>" + QByteArray(lengte, 'w') + "</P_SQLSERVER_Text>");
    };
    const struct {
        const char* wat;
        std::function<void(const QString&)> maak;
        QString server;  // shown after Apply
        bool bewaard;    // kept as .bak
    } gevallen[] = {
        {"64 levels are read", [&](const QString& p) { Schrijf(p, genest(64)); }, "DIEP", false},
        {"65 levels are not", [&](const QString& p) { Schrijf(p, genest(65)); }, "PC01\\SQLEXPRESS",
         true},
        {"10,000 levels", [&](const QString& p) { Schrijf(p, genest(10000)); }, "PC01\\SQLEXPRESS",
         true},
        {"a value as long as a field takes", [&](const QString& p) { Schrijf(p, waarde(100000)); },
         QString(100000, u'w'), false},
        {"a longer value", [&](const QString& p) { Schrijf(p, waarde(100001)); },
         "PC01\\SQLEXPRESS", true},
        {"a file over 16 MiB",
         [](const QString& p) {
             Schrijf(p, Sectie("<P_SQLSERVER_Text>GROOT</P_SQLSERVER_Text>"));
             ASSERT_TRUE(QFile::resize(p, 16 * 1024 * 1024 + 1));
         },
         "PC01\\SQLEXPRESS", true},
        {"a named pipe",
         [](const QString& p) { ASSERT_EQ(mkfifo(QFile::encodeName(p).constData(), 0600), 0); },
         "PC01\\SQLEXPRESS", false},
        {"a link to an endless device",
         [](const QString& p) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), p)); },
         "PC01\\SQLEXPRESS", false},
    };
    for (const auto& g : gevallen) {
        SCOPED_TRACE(g.wat);
        QFile::remove(pad);
        QFile::remove(pad + QStringLiteral(".bak"));
        g.maak(pad);
        QByteArray voor;
        if (g.bewaard) voor = Lees(pad);
        EXPECT_EQ(Run().sqlserver, g.server);
        EXPECT_TRUE(geschreven);
        const QFileInfo info(pad);
        EXPECT_TRUE(info.isFile() && !info.isSymLink());
        EXPECT_EQ(QFileInfo::exists(pad + QStringLiteral(".bak")), g.bewaard);
        if (g.bewaard) {
            EXPECT_EQ(Lees(pad + QStringLiteral(".bak")), voor);
            EXPECT_EQ(Lees(pad), kEersteRun);
        }
        // Whatever was read is written back at a size near what was read.
        EXPECT_LT(info.size(), 200000 + 64 * 1024);
        // The next run reads the file written.
        EXPECT_EQ(Run().sqlserver, g.server);
    }
}

TEST_F(InstellingenOpslagTest, ReadOnlyFolderStillTakesTheSettingsInPlace) {
    Run();
#ifdef Q_OS_LINUX
    {
        // Refused with EPERM, not EACCES, as an immutable folder refuses.
        WeigertNieuweBestanden weigert(tmp.path());
        Run([](Velden& v) { v.vkmid = QStringLiteral("43"); });
        EXPECT_TRUE(geschreven && Lees(pad).contains("<P_VKMID_Text>43</P_VKMID_Text>"));
    }
#endif
    Schrijf(tmp.file(QStringLiteral("kapot.xml")), "<Configuration><Hoofd");
    ASSERT_TRUE(QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::ExeOwner));
    {
        AlsGewoneGebruiker gewoon;
        Run([](Velden& v) { v.vkmid = QStringLiteral("42"); });
        EXPECT_TRUE(geschreven);
        // An unreadable file cannot get its copy here; what was typed counts.
        Run({}, tmp.file(QStringLiteral("kapot.xml")));
        EXPECT_TRUE(geschreven);
    }
    ASSERT_TRUE(
        QFile::setPermissions(tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(Lees(pad).contains("<P_VKMID_Text>42</P_VKMID_Text>"));
    EXPECT_EQ(Lees(tmp.file(QStringLiteral("kapot.xml"))), kEersteRun);
    QStringList bestanden = QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden);
    bestanden.sort();
    EXPECT_EQ(bestanden, QStringList({"KorvexSQLServer.xml", "kapot.xml"}));
}
#endif

TEST_F(InstellingenOpslagTest, FailingControlDoesNotStopTheOthers) {
    Schrijf(pad, Sectie("<Eerste_Text>1</Eerste_Text><Kapot_Text>2</Kapot_Text>"
                        "<Laatste_Text>3</Laatste_Text>"));
    QString eerste, laatste;
    auto waarde = [](const char* naam, QString& veld) {
        return InstellingenOpslag::tekst(
            QString::fromLatin1(naam), [&veld] { return veld + u'!'; },
            [&veld](const QString& t) { veld = t; });
    };
    InstellingenOpslag opslag(
        pad, QStringLiteral("Hoofdscherm"),
        {waarde("Eerste", eerste),
         InstellingenOpslag::tekst(
             QStringLiteral("Kapot"), []() -> QString { throw std::runtime_error("get"); },
             [](const QString&) { throw KorvexError(QStringLiteral("set")); }),
         waarde("Laatste", laatste)});
    opslag.Load();
    opslag.Apply();
    EXPECT_EQ(eerste + laatste, "13");
    opslag.Collect();
    EXPECT_TRUE(opslag.Inhoud().contains(
        Regels({"    <Eerste_Text>1!</Eerste_Text>", "    <Kapot_Text>2</Kapot_Text>",
                "    <Laatste_Text>3!</Laatste_Text>"})));
}

TEST(InstellingenOpslag, ElementNames) {
    EXPECT_EQ(InstellingenOpslag::ElementNaam(QStringLiteral("a.b-c:d_E9")), "a.b-c:d_E9");
    EXPECT_EQ(InstellingenOpslag::ElementNaam(QStringLiteral("Veld/1#Zoë")), "Veld_1_Zo_");
    for (const char* fout : {"met spatie", "tab\t", ""})
        EXPECT_THROW(InstellingenOpslag::ElementNaam(QString::fromLatin1(fout)), KorvexError)
            << fout;
    EXPECT_THROW(InstellingenOpslag(QStringLiteral("x.xml"), QStringLiteral("Hoofd scherm"), {}),
                 KorvexError);
}
