#include "message/encoded_words.h"

#include <gtest/gtest.h>

#include <string>

TEST(DecodeWords, QAndBBecomeBytes) {
    EXPECT_EQ("Gr\xFC\xDF" "e", decode_words("=?utf-8?Q?Gr=C3=BC=C3=9Fe?="));
    EXPECT_EQ("Gr\xFC\xDF" "e", decode_words("=?ISO-8859-1?q?Gr=FC=DFe?="));
    EXPECT_EQ("\xE4\xF6\xFC", decode_words("=?utf-8?b?w6TDtsO8?="));
    EXPECT_EQ("\xE4\xF6\xFC", decode_words("=?UTF-8?B?w6TDtsO8?="));
    EXPECT_EQ("Keld J\xF8rn", decode_words("=?ISO-8859-1?Q?Keld_J=F8rn?="));
    EXPECT_EQ("_ 5", decode_words("=?utf-8?q?=E2=82=AC_5?="));
    EXPECT_EQ("\xC3\xA4", decode_words("=?utf8?q?=C3=A4?="));  // only "utf-8" is converted
    EXPECT_EQ("\xE4", decode_words("=?\"utf-8\"?q?=E4?="));    // a quoted charset is not "utf-8"
}

TEST(DecodeWords, JoiningAndGaps) {
    EXPECT_EQ("ab", decode_words("=?utf-8?q?a?= =?utf-8?q?b?="));
    EXPECT_EQ("ab", decode_words("=?utf-8?q?a?=\n\t =?utf-8?q?b?="));
    EXPECT_EQ("a x b", decode_words("=?utf-8?q?a?= x =?utf-8?q?b?="));
    EXPECT_EQ("Re: a", decode_words("Re: =?utf-8?q?a?="));
    EXPECT_EQ("a", decode_words("   =?utf-8?q?a?="));
    EXPECT_EQ("a tail ", decode_words("=?utf-8?q?a?= tail "));
    EXPECT_EQ("a  ", decode_words("=?utf-8?q?a?=  "));
}

TEST(DecodeWords, EndMarkAfterTheQLetter) {
    EXPECT_EQ("=", decode_words("=?utf-8?q?=3D?="));
    EXPECT_EQ("=x", decode_words("=?utf-8?Q?=3Dx?="));
    // a "?=" inside Q text ends the word early; the rest stays as written
    EXPECT_EQ("ab?=", decode_words("=?utf-8?q?a?=b?="));
    EXPECT_EQ("=?utf-8?q?=", decode_words("=?utf-8?q?="));
}

TEST(DecodeWords, UndecodableStaysAsWritten) {
    for (const char* raw : {"=?utf-8?x?abc?=", "=?utf-8?q?a?b?=", "=?utf-8?q?abc", "=?\?=", "=?utf-8?qq?a?=",
                            "no words here", "x =?", "=?", "=?a", "", "=?\"utf-8?q?a\"?="})
        EXPECT_EQ(raw, decode_words(raw)) << raw;
    EXPECT_EQ("=?utf-8?x?abc?=ok", decode_words("=?utf-8?x?abc?= =?utf-8?q?ok?="));
    EXPECT_EQ("ab=?c", decode_words("=?utf-8?q?a?= =?utf-8?q?b?= =?c"));
    EXPECT_EQ("a=?", decode_words("=?utf-8?q?a?==?"));
    EXPECT_EQ("a", decode_words("=?utf-8???q??a?="));  // runs of "?" give no empty part
}

TEST(DecodeWords, BrokenUtf8KeepsItsBytes) {
    EXPECT_EQ("\xC3", decode_words("=?utf-8?q?=C3?="));
    // a character split over two words fails in both
    EXPECT_EQ("\xC3\xA4", decode_words("=?utf-8?q?=C3?= =?utf-8?q?=A4?="));
    EXPECT_EQ("\xC3\xA4\xC3", decode_words("=?utf-8?b?w6TD?="));
    EXPECT_EQ(std::string("a\0b", 3), decode_words("=?utf-8?q?a=00b?="));
}

TEST(DecodeQ, Steps) {
    EXPECT_EQ("=e4", decode_q("=e4"));
    EXPECT_EQ("=G1", decode_q("=G1"));
    EXPECT_EQ("\xE4", decode_q("=E4"));
    EXPECT_EQ("ab", decode_q("a=\nb"));
    EXPECT_EQ("ab", decode_q("a=\r\nb"));
    EXPECT_EQ("a=", decode_q("a="));
    EXPECT_EQ("a=4", decode_q("a=4"));
    EXPECT_EQ("a=\n", decode_q("a=\n"));  // too short for a soft break
    EXPECT_EQ("==A", decode_q("===41"));
}

TEST(DecodeB, GroupsAndPadding) {
    EXPECT_EQ("", decode_b("QQ"));
    EXPECT_EQ("A", decode_b("QQ=="));
    EXPECT_EQ("AB", decode_b("QUI="));
    EXPECT_EQ("ABC", decode_b("QUJD"));
    EXPECT_EQ("ABC", decode_b("QU\nJD"));  // foreign bytes are skipped
    EXPECT_EQ("ABC", decode_b("QUJDQQ"));  // an unfinished last group gives nothing
    EXPECT_EQ("AQUJD", decode_b("QQ==QUJD"));  // what follows the padding is kept as written
    EXPECT_EQ("", decode_b("Q==="));
    EXPECT_EQ("A", decode_b("QQ=Q"));
    EXPECT_EQ("  A", decode_b("  QQ=="));
    EXPECT_EQ(" \t", decode_b(" \t"));
    EXPECT_EQ("", decode_b(""));
    EXPECT_EQ("", decode_b("!!!!"));
}

TEST(Utf8Words, AllOrNothing) {
    EXPECT_EQ("A\xE4_", utf8_to_8bit("A\xC3\xA4\xE2\x82\xAC"));
    EXPECT_EQ("_", utf8_to_8bit("\xF0\x9F\x98\x80"));
    EXPECT_EQ("", utf8_to_8bit(""));
    for (const char* bad : {"\xC3", "\xE2\x82", "\x80", "a\xBF", "\xC0\x80", "\xC1\xBF", "\xED\xA0\x80",
                            "\xF5\x80\x80\x80", "\xF4\x90\x80\x80", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\xFF",
                            "\xC3\x41"})
        EXPECT_FALSE(utf8_to_8bit(bad).has_value()) << bad;
    EXPECT_EQ("\xC3", convert_charset("\xC3", "utf-8"));
    EXPECT_EQ("\xE4", convert_charset("\xC3\xA4", "utf-8"));
    EXPECT_EQ("\xC3\xA4", convert_charset("\xC3\xA4", "koi8-r"));
    EXPECT_EQ("\xC3\xA4", convert_charset("\xC3\xA4", ""));
}

TEST(Utf8Words, SequenceTable) {
    EXPECT_TRUE(utf8_sequence_ok("\xE0\xA0\x80", 1, 3));
    EXPECT_FALSE(utf8_sequence_ok("\xE0\x9F\xBF", 1, 3));
    EXPECT_TRUE(utf8_sequence_ok("\xED\x9F\xBF", 1, 3));
    EXPECT_TRUE(utf8_sequence_ok("\xF0\x90\x80\x80", 1, 4));
    EXPECT_TRUE(utf8_sequence_ok("\xF4\x8F\xBF\xBF", 1, 4));
    EXPECT_TRUE(utf8_sequence_ok("x\xC2\x80", 2, 2));
    EXPECT_FALSE(utf8_sequence_ok("\xC2", 1, 2));    // past the end
    EXPECT_FALSE(utf8_sequence_ok("\xC2\x80", 0, 2));
    EXPECT_FALSE(utf8_sequence_ok("abcde", 1, 5));
}
