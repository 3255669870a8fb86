#include <QPlainTextEdit>
#include <QTcpSocket>
#include <QToolButton>

#include "tests/update/UpdateFixture.h"
#include "update/Profielbestand.h"

namespace korvex::test {
namespace {

QByteArray Utf16(const QString& tekst) {
    QByteArray uit("\xFF\xFE");
    uit.append(reinterpret_cast<const char*>(tekst.utf16()), tekst.size() * 2);
    return uit;
}

struct ProfielGeval {
    const char* naam;
    QByteArray inhoud;
    const char* sleutel;
    QString verwacht;
};

void PrintTo(const ProfielGeval& g, std::ostream* os) {
    *os << g.naam;
}

class ProfielRegel : public ::testing::TestWithParam<ProfielGeval> {};

TEST_P(ProfielRegel, LeestDeWaardeVanDeSectie) {
    const ProfielGeval& g = GetParam();
    EXPECT_EQ(Profielbestand(g.inhoud).waarde(u"KorvexSQL", QString::fromLatin1(g.sleutel)),
              g.verwacht);
}

const QByteArray kLang(3000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Manifest, ProfielRegel,
    ::testing::Values(
        ProfielGeval{"plain", "[KorvexSQL]\r\nVersion=9.0.1.3\r\n", "Version", "9.0.1.3"},
        ProfielGeval{"names_without_case_blanks_and_quotes",
                     "  [ korvexsql ]  \nVERSION =  \"9.0.1.3\"  \nMD5Hash= 'AB' \n", "version",
                     "9.0.1.3"},
        ProfielGeval{"single_quotes", "[KorvexSQL]\rMD5Hash= 'AB' \r", "MD5Hash", "AB"},
        ProfielGeval{"unpaired_quotes_stay", "[KorvexSQL]\nVersion=\"9.0'\n", "Version", "\"9.0'"},
        ProfielGeval{"only_the_first_section_of_the_name",
                     "[Ander]\nVersion=1\n[KorvexSQL]\nSQLVersion=2\n[KORVEXSQL]\nVersion=3\n",
                     "Version", ""},
        ProfielGeval{"first_key_wins", "[KorvexSQL]\nVersion=1\nVersion=2\n", "Version", "1"},
        ProfielGeval{"other_section_ignored", "[KorvexSQLX]\nVersion=1\n", "Version", ""},
        ProfielGeval{"value_cut_at_2047", "[KorvexSQL]\nReadmeFileURL=" + kLang + "\n",
                     "ReadmeFileURL", QString(2047, u'x')},
        ProfielGeval{"ansi_is_windows_1252", "[KorvexSQL]\nVersion=9\x80\xE9\n", "Version",
                     QStringLiteral("9€é")},
        ProfielGeval{"utf16_with_mark",
                     Utf16(QStringLiteral("[KorvexSQL]\r\nVersion=9.0.1.3 ✓\r\n")), "Version",
                     QStringLiteral("9.0.1.3 ✓")},
        ProfielGeval{
            "binary_junk_around",
            QByteArray("\x00\x01\xFF\n[KorvexSQL]\n", 16) + "Version=7\n" + QByteArray(5000, '\0'),
            "Version", "7"},
        ProfielGeval{"megabytes_before_the_section",
                     QByteArray(4 * 1024 * 1024, 'a') + "\n[KorvexSQL]\nVersion=8", "Version",
                     "8"}));

TEST(VersieVergelijking, VergelijktTekensNietGetallen) {
    struct Geval {
        QString a, b;
        bool kleiner;
    };
    const Geval gevallen[] = {{"9.0.1.20", "9.0.1.3", true},
                              {"9.0.1.20", "9.0.1.200", true},
                              {"9.0.1.20", "9.0.1.2", false},
                              {"9.0.1.20", "9.0.1.20", false},
                              {"", "1", true},
                              {"", "", false},
                              {"a", "B", false},
                              {QStringLiteral("\U0001F600"), QStringLiteral("\uFFFF"), true}};
    for (const Geval& g : gevallen)
        EXPECT_EQ(TLumoAppUpdate::Kleiner(g.a, g.b), g.kleiner)
            << g.a.toStdString() << " < " << g.b.toStdString();
}

TEST(VersieVergelijking, SectieIsDeProgrammanaamTotDeEerstePunt) {
    EXPECT_EQ(TLumoAppUpdate::SectieVanProgramma("/opt/korvex/KorvexSQL"), "KorvexSQL");
    EXPECT_EQ(TLumoAppUpdate::SectieVanProgramma("C:/Korvex/KorvexSQL.v2.exe"), "KorvexSQL");
}

class Controle : public UpdateTest {};

TEST_F(Controle, BiedtDeUpdateAanVolgensDeTekstvergelijking) {
    struct Geval {
        QString lopend, manifest;
        bool aangeboden;
    };
    const Geval gevallen[] = {{"9.0.1.20", "9.0.1.3", true},
                              {"9.0.1.20", "9.0.1.200", true},
                              {"9.0.1.20", "9.0.1.2", false},
                              {"9.0.1.20", "9.0.1.20", false},
                              {"", "1.0.0.0", true}};
    for (const Geval& g : gevallen) {
        SCOPED_TRACE(g.lopend.toStdString() + " -> " + g.manifest.toStdString());
        update.Version = g.lopend;
        manifest("[KorvexSQL]\r\nVersion=" + g.manifest.toLatin1() + "\r\n");
        platform.dialogs.clear();
        if (!g.aangeboden) platform.answer(DialogResult::OK);
        EXPECT_EQ(controleer(), g.aangeboden);
        if (g.aangeboden) {
            EXPECT_TRUE(platform.dialogs.empty());
        } else {
            ASSERT_EQ(platform.dialogs.size(), 1u);
            EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Information);
            EXPECT_EQ(platform.dialogs[0].text, "Er is geen nieuwe versie beschikbaar.");
        }
    }
    EXPECT_TRUE(platform.opened.isEmpty());
}

TEST_F(Controle, NieuwereScriptversieGeeftDeWaarschuwingEnGeenVenster) {
    update.Version = "1.0";
    manifest(
        "[KorvexSQL]\nVersion=2.0\nSQLVersion=2026.12\nDownloadFileURL=http://127.0.0.1:9/a.exe\n");
    platform.answer(DialogResult::OK);
    EXPECT_FALSE(controleer());
    ASSERT_EQ(platform.dialogs.size(), 1u);
    const SystemBoxRequest& box = platform.dialogs[0].system;
    EXPECT_EQ(platform.dialogs[0].type, "system");
    EXPECT_EQ(box.caption, "SQL scripts controle is mislukt");
    EXPECT_EQ(box.text,
              "U kunt de beschikbare update momenteel niet installeren.\r\n\r\n"
              "Zelvo Korvex  beschikt niet over de juiste database versie en u moet vooraf de SQL "
              "scripts uitvoeren.\r\n\r\nNoodzakelijke versie SQL scripts: 2026.12");
    EXPECT_EQ(box.buttons, unsigned(BtnOK));
    EXPECT_EQ(box.icon, SystemIcon::Warning);
    EXPECT_FALSE(box.withOwner);
    EXPECT_TRUE(box.topmost);
}

TEST_F(Controle, OnbereikbareServerVraagtOmDeWebsite) {
    QTcpSocket dicht;  // bound and never listening: nothing answers there
    ASSERT_TRUE(BindZonderLuisteren(dicht));
    // No status: no connection, where libcurl's wording follows the code.
    const struct {
        QByteArray status;
        QString pagina;
    } gevallen[] = {{"404 Niet gevonden", kWebsite},
                    {"404 Niet gevonden", ""},
                    {"401 Unauthorized", kWebsite},
                    {"407 Proxy Authentication Required", ""},
                    {"302 Found", kWebsite},
                    {"302 Found", ""},
                    {"", kWebsite},
                    {"", ""}};
    for (const auto& g : gevallen) {
        SCOPED_TRACE(g.status.toStdString() + " " + g.pagina.toStdString());
        peer.respond(kManifestPad, Antwoord("[KorvexSQL]\nVersion=99\n", g.status));
        update.UpdateFileURL = g.status.isEmpty()
                                   ? QStringLiteral("http://127.0.0.1:%1/").arg(dicht.localPort())
                                   : peer.url(kManifestPad);
        update.UpdatePageURL = g.pagina;
        platform.dialogs.clear();
        platform.opened.clear();
        platform.answer(g.pagina.isEmpty() ? DialogResult::OK : DialogResult::Yes);
        EXPECT_FALSE(controleer());
        ASSERT_EQ(platform.dialogs.size(), 1u);
        const QString tekst =
            "De controle op een nieuwe versie is mislukt: " +
            (g.status.isEmpty() ? "404 Failed to connect" : g.status + '.') +
            (g.pagina.isEmpty() || g.status.isEmpty() ? "" : "\rWenst u de website te openen?");
        EXPECT_EQ(platform.dialogs[0].text.left(g.status.isEmpty() ? tekst.size() : -1), tekst);
        EXPECT_EQ(platform.dialogs[0].kind,
                  g.pagina.isEmpty() ? DialogKind::Error : DialogKind::Confirmation);
        EXPECT_EQ(platform.opened, g.pagina.isEmpty() ? QStringList() : QStringList{kWebsite});
    }

    // A manifest that names no version still asks, but opens only a web page.
    manifest("[KorvexSQL]\nUpdatePageURL=file:///etc/passwd\n");
    update.UpdateFileURL = peer.url(kManifestPad);
    platform.answer(DialogResult::Yes);
    platform.answer(DialogResult::OK);
    EXPECT_FALSE(controleer());
    EXPECT_EQ(platform.dialogs.back().text,
              "Deze pagina wordt niet geopend: \"file:///etc/passwd\"");
    EXPECT_TRUE(platform.opened.isEmpty());
}

TEST_F(Controle, VensterToontWatHetManifestNoemt) {
    // Lower-case section, blanks and quotes, no page and no download of its
    // own, release notes in UTF-16 with every kind of line end.
    manifest(
        "[Ander]\r\nVersion=99\r\n[korvexsql]\r\n  version =  \"9.1\"  \r\n"
        "ReadmeFileURL = '" +
        peer.url("/lees.txt").toLatin1() + "'\r\nMD5Hash = ab \r\n");
    peer.respond("/lees.txt", Antwoord(Utf16(QStringLiteral("Nieuw ✓\r\nregel 2\rregel 3\n"))));
    update.Version = "9.0";
    EXPECT_TRUE(controleer([&](TLumoAppUpdateNotifyBox& venster) {
        EXPECT_EQ(venster.windowTitle(), "Er is een nieuwe versie van de software beschikbaar");
        EXPECT_EQ(venster.record.Version, "9.1");
        EXPECT_EQ(venster.record.MD5Hash, "ab");
        EXPECT_EQ(venster.record.UpdatePageURL, kWebsite);
        EXPECT_EQ(venster.ReadmeMemo->toPlainText(), QStringLiteral("Nieuw ✓\nregel 2\nregel 3"));
        EXPECT_FALSE(venster.DownloadButton->isEnabled());
        venster.OpenWebPageButton->click();
        EXPECT_TRUE(venster.isVisible()) << "the web page button keeps the window open";
    }));
    EXPECT_EQ(platform.opened, QStringList{kWebsite});
}

TEST_F(Controle, MisluktLeesmijToontDeRedenVanDeServer) {
    manifest("[KorvexSQL]\nVersion=2\nDownloadFileURL=http://127.0.0.1:9/a.exe\nReadmeFileURL=" +
             peer.url("/lees.txt").toLatin1() + "\n");
    peer.respond("/lees.txt", "HTTP/1.0 404 Bestand ontbreekt\r\nContent-Length: 0\r\n\r\n");
    EXPECT_TRUE(controleer([](TLumoAppUpdateNotifyBox& venster) {
        EXPECT_EQ(venster.ReadmeMemo->toPlainText(), "Mislukt: 404 Bestand ontbreekt");
        EXPECT_TRUE(venster.DownloadButton->isEnabled());
    }));
}

TEST_F(Controle, TweedeControleTijdensHetOphalenStartNiet) {
    peer.route(kManifestPad, {peer.gate("manifest"), HttpPeer::raw(Antwoord("[KorvexSQL]\n"))});
    bool tweedeBezig = false;
    // Once the peer holds the first request, a second check starts from
    // inside its wait. The answer is let go first: the first check cannot
    // take it before this returns, and a second one started wrongly gets it
    // at once instead of waiting for a gate.
    QTimer tweede;
    QObject::connect(&tweede, &QTimer::timeout, [&] {
        if (peer.requests().isEmpty()) return;
        tweede.stop();
        peer.openGate("manifest");
        tweedeBezig = update.bezig();
        update.CheckForUpdate();
    });
    tweede.start(5);
    platform.answer(DialogResult::No);  // the website question, once
    EXPECT_FALSE(controleer());
    EXPECT_TRUE(tweedeBezig);
    EXPECT_EQ(peer.requests().size(), 1);
    EXPECT_EQ(platform.dialogs.size(), 1u);
    EXPECT_FALSE(update.bezig());
}

}  // namespace
}  // namespace korvex::test
