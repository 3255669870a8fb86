#include "net/FtpReplyReader.h"

#include "net/FtpListing.h"

namespace korvex::net {

namespace {

int replyCode(const QByteArray& line) {
    if (line.size() < 3) return 0;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9') return 0;
    if (line[0] < '1' || line[0] > '5') return 0;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

}  // namespace

void FtpReplyReader::feed(QByteArrayView bytes) {
    buffer_.append(bytes);
}

void FtpReplyReader::clear() {
    buffer_.clear();
    scanned_ = 0;
    current_ = {};
    endMark_.clear();
    total_ = 0;
    offending_.clear();
}

bool FtpReplyReader::takeLine(QByteArray& line) {
    // Only bytes not searched before are searched, so a long line arriving
    // in small pieces costs no more than its length.
    const qsizetype eind = buffer_.indexOf('\n', scanned_);
    if (eind < 0) {
        scanned_ = buffer_.size();
        return false;
    }
    line = buffer_.left(eind);
    if (line.endsWith('\r')) line.chop(1);
    buffer_.remove(0, eind + 1);
    scanned_ = 0;
    return true;
}

FtpReplyReader::Status FtpReplyReader::next(FtpReply& reply) {
    QByteArray line;
    while (takeLine(line)) {
        if (line.size() > MaxLine) return Status::TooLong;
        if (endMark_.isEmpty()) {
            const int code = replyCode(line);
            if (code == 0) {
                offending_ = FtpListing::decode(line.left(200));
                return Status::NoCode;
            }
            current_ = {code, FtpListing::decode(line)};
            total_ = line.size();
            if (line.size() > 3 && line[3] == '-') {
                endMark_ = line.left(3) + ' ';
                continue;
            }
        } else {
            total_ += line.size() + 1;
            if (total_ > MaxReply) return Status::TooLong;
            current_.text += QLatin1Char('\n') + FtpListing::decode(line);
            if (!line.startsWith(endMark_) && line != endMark_.left(3)) continue;
            endMark_.clear();
        }
        reply = current_;
        current_ = {};
        return Status::Complete;
    }
    if (buffer_.size() > MaxLine) return Status::TooLong;
    return Status::Incomplete;
}

}  // namespace korvex::net
