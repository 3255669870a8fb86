// Takes arbitrary bytes as what an FTP server sends: on the control
// connection they are cut into the same replies whether they arrive whole or
// in small pieces, every reply has a code from 100 to 599 and stays within
// its bounds; as a listing they give the same lines either way, one for each
// line end plus a last line without one, none holding a line end.
#include <QList>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "net/FtpListing.h"
#include "net/FtpReplyReader.h"

using korvex::net::FtpListing;
using korvex::net::FtpReply;
using korvex::net::FtpReplyReader;

namespace {

[[noreturn]] void Fout(const char* wat) {
    std::fprintf(stderr, "ftp invariant broken: %s\n", wat);
    std::abort();
}

struct Uitkomst {
    QList<FtpReply> replies;
    FtpReplyReader::Status einde = FtpReplyReader::Status::Incomplete;
};

Uitkomst Lees(QByteArrayView data, qsizetype stuk) {
    FtpReplyReader reader;
    Uitkomst uit;
    for (qsizetype i = 0; i < data.size(); i += stuk) {
        reader.feed(data.sliced(i, std::min(stuk, data.size() - i)));
        FtpReply reply;
        for (;;) {
            uit.einde = reader.next(reply);
            if (uit.einde != FtpReplyReader::Status::Complete) break;
            if (reply.code < 100 || reply.code > 599) Fout("code out of range");
            if (reply.text.size() > FtpReplyReader::MaxReply) Fout("reply past its bound");
            uit.replies.append(reply);
        }
        if (uit.einde != FtpReplyReader::Status::Incomplete) return uit;
        if (reader.buffered() > FtpReplyReader::MaxLine + stuk) Fout("buffer past its bound");
    }
    return uit;
}

QStringList Lijst(QByteArrayView data, qsizetype stuk) {
    QStringList lines;
    FtpListing listing(lines);
    for (qsizetype i = 0; i < data.size(); i += stuk)
        listing.feed(data.sliced(i, std::min(stuk, data.size() - i)));
    listing.finish();
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    const qsizetype stuk = bytes[0] % 64 + 1;
    const QByteArrayView data(reinterpret_cast<const char*>(bytes) + 1, qsizetype(size - 1));

    const Uitkomst heel = Lees(data, std::max<qsizetype>(1, data.size()));
    const Uitkomst stukken = Lees(data, stuk);
    if (heel.einde != stukken.einde) Fout("the pieces end the reading otherwise");
    if (heel.replies.size() != stukken.replies.size()) Fout("the pieces give other replies");
    for (qsizetype i = 0; i < heel.replies.size(); ++i)
        if (heel.replies[i].code != stukken.replies[i].code ||
            heel.replies[i].text != stukken.replies[i].text)
            Fout("the pieces give another reply");

    const QStringList lines = Lijst(data, data.size());
    if (lines != Lijst(data, stuk)) Fout("the pieces give other lines");
    const qsizetype laatste = data.lastIndexOf('\n');
    const QByteArrayView staart = data.sliced(laatste + 1);
    const bool losseStaart = !staart.isEmpty() && staart != QByteArrayView("\r");
    if (lines.size() != data.count('\n') + (losseStaart ? 1 : 0)) Fout("line count");
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('\n'))) Fout("a line holds a line end");
    return 0;
}
