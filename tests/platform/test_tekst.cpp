#include <gtest/gtest.h>

#include "platform/Tekst.h"

using korvex::Tekst;

TEST(Tekst, TrimsBlanksAndControlCharactersOnlyAtTheEdges) {
    EXPECT_EQ(Tekst::trimmed(" 42 "), "42");
    EXPECT_EQ(Tekst::trimmed("\t\r\n4 2\x01"), "4 2");
    EXPECT_EQ(Tekst::trimmed("   "), "");
    EXPECT_EQ(Tekst::trimmed(QString::fromUtf8("\xC2\xA0"
                                               "x")),
              QString::fromUtf8("\xC2\xA0"
                                "x"));
}

TEST(Tekst, BatchEndsEveryLineWithCrLfTheLastIncluded) {
    EXPECT_EQ(Tekst::sqlBatch({"USE master", ";"}), "USE master\r\n;\r\n");
    EXPECT_EQ(Tekst::sqlBatch({}), "");
    EXPECT_EQ(Tekst::sqlBatch({""}), "\r\n");
}

TEST(Tekst, LiteralBodyDoublesApostrophes) {
    EXPECT_EQ(Tekst::sqlLiteralBody("D:\\O'Brien"), "D:\\O''Brien");
    EXPECT_EQ(Tekst::sqlLiteralBody("''"), "''''");
    EXPECT_EQ(Tekst::sqlLiteralBody("NL001"), "NL001");
}
