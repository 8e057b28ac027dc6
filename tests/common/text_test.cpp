#include "common/kw_text.h"

#include <gtest/gtest.h>

using namespace kw;

TEST(HexText, EncodesUpperCaseHighHalfFirst) {
    EXPECT_EQ(StrToHex(QByteArray("\x00\x0f\xa5\xff", 4)), QByteArray("000FA5FF"));
    EXPECT_EQ(StrToHex(QByteArray()), QByteArray());
}

TEST(HexText, DecodesLowerCaseAndSkipsNonDigits) {
    EXPECT_EQ(HexToStr("a5ff"), QByteArray("\xa5\xff"));
    EXPECT_EQ(HexToStr("  41\r\n42zz"), QByteArray("AB"));
    EXPECT_EQ(HexToStr("xyz"), QByteArray());
}

TEST(HexText, LoneDigitBeforeNonDigitIsOneByteAndSwallowsTheNonDigit) {
    // "4" before "-" gives byte 4; the "-" is passed over with it; "41" then gives 'A'.
    EXPECT_EQ(HexToStr("4-41"), QByteArray("\x04"
                                           "A",
                                           2));
    // The character after a lone digit is skipped even when it starts the next pair.
    EXPECT_EQ(HexToStr("4 1"), QByteArray("\x04\x01", 2));
    EXPECT_EQ(HexToStr("F"), QByteArray("\x0f"));
}

TEST(CfgXorText, UsesKeyEntriesFromOneAndWrapsAroundTen) {
    const QByteArray zeros(12, '\0');
    // 1-based position i uses key entry i mod 10: entries 1..9, 0, 1, 2.
    EXPECT_EQ(StrToHex(CfgXor(zeros)), QByteArray("0B0E13021A071C0D19050B0E"));
    const QByteArray text("C:/Videos, \"x\"\t\x01\xff");
    EXPECT_EQ(CfgXor(CfgXor(text)), text);
    EXPECT_EQ(DecodeCfgText(EncodeCfgText(text)), text);
}

TEST(CommaText, JoinQuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(JoinCommaText({"200", "", "", "", ""}), QByteArray("200,,,,"));
    EXPECT_EQ(JoinCommaText({"a b", "plain", "say \"hi\"", "x,y", "tab\there"}),
              QByteArray("\"a b\",plain,\"say \"\"hi\"\"\",\"x,y\",\"tab\there\""));
    EXPECT_EQ(JoinCommaText({QByteArray("\x01", 1)}), QByteArray("\"\x01\""));
}

TEST(CommaText, SplitFollowsTheQuotingAndBlankRules) {
    EXPECT_EQ(SplitCommaText("200,,,,"), (TByteList{"200", "", "", "", ""}));
    EXPECT_EQ(SplitCommaText("  a , b"), (TByteList{"a", "b"}));
    // An unquoted blank ends a value; the next one starts after it.
    EXPECT_EQ(SplitCommaText("my video,x"), (TByteList{"my", "video", "x"}));
    EXPECT_EQ(SplitCommaText("\"my \"\"video\"\"\",x"), (TByteList{"my \"video\"", "x"}));
    // Without a closing quote the value runs to the end.
    EXPECT_EQ(SplitCommaText("\"open,end"), (TByteList{"open,end"}));
    // A comma followed by blanks only is not the last character: no extra empty value.
    EXPECT_EQ(SplitCommaText("a, "), (TByteList{"a"}));
    EXPECT_EQ(SplitCommaText(""), TByteList{});
}

TEST(CommaText, RoundTripsAwkwardValues) {
    const TByteList values = {"-5", "", "\"", "C:/My Videos/a,b", "\xc3\xa9t\xc3\xa9 \"q\""};
    EXPECT_EQ(SplitCommaText(JoinCommaText(values)), values);
}
