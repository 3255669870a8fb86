#include <gtest/gtest.h>

#include <QStringEncoder>

#include "platform/AnsiCodec.h"

using korvex::AnsiCodec;

TEST(AnsiCodec, EveryByteDecodesAndEncodesBack) {
    QByteArray alle;
    for (int b = 0; b < 256; ++b) alle.append(char(b));
    const QString tekst = AnsiCodec::decode(alle);
    ASSERT_EQ(tekst.size(), 256);
    EXPECT_EQ(AnsiCodec::encode(tekst), alle);

    const struct {
        int byte;
        char16_t teken;
    } gevallen[] = {{0x41, u'A'},   {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160}, {0x8D, 0x008D},
                    {0x8F, 0x008F}, {0x90, 0x0090}, {0x99, 0x2122}, {0x9D, 0x009D}, {0x9F, 0x0178},
                    {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF}};
    for (const auto& g : gevallen)
        EXPECT_EQ(tekst.at(g.byte).unicode(), g.teken) << "byte " << g.byte;
}

TEST(AnsiCodec, CharactersTheCodePageLacksBecomeOneQuestionMarkEach) {
    const struct {
        QString tekst;
        QByteArray bytes;
    } gevallen[] = {
        {QStringLiteral("Łódź"), QByteArray("?\xF3"
                                            "d?")},
        {QStringLiteral("a中b"), QByteArray("a?b")},
        {QString::fromUtf8("x\xF0\x9F\x98\x80y"), QByteArray("x?y")},  // outside the BMP
        {QString(QChar(0x0080)), QByteArray("?")},          // C1 control with a defined byte
        {QString(QChar(0xD800)) + u'z', QByteArray("?z")},  // half a surrogate pair
        {QStringLiteral("€™"), QByteArray("\x80\x99")},
    };
    for (const auto& g : gevallen)
        EXPECT_EQ(AnsiCodec::encode(g.tekst), g.bytes) << g.tekst.toStdString();
}

TEST(AnsiCodec, ByteOrderMarksChooseTheDecoding) {
    const QString tekst = QStringLiteral("Zoë €中");
    auto met = [&tekst](QStringConverter::Encoding e) {
        QStringEncoder encoder(e, QStringConverter::Flag::WriteBom);
        return QByteArray(encoder(tekst));
    };
    const struct {
        const char* naam;
        QByteArray bytes;
        QString verwacht;
    } gevallen[] = {
        {"utf-8", met(QStringConverter::Utf8), tekst},
        {"utf-16le", met(QStringConverter::Utf16LE), tekst},
        {"utf-16be", met(QStringConverter::Utf16BE), tekst},
        {"no mark", QByteArray("Zo\xEB \x80"), QStringLiteral("Zoë €")},
        {"utf-8 without mark is 1252", QByteArray("Zo\xC3\xAB"), QStringLiteral("ZoÃ«")},
        {"mark only", QByteArray("\xFF\xFE"), QString()},
        {"second mark is text", QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx"),
         QString(QChar(0xFEFF)) + u'x'},
        {"empty", QByteArray(), QString()},
    };
    for (const auto& g : gevallen)
        EXPECT_EQ(AnsiCodec::decodeWithBom(g.bytes), g.verwacht) << g.naam;
}
