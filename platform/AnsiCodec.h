#pragma once

#include <QByteArray>
#include <QString>

namespace korvex {

// Windows-1252, the code page of the files the tool writes as "ANSI".
// Every byte decodes to one character, so a decode followed by an encode
// gives back the original bytes.
class AnsiCodec {
  public:
    static QString decode(const QByteArray& bytes);
    // A character the code page lacks becomes "?" (one per code point).
    static QByteArray encode(const QString& text);
    // Whether the character has a byte of its own in the code page.
    static bool canEncode(char32_t codePoint);
    // Honours the UTF-8, UTF-16 LE and UTF-16 BE byte-order marks; text
    // without one is Windows-1252. The mark itself is dropped.
    static QString decodeWithBom(const QByteArray& bytes);
};

}  // namespace korvex
