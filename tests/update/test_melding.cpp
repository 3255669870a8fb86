#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include "platform/QtPlatform.h"
#include "tests/support/EchteInvoer.h"
#include "tests/update/UpdateFixture.h"
#include "update/LumoAppUpdateDownload.h"

namespace korvex::test {
namespace {

using Unit = TLumoAppUpdateFileSizeUnit;

class Melding : public UpdateTest {
  protected:
    TLumoAppUpdateNotifyBox venster{platform};
};

TEST_F(Melding, FormatFileSizeSchrijftElkeEenheid) {
    struct Geval {
        Unit unit;
        qint64 bytes;
        const char* tekst;
    };
    const Geval gevallen[] = {
        {Unit::Auto, 0, "0 B"},
        {Unit::Auto, 1, "1 B"},
        {Unit::Auto, 1024, "1.024 B"},
        {Unit::Auto, 1025, "1 KB"},
        {Unit::Auto, 1048576, "1.024 KB"},
        {Unit::Auto, 1048577, "1 MB"},
        {Unit::Auto, 1073741824, "1.024 MB"},
        {Unit::Auto, 1073741825, "1 GB"},
        {Unit::Auto, 2147483648, "2 GB"},
        {Unit::Auto, 5000000000000, "4.656 GB"},
        {Unit::Bytes, 0, "0 B"},
        {Unit::Bytes, 1234567, "1.234.567 B"},
        {Unit::KiloBytes, 0, "0 KB"},
        {Unit::KiloBytes, 1, "1 KB"},
        {Unit::KiloBytes, 1023, "1 KB"},
        {Unit::KiloBytes, 2048, "2 KB"},
        {Unit::KiloBytes, 2047, "1 KB"},
        {Unit::MegaBytes, 0, "0 MB"},
        {Unit::MegaBytes, 5, "1 MB"},
        {Unit::MegaBytes, 3 * 1048576 - 1, "2 MB"},
        {Unit::GigaBytes, 0, "0 GB"},
        {Unit::GigaBytes, 1073741823, "1 GB"},
        {Unit::GigaBytes, 1099511627776, "1.024 GB"},
    };
    for (const Geval& g : gevallen) {
        venster.FileSizeUnit = g.unit;
        EXPECT_EQ(venster.FormatFileSize(g.bytes), QString::fromUtf8(g.tekst))
            << int(g.unit) << " " << g.bytes;
    }
    // A locale that leaves the separator out by default still shows it.
    QLocale::setDefault(QLocale::c());
    venster.FileSizeUnit = Unit::Bytes;
    EXPECT_EQ(venster.FormatFileSize(1234567), "1,234,567 B");
}

TEST_F(Melding, FileNameFromURLNeemtAllesNaDeLaatsteSlash) {
    EXPECT_EQ(venster.FileNameFromURL("http://h/a/setup.exe"), "setup.exe");
    EXPECT_EQ(venster.FileNameFromURL("http://h/a/setup.exe?v=2"), "setup.exe?v=2");
    EXPECT_EQ(venster.FileNameFromURL("http://h/a/"), "");
    EXPECT_EQ(venster.FileNameFromURL("setup.exe"), "setup.exe");
}

TEST_F(Melding, GetRemoteFileSizeLeestAlleenDeEersteLengteregel) {
    struct Geval {
        const char* naam;
        QByteArray antwoord;
        int grootte;
    };
    const Geval gevallen[] = {
        {"length", "HTTP/1.0 200 OK\r\nContent-Length: 1234\r\n\r\n", 1234},
        {"any_case", "HTTP/1.0 200 OK\r\nCONTENT-length: 1234\r\n\r\n", 1234},
        {"without_blank", "HTTP/1.0 200 OK\r\nContent-Length:1234\r\n\r\n", 0},
        {"largest", "HTTP/1.0 200 OK\r\nContent-Length: 2147483647\r\n\r\n", 2147483647},
        {"above_32_bits", "HTTP/1.0 200 OK\r\nContent-Length: 2147483648\r\n\r\n", 0},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 0},
        {"first_line_decides",
         "HTTP/1.0 200 OK\r\nX-Content-Length: 7\r\nContent-Length: 12\r\nContent-Length: "
         "9\r\n\r\n",
         12},
        {"failure", "HTTP/1.0 404 Not Found\r\nContent-Length: 1234\r\n\r\n", 0},
    };
    TLumoAppUpdateDownloadBox download(venster);
    venster.downloadBox = &download;
    for (const Geval& g : gevallen) {
        peer.respond("/setup.exe", g.antwoord);
        download.StatusLabel->clear();
        net::HttpClient http;
        http.setUrl(peer.url("/setup.exe"));
        EXPECT_EQ(venster.GetRemoteFileSize(http), g.grootte) << g.naam;
        EXPECT_EQ(download.StatusLabel->text(), "Zoek naar bestandsinformatie");
        EXPECT_EQ(peer.requests().last().method, "HEAD");
    }
    venster.downloadBox = nullptr;
}

TEST_F(Melding, WebpaginaGaatAlleenOverHttpNaarDeShell) {
    // Opened as the completed URL, or refused with a warning that names it.
    const struct {
        QString url, geopend;
    } gevallen[] = {{"www.voorbeeld.nl", "http://www.voorbeeld.nl"},
                    {"HTTPS://x", "https://x"},
                    {"file:///etc/passwd", ""},
                    {"C:\\Windows\\notepad.exe", ""},
                    {"\\\\host\\share", ""},
                    {"javascript:alert(1)", ""}};
    for (const auto& g : gevallen) {
        venster.record.UpdatePageURL = g.url;
        platform.opened.clear();
        platform.dialogs.clear();
        if (g.geopend.isEmpty()) platform.answer(DialogResult::OK);
        venster.OpenWebPageButton->click();
        EXPECT_EQ(platform.opened, g.geopend.isEmpty() ? QStringList() : QStringList{g.geopend})
            << g.url.toStdString();
        ASSERT_EQ(platform.dialogs.size(), g.geopend.isEmpty() ? 1u : 0u) << g.url.toStdString();
        if (g.geopend.isEmpty()) {
            EXPECT_EQ(platform.dialogs[0].text, "Deze pagina wordt niet geopend: \"" + g.url + '"');
            EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Warning);
        }
    }
}

// The cancel question of the download window, answered with clicks that the
// window system delivers, while the notification window is modal behind it.
TEST(MeldingEchteInvoer, AfbrekenVraagtEerstEnNeeLaatDeDownloadDoorgaan) {
    QtPlatform platform;
    TLumoAppUpdateNotifyBox notify(platform);
    bool doorgegaan = false, afgebroken = false;
    QTimer::singleShot(0, &notify, [&] {
        TLumoAppUpdateDownloadBox download(notify);
        download.show();
        download.Timer1->start();
        {
            Beantwoord klikken({"&Nee"});
            KlikEcht(download.CancelButton);
        }
        doorgegaan = download.CancelButton->isEnabled() && download.Timer1->isActive();
        {
            Beantwoord klikken({"&Ja", "OK"});
            KlikEcht(download.CancelButton);
        }
        afgebroken = !download.CancelButton->isEnabled() && !download.Timer1->isActive();
        notify.done(0);
    });
    notify.exec();
    EXPECT_TRUE(doorgegaan);
    EXPECT_TRUE(afgebroken);
}

}  // namespace
}  // namespace korvex::test
