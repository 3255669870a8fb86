#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace korvex::net {

// A reply as the server sent it: its code and its lines, joined by LF.
struct FtpReply {
    int code = 0;
    QString text;
};

// Cuts the bytes of a control connection into replies by the RFC 959 rule:
// a multi-line reply ("123-") ends only at a line with the same code
// followed by a blank. What a server sends is bounded: a line longer than
// MaxLine or a reply longer than MaxReply is refused, never kept.
class FtpReplyReader {
  public:
    static constexpr qsizetype MaxLine = 8 * 1024;
    static constexpr qsizetype MaxReply = 256 * 1024;

    enum class Status {
        Incomplete,  // more bytes are needed
        Complete,    // reply holds the next reply
        NoCode,      // a first line without a valid code; offendingLine() has it
        TooLong,     // a line or the reply passed its bound
    };

    // Bytes as they arrive, in any pieces.
    void feed(QByteArrayView bytes);
    Status next(FtpReply& reply);
    // Bytes fed but not yet taken (never more than MaxLine past a reply).
    qsizetype buffered() const { return buffer_.size(); }
    QString offendingLine() const { return offending_; }
    void clear();

  private:
    bool takeLine(QByteArray& line);

    QByteArray buffer_;
    qsizetype scanned_ = 0;  // bytes of buffer_ known to hold no LF
    FtpReply current_;
    QByteArray endMark_;  // "123 " while inside a multi-line reply
    qsizetype total_ = 0;
    QString offending_;
};

}  // namespace korvex::net
