#include "tests/support/FtpPeer.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace korvex::test {

FtpPeer::FtpPeer(FtpPeerOptions options) : options_(std::move(options)) {
    // Made now, so files can be put in place before the peer starts.
    QDir().mkpath(root());
}

FtpPeer::~FtpPeer() {
    stop();
}

QString FtpPeer::root() const {
    return dir_.filePath(QStringLiteral("root")) + u'/';
}
QString FtpPeer::journalPath() const {
    return dir_.filePath(QStringLiteral("journal.txt"));
}
QString FtpPeer::listingPath() const {
    return dir_.filePath(QStringLiteral("listing.bin"));
}

bool FtpPeer::start(QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        stop();
        return false;
    };
    if (process_.isRunning()) return true;
    if (!dir_.isValid()) return fail(QStringLiteral("no temporary folder for the peer"));
    QFile::remove(journalPath());

    QStringList args{QStringLiteral("--root"),     root(),
                     QStringLiteral("--user"),     options_.user,
                     QStringLiteral("--password"), options_.password,
                     QStringLiteral("--journal"),  journalPath()};
    if (!options_.mlsd) args << QStringLiteral("--no-mlsd");
    if (!options_.rest) args << QStringLiteral("--no-rest");
    if (options_.account) args << QStringLiteral("--account");
    if (options_.silent) args << QStringLiteral("--silent");
    if (!options_.preliminary.isEmpty())
        args << QStringLiteral("--preliminary") << options_.preliminary;
    // Hex, so any byte (CR, LF, NUL, non-UTF-8) gets through the command line.
    if (!options_.rawGreeting.isEmpty())
        args << QStringLiteral("--raw-greeting-hex")
             << QString::fromLatin1(options_.rawGreeting.toHex());
    if (options_.stallAfter >= 0)
        args << QStringLiteral("--stall-after") << QString::number(options_.stallAfter);
    if (options_.dropAfter >= 0)
        args << QStringLiteral("--drop-after") << QString::number(options_.dropAfter);
    if (options_.listingSet || !options_.listing.isEmpty()) {
        QFile listing(listingPath());
        if (!listing.open(QIODevice::WriteOnly) ||
            listing.write(options_.listing) != options_.listing.size())
            return fail(QStringLiteral("cannot write the listing file: ") + listing.errorString());
        listing.close();
        args << QStringLiteral("--listing-file") << listingPath();
    }
    if (!options_.masquerade.isEmpty())
        args << QStringLiteral("--masquerade") << options_.masquerade;

    return process_.start(QStringLiteral("ftppeer.py"), args, error);
}

void FtpPeer::stop() {
    process_.stop();
}

void FtpPeer::writeFile(const QString& name, const QByteArray& bytes) const {
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString() << ": "
                      << out.errorString().toStdString();
}

QStringList FtpPeer::commands() const {
    QFile file(journalPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    // The peer writes each line whole, with one write, so only a complete
    // line ends in a line feed.
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    lines.removeLast();
    return lines;
}

}  // namespace korvex::test
