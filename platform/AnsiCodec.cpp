#include "platform/AnsiCodec.h"

#include <QStringDecoder>
#include <array>

namespace korvex {

namespace {

// 0x80..0x9F; the five bytes the code page leaves undefined map to the C1
// control of the same number, as Windows does, so that no byte is lost.
constexpr std::array<char16_t, 32> kHoog = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteVoor(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
    for (int i = 0; i < int(kHoog.size()); ++i)
        if (kHoog[size_t(i)] == c) return 0x80 + i;
    return -1;
}

}  // namespace

QString AnsiCodec::decode(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHoog[b - 0x80]) : QChar(b);
    }
    return text;
}

bool AnsiCodec::canEncode(char32_t codePoint) {
    return byteVoor(codePoint) >= 0;
}

QByteArray AnsiCodec::encode(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            c = QChar::surrogateToUcs4(text.at(i).unicode(), text.at(i + 1).unicode());
            ++i;
        }
        const int b = byteVoor(c);
        bytes.append(b >= 0 ? char(b) : '?');
    }
    return bytes;
}

QString AnsiCodec::decodeWithBom(const QByteArray& bytes) {
    auto metMarkering = [&bytes](QStringConverter::Encoding encoding, qsizetype markering) {
        // Only our one mark is removed; a second one belongs to the text.
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless |
                                             QStringConverter::Flag::ConvertInitialBom);
        return QString(decoder(QByteArrayView(bytes).sliced(markering)));
    };
    if (bytes.startsWith("\xEF\xBB\xBF")) return metMarkering(QStringConverter::Utf8, 3);
    if (bytes.startsWith("\xFF\xFE")) return metMarkering(QStringConverter::Utf16LE, 2);
    if (bytes.startsWith("\xFE\xFF")) return metMarkering(QStringConverter::Utf16BE, 2);
    return decode(bytes);
}

}  // namespace korvex
