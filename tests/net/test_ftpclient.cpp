#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <algorithm>

#include "net/FtpClient.h"
#include "net/FtpReplyReader.h"
#include "tests/support/Bestanden.h"
#include "tests/support/FtpPeer.h"
#include "tests/support/TempFolder.h"

namespace korvex::test {
namespace {

using net::FtpClient;

// Bytes of every value, so a transfer that converts line ends or stops at a
// NUL shows.
QByteArray Inhoud(int size, int zaad = 7) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = quint32(zaad);
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = char(x >> 16);
    }
    return bytes;
}

// The client with its events written down in order, pointed at a peer.
struct Client {
    FtpClient ftp;
    QStringList events;

    explicit Client(const FtpPeer& peer, bool passive = true) {
        ftp.setHost(QStringLiteral("127.0.0.1"));
        ftp.setPort(peer.port());
        ftp.setUserName(QStringLiteral("korvex"));
        ftp.setPassword(QStringLiteral("geheim"));
        ftp.setPassive(passive);
        ftp.setConnectTimeout(5000);
        ftp.setReplyTimeout(5000);
        ftp.setDataTimeout(5000);
        QObject::connect(&ftp, &FtpClient::connectionEstablished,
                         [this] { events << "verbonden"; });
        QObject::connect(&ftp, &FtpClient::connectionClosed, [this] { events << "verbroken"; });
        QObject::connect(&ftp, &FtpClient::loggedIn, [this] { events << "ingelogd"; });
        QObject::connect(&ftp, &FtpClient::accountRequested, [this] { events << "account"; });
        QObject::connect(&ftp, &FtpClient::listingReceived, [this] { events << "lijst"; });
        QObject::connect(&ftp, &FtpClient::preliminaryBanner,
                         [this](const QString& text) { events << "banner:" + text; });
    }
};

#define START(peer)                                                 \
    do {                                                            \
        QString waarom;                                             \
        ASSERT_TRUE((peer).start(&waarom)) << waarom.toStdString(); \
    } while (0)

// The reader gets the bytes one at a time, as a slow server sends them.
TEST(FtpReplyReader, AMultiLineReplyEndsOnlyAtItsOwnCodeAndABlank) {
    const QByteArray stroom =
        "211-Features:\r\n"
        " MLST type*;\r\n"
        "211-nog niet\r\n"
        "2110 ook niet\n"
        "226 een andere code ook niet\r\n"
        "211\r\n"
        "220 volgende\r\n"
        "230-\r\n"
        "230 \r\n";
    net::FtpReplyReader reader;
    QList<net::FtpReply> replies;
    for (const char byte : stroom) {
        reader.feed(QByteArrayView(&byte, 1));
        net::FtpReply reply;
        while (reader.next(reply) == net::FtpReplyReader::Status::Complete) replies << reply;
    }
    ASSERT_EQ(replies.size(), 3);
    EXPECT_EQ(replies[0].code, 211);
    EXPECT_EQ(replies[0].text, QStringLiteral("211-Features:\n MLST type*;\n211-nog niet\n2110 ook "
                                              "niet\n226 een andere code ook niet\n211"));
    EXPECT_EQ(replies[1].code, 220);
    EXPECT_EQ(replies[1].text, QStringLiteral("220 volgende"));
    EXPECT_EQ(replies[2].text, QStringLiteral("230-\n230 "));

    net::FtpReplyReader lang;
    lang.feed(QByteArray("220-start\r\n") + QByteArray(4000, 'x').append("\r\n").repeated(70));
    net::FtpReply reply;
    EXPECT_EQ(lang.next(reply), net::FtpReplyReader::Status::TooLong);
}

struct ModeCase {
    bool passive;
    bool mlsd;
};

class FtpModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(FtpModes, LogsInListsTheRootAndFetchesAFileByteForByte) {
    const ModeCase mode = GetParam();
    FtpPeerOptions options;
    options.mlsd = mode.mlsd;
    FtpPeer peer(options);
    START(peer);
    const QByteArray inhoud = Inhoud(300000) + "\r\n\n\r\0eind";
    peer.writeFile(QStringLiteral("3-1-3.sql"), inhoud);
    peer.writeFile(QStringLiteral("4-0-0 nieuw.sql"), "select 1\r\n");

    Client c(peer, mode.passive);
    c.ftp.connect();
    EXPECT_TRUE(c.ftp.connected());
    EXPECT_EQ(c.ftp.machineListing(), mode.mlsd);
    c.ftp.changeDir(QStringLiteral("/"));
    c.ftp.setTransferType(FtpClient::TransferType::Ascii);
    QStringList lines;
    c.ftp.list(lines);
    ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
    // The server's order is its own; the line holding each name is what counts.
    if (lines[0].endsWith(QStringLiteral(" 4-0-0 nieuw.sql"))) lines.swapItemsAt(0, 1);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" 3-1-3.sql"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" 4-0-0 nieuw.sql"))) << lines[1].toStdString();
    for (const QString& line : lines) {
        EXPECT_FALSE(line.endsWith('\r'));
        if (mode.mlsd)
            EXPECT_TRUE(line.startsWith(QStringLiteral("modify="))) << line.toStdString();
        else
            EXPECT_TRUE(line.startsWith(QStringLiteral("-rw"))) << line.toStdString();
    }

    TempFolder lokaal;
    c.ftp.setTransferType(FtpClient::TransferType::Binary);
    c.ftp.fetch(QStringLiteral("3-1-3.sql"), lokaal.file(QStringLiteral("3-1-3.sql")), true, true);
    EXPECT_EQ(Lees(lokaal.file(QStringLiteral("3-1-3.sql"))), inhoud);

    c.ftp.disconnect();
    EXPECT_FALSE(c.ftp.connected());
    EXPECT_EQ(c.events, QStringList({"verbonden", "ingelogd", "lijst", "verbroken"}));

    const QStringList sent = peer.commands();
    EXPECT_TRUE(sent.contains(mode.mlsd ? "MLSD" : "LIST")) << sent.join('|').toStdString();
    const QString data = mode.passive ? QStringLiteral("PASV") : QStringLiteral("PORT 127,0,0,1,");
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [&](const QString& s) {
        return s.startsWith(data);
    })) << sent.join('|').toStdString();
    EXPECT_EQ(sent.first(), QStringLiteral("USER korvex"));
    EXPECT_EQ(sent.last(), QStringLiteral("QUIT"));
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpModes,
                         ::testing::Values(ModeCase{true, true}, ModeCase{true, false},
                                           ModeCase{false, true}, ModeCase{false, false}),
                         [](const auto& info) {
                             return std::string(info.param.passive ? "Passive" : "Active") +
                                    (info.param.mlsd ? "Mlsd" : "List");
                         });

TEST(FtpClient, FetchWritesIntoTheLocalFileAsOverwriteAndResumeSay) {
    const QByteArray remote = Inhoud(70000, 3);
    struct Case {
        const char* naam;
        bool rest;
        bool overwrite;
        QByteArray lokaal;  // "<none>": no local file
        QByteArray verwacht;
        const char* fout;  // start of the error, or nullptr
    } cases[] = {
        {"shorter copy is completed", true, false, remote.left(12345), remote, nullptr},
        {"complete copy stays as it is", true, false, remote, remote, nullptr},
        {"longer copy is refused unchanged", true, false, remote + "x", remote + "x", "554"},
        {"no restart: existing file refused", false, false, remote.left(100), remote.left(100),
         "Het doelbestand \""},
        {"overwrite empties a longer file", true, true, Inhoud(90000, 9), remote, nullptr},
        {"overwrite without restart", false, true, "oud", remote, nullptr},
        {"new file with resume on", false, false, "<none>", remote, nullptr},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.naam);
        FtpPeerOptions options;
        options.rest = t.rest;
        FtpPeer peer(options);
        START(peer);
        peer.writeFile(QStringLiteral("a.sql"), remote);
        TempFolder lokaal;
        const QString pad = lokaal.file(QStringLiteral("a.sql"));
        if (t.lokaal != "<none>") Schrijf(pad, t.lokaal);

        Client c(peer);
        c.ftp.connect();
        c.ftp.setTransferType(FtpClient::TransferType::Binary);
        const QString fout =
            FoutVan([&] { c.ftp.fetch(QStringLiteral("a.sql"), pad, t.overwrite, true); });
        if (t.fout) {
            EXPECT_TRUE(fout.startsWith(QString::fromUtf8(t.fout))) << fout.toStdString();
        } else {
            EXPECT_EQ(fout, QStringLiteral("<no error>"));
        }
        EXPECT_EQ(Lees(pad), t.verwacht);
        EXPECT_TRUE(c.ftp.connected());

        // The probe runs once per connection and never in ASCII mode.
        c.ftp.fetch(QStringLiteral("a.sql"), lokaal.file(QStringLiteral("b.sql")), true, true);
        const QStringList sent = peer.commands();
        EXPECT_EQ(sent.count(QStringLiteral("REST 1")), 1) << sent.join('|').toStdString();
        const qsizetype binair = sent.indexOf(QStringLiteral("TYPE I"));
        EXPECT_GE(binair, 0) << sent.join('|').toStdString();
        EXPECT_LT(binair, sent.indexOf(QStringLiteral("REST 1")));
        if (t.rest && !t.overwrite && t.lokaal != "<none>") {
            EXPECT_TRUE(sent.contains(QStringLiteral("REST %1").arg(t.lokaal.size())));
        }
    }
}

TEST(FtpClient, AFetchIntoAPipeIsRefusedWithoutWaitingOnIt) {
    FtpPeer peer;
    START(peer);
    peer.writeFile(QStringLiteral("a.sql"), "select 1");
    TempFolder lokaal;
    const QString pijp = lokaal.file(QStringLiteral("a.sql"));
    MaakPijp(pijp);
    Client c(peer);
    c.ftp.connect();
    c.ftp.setTransferType(FtpClient::TransferType::Binary);
    for (const bool overwrite : {true, false})
        EXPECT_EQ(FoutVan([&] { c.ftp.fetch(QStringLiteral("a.sql"), pijp, overwrite, true); }),
                  "\"" + pijp + "\" is geen gewoon bestand.");
    EXPECT_TRUE(c.ftp.connected());
}

TEST(FtpClient, AskedForAnAccountItSendsAnEmptyOne) {
    FtpPeerOptions options;
    options.account = true;
    FtpPeer peer(options);
    START(peer);
    Client c(peer);
    c.ftp.connect();
    EXPECT_EQ(c.events, QStringList({"verbonden", "account", "ingelogd"}));
    const QStringList sent = peer.commands();
    ASSERT_GE(sent.size(), 3);
    EXPECT_EQ(sent.mid(0, 3), QStringList({"USER korvex", "PASS geheim", "ACCT "}));
}

TEST(FtpClient, APreliminaryGreetingIsReportedWithItsText) {
    FtpPeerOptions options;
    options.preliminary = QStringLiteral("Dienst start binnen 1 minuut");
    FtpPeer peer(options);
    START(peer);
    Client c(peer);
    c.ftp.connect();
    EXPECT_EQ(c.events,
              QStringList({"verbonden", "banner:120 Dienst start binnen 1 minuut", "ingelogd"}));
}

TEST(FtpClient, RefusalsCarryTheServersTextAndLeaveTheRightState) {
    {
        FtpPeerOptions options;
        options.password = QStringLiteral("anders");
        FtpPeer peer(options);
        START(peer);
        Client c(peer);
        const QString fout = FoutVan([&] { c.ftp.connect(); });
        EXPECT_TRUE(fout.startsWith(QStringLiteral("530 "))) << fout.toStdString();
        EXPECT_FALSE(c.ftp.connected());
        EXPECT_EQ(c.events, QStringList({"verbonden", "verbroken"}));
    }
    {
        FtpPeer peer;
        START(peer);
        Client c(peer);
        c.ftp.connect();
        const QString fout = FoutVan([&] { c.ftp.changeDir(QStringLiteral("/bestaat-niet")); });
        EXPECT_TRUE(fout.startsWith(QStringLiteral("550 "))) << fout.toStdString();
        EXPECT_TRUE(c.ftp.connected());
        TempFolder lokaal;
        const QString retr = FoutVan([&] {
            c.ftp.fetch(QStringLiteral("weg.sql"), lokaal.file(QStringLiteral("weg.sql")), true,
                        true);
        });
        EXPECT_TRUE(retr.startsWith(QStringLiteral("550 "))) << retr.toStdString();
        // The local file is made before the transfer and kept.
        EXPECT_TRUE(QFile::exists(lokaal.file(QStringLiteral("weg.sql"))));
        EXPECT_TRUE(c.ftp.connected());
    }
    {
        QTcpSocket dicht;
        ASSERT_TRUE(BindZonderLuisteren(dicht));
        FtpPeer peer;
        Client c(peer);
        c.ftp.setPort(dicht.localPort());
        const QString fout = FoutVan([&] { c.ftp.connect(); });
        EXPECT_NE(fout, QStringLiteral("<no error>"));
        EXPECT_FALSE(fout.isEmpty());
        EXPECT_FALSE(c.ftp.connected());
        EXPECT_TRUE(c.events.isEmpty()) << c.events.join('|').toStdString();
    }
}

TEST(FtpClient, ASilentOrGarbledServerEndsInAClearErrorWithinItsTimeOut) {
    // The cases that end at the time-out wait it out; the others must end
    // long before theirs, so a slow machine cannot turn one into the other.
    struct Case {
        const char* naam;
        bool silent;
        QByteArray greeting;
        bool tijd;  // ends at the reply time-out
        const char* fout;
    } cases[] = {
        {"silent", true, {}, true, "Time-out: de server antwoordde niet binnen 300 ms."},
        {"no code", false, "hallo\r\n", false, "Ongeldig antwoord van de server: \"hallo\""},
        {"code out of range", false, "600 klaar\r\n", false,
         "Ongeldig antwoord van de server: \"600 klaar\""},
        {"multi-line without end", false, "220-welkom\r\n220-nog meer\r\n", true,
         "Time-out: de server antwoordde niet binnen 300 ms."},
        {"endless line", false, QByteArray(20000, 'x'), false,
         "Het antwoord van de server is te lang."},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.naam);
        FtpPeerOptions options;
        options.silent = t.silent;
        options.rawGreeting = t.greeting;
        FtpPeer peer(options);
        START(peer);
        Client c(peer);
        const int wacht = t.tijd ? 300 : 60000;
        c.ftp.setReplyTimeout(wacht);
        QElapsedTimer klok;
        klok.start();
        EXPECT_EQ(FoutVan([&] { c.ftp.connect(); }), QString::fromUtf8(t.fout));
        const qint64 duur = klok.elapsed();
        if (t.tijd) {
            EXPECT_GE(duur, wacht);
        }
        EXPECT_LT(duur, (t.tijd ? wacht : 0) + 5000);
        EXPECT_FALSE(c.ftp.connected());
        EXPECT_EQ(c.events.value(c.events.size() - 1), QStringLiteral("verbroken"));
        EXPECT_EQ(FoutVan([&] { c.ftp.disconnect(); }), QStringLiteral("<no error>"));
    }
}

TEST(FtpClient, ATransferThatEndsEarlyIsAnErrorWithThePartialBytesOnDisk) {
    const QByteArray remote = Inhoud(400000, 5);
    for (const bool stall : {false, true}) {
        SCOPED_TRACE(stall ? "stalled" : "dropped");
        FtpPeerOptions options;
        (stall ? options.stallAfter : options.dropAfter) = 100000;
        FtpPeer peer(options);
        START(peer);
        peer.writeFile(QStringLiteral("a.sql"), remote);
        TempFolder lokaal;
        Client c(peer);
        c.ftp.connect();
        // Only the stalled transfer may end at its time-out, and it waits it
        // out in full; the dropped one ends long before its own.
        const int wacht = stall ? 2000 : 60000;
        c.ftp.setDataTimeout(wacht);
        c.ftp.setTransferType(FtpClient::TransferType::Binary);
        QElapsedTimer klok;
        klok.start();
        const QString fout = FoutVan([&] {
            c.ftp.fetch(QStringLiteral("a.sql"), lokaal.file(QStringLiteral("a.sql")), true, true);
        });
        const qint64 duur = klok.elapsed();
        if (stall) {
            EXPECT_GE(duur, wacht);
        }
        EXPECT_LT(duur, (stall ? wacht : 0) + 5000);
        EXPECT_EQ(Lees(lokaal.file(QStringLiteral("a.sql"))), remote.left(100000));
        if (stall) {
            EXPECT_EQ(fout,
                      QStringLiteral("Time-out: de server zond binnen 2 seconden geen gegevens."));
            EXPECT_FALSE(c.ftp.connected());
            EXPECT_EQ(c.events.last(), QStringLiteral("verbroken"));
        } else {
            EXPECT_TRUE(fout.startsWith(QStringLiteral("426 "))) << fout.toStdString();
            EXPECT_TRUE(c.ftp.connected());
        }
    }
}

TEST(FtpClient, AHostileListingIsSplitAndDecodedWithoutLoss) {
    const QByteArray lang(100000, 'n');
    QByteArray listing = "total 3\r\n";
    listing += "-rw-r--r-- 1 a a 5 Jan 1 00:00 " + lang + "\r\n";
    listing += "-rw 3-1-3-\xc3\xa9.sql\n";  // UTF-8
    listing += "-rw 3-1-4-\xe9.sql\r\n";    // Windows-1252
    listing += QByteArray("bin\x01\x02\0\x7f", 8) + "\r\n";
    listing += "\r\n";
    listing += "laatste zonder einde";
    FtpPeerOptions options;
    options.listing = listing;
    options.listingSet = true;
    FtpPeer peer(options);
    START(peer);
    Client c(peer);
    c.ftp.connect();
    QStringList lines;
    c.ftp.list(lines);
    EXPECT_EQ(
        lines,
        QStringList(
            {"total 3", "-rw-r--r-- 1 a a 5 Jan 1 00:00 " + QString::fromLatin1(lang),
             QString::fromUtf8("-rw 3-1-3-\u00e9.sql"), QString::fromUtf8("-rw 3-1-4-\u00e9.sql"),
             QString::fromLatin1(QByteArray("bin\x01\x02\0\x7f", 8)), "", "laatste zonder einde"}));
    EXPECT_EQ(c.events.last(), QStringLiteral("lijst"));
}

TEST(FtpClient, TextThatWouldInjectACommandIsRefusedBeforeSending) {
    FtpPeer peer;
    START(peer);
    {
        Client c(peer);
        c.ftp.setPassword(QStringLiteral("geheim\r\nDELE a.sql"));
        EXPECT_EQ(
            FoutVan([&] { c.ftp.connect(); }),
            QStringLiteral(
                "Het wachtwoord bevat een regeleinde of een NUL-teken en wordt niet verzonden."));
        EXPECT_TRUE(c.events.isEmpty());
    }
    Client c(peer);
    c.ftp.connect();
    TempFolder lokaal;
    EXPECT_EQ(
        FoutVan([&] {
            c.ftp.fetch(QStringLiteral("a.sql\nDELE b.sql"), lokaal.file("x"), true, true);
        }),
        QStringLiteral(
            "De bestandsnaam bevat een regeleinde of een NUL-teken en wordt niet verzonden."));
    EXPECT_FALSE(QFile::exists(lokaal.file("x")));
    EXPECT_EQ(
        FoutVan([&] { c.ftp.changeDir(QStringLiteral("/") + QChar(0) + QStringLiteral("CWD x")); }),
        QStringLiteral(
            "De mapnaam bevat een regeleinde of een NUL-teken en wordt niet verzonden."));
    c.ftp.disconnect();
    // The journal holds the whole session, so the loop below sees what the server saw.
    const QStringList sent = peer.commands();
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.first(), QStringLiteral("USER korvex"));
    EXPECT_EQ(sent.last(), QStringLiteral("QUIT"));
    for (const QString& line : sent) {
        EXPECT_FALSE(line.startsWith("DELE")) << line.toStdString();
        EXPECT_FALSE(line.contains("CWD x")) << line.toStdString();
    }
}

TEST(FtpClient, ThePassiveAddressOfTheServerIsNotFollowed) {
    FtpPeerOptions options;
    options.masquerade = QStringLiteral("192.0.2.1");  // documentation range: nobody there
    FtpPeer peer(options);
    START(peer);
    peer.writeFile(QStringLiteral("a.sql"), "inhoud");
    Client c(peer);
    c.ftp.setConnectTimeout(2000);
    c.ftp.connect();
    TempFolder lokaal;
    c.ftp.fetch(QStringLiteral("a.sql"), lokaal.file(QStringLiteral("a.sql")), true, false);
    EXPECT_EQ(Lees(lokaal.file(QStringLiteral("a.sql"))), "inhoud");
}

TEST(FtpClient, AServerThatHangsUpBetweenCallsIsNoticedAndLeavingStillWorks) {
    FtpPeer peer;
    START(peer);
    Client c(peer);
    c.ftp.connect();
    peer.stop();
    const QDeadlineTimer deadline(5000);
    while (c.ftp.connected() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(c.ftp.connected());
    EXPECT_EQ(c.events, QStringList({"verbonden", "ingelogd", "verbroken"}));
    EXPECT_EQ(FoutVan([&] { c.ftp.disconnect(); }), QStringLiteral("<no error>"));
    EXPECT_EQ(FoutVan([&] {
                  QStringList l;
                  c.ftp.list(l);
              }),
              QStringLiteral("Niet verbonden met de server."));
    EXPECT_EQ(c.events.count(QStringLiteral("verbroken")), 1);
}

}  // namespace
}  // namespace korvex::test
