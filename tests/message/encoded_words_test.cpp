#include "message/encoded_words.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/foreign.h"
#include "platform/utf8.h"
#include "tests/support/inside_text.h"

TEST(DecodeWords, QAndBBecomeBytes) {
    EXPECT_EQ("Gr\xFC\xDF" "e", decode_words("=?utf-8?Q?Gr=C3=BC=C3=9Fe?="));
    EXPECT_EQ("Gr\xFC\xDF" "e", decode_words("=?ISO-8859-1?q?Gr=FC=DFe?="));
    EXPECT_EQ("\xE4\xF6\xFC", decode_words("=?utf-8?b?w6TDtsO8?="));
    EXPECT_EQ("\xE4\xF6\xFC", decode_words("=?UTF-8?B?w6TDtsO8?="));
    EXPECT_EQ("Keld J\xF8rn", decode_words("=?ISO-8859-1?Q?Keld_J=F8rn?="));
    EXPECT_EQ("\x80 5", decode_words("=?utf-8?q?=E2=82=AC_5?="));  // the euro sign is in the code page
    EXPECT_EQ("\xE4", decode_words("=?utf8?q?=C3=A4?="));
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
    // a character split over two words is joined; a broken word keeps its bytes but not its neighbours'
    EXPECT_EQ("\xE4", decode_words("=?utf-8?q?=C3?= =?utf-8?q?=A4?="));
    EXPECT_EQ("\xE4\xFF", decode_words("=?utf-8?q?=C3=A4?= =?utf-8?q?=FF?="));
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

// What each charset gives: in the default 8-bit names the code page's letters and "_" for
// the others; with Unicode names every character (nullptr: the same bytes as 8-bit).
TEST(DecodeWords, EveryCharset) {
    const struct {
        const char* raw;
        const char* eight_bit;
        const char8_t* unicode;
    } cases[] = {
        {"=?utf-8?B?0J/RgNC40LLQtdGCLCDQutCw0Log0LTQtdC70LA/?=", "______, ___ ____?", u8"Привет, как дела?"},
        {"=?utf-8?B?8J+OiQ==?=", "_", u8"🎉"},
        {"=?utf-8?Q?Za=C5=BC=C3=B3=C5=82=C4=87_g=C4=99=C5=9Bl=C4=85_ja=C5=BA=C5=84?=", "Za_\xF3__ g__l_ ja__", u8"Zażółć gęślą jaźń"},
        {"Stromrechnung M\xC3\xA4rz", "Stromrechnung M\xE4rz", nullptr},  // raw UTF-8
        {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xB8\xD0\xB7 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD1\x8B",
         "______ __ ______", u8"Привет из Москвы"},
        {"Re: M\xC3\xA4rz =?utf-8?q?=C3=A4?=", "Re: M\xE4rz \xE4", nullptr},
        {"M\xE4rz", "M\xE4rz", nullptr},  // raw Latin-1 is no UTF-8
        {"=?koi8-r?B?8NLJ18XU?=", "______", u8"Привет"},
        {"=?gb2312?B?xOO6ww==?=", "__", u8"你好"},
        {"=?iso-2022-jp?B?GyRCJDMkcyRLJEEkTxsoQg==?=", "_____", u8"こんにちは"},
        {"=?utf-8?q?Gr=C3?= =?utf-8?q?=BC=C3=9Fe?=", "Gr\xFC\xDF" "e", nullptr},  // split inside a character
        {"=?iso-8859-2?Q?Za=BF=F3=B3=E6?=", "Za_\xF3__", u8"Zażółć"},
        {"=?iso-8859-15?Q?5_=A4?=", "5 \x80", nullptr},
        {"=?ISO-8859-1?Q?=80=81=A4?=", "\x80\x81\xA4", nullptr},  // Latin-1 and cp1252 keep their bytes
        {"=?windows-1252?Q?=80=81=A4?=", "\x80\x81\xA4", nullptr},
        {"=?us-ascii?Q?a=E4?=", "a\xE4", nullptr},
        {"=?iso-2022-jp?B?GyRCJDMkcyRLJEEkTxsoQiBhYmM=?=", "_____ abc", u8"こんにちは abc"},
        {"=?euc-jp?B?pLOk86TLpMGkzw==?=", "_____", u8"こんにちは"},
        {"=?windows-1251?B?z/Do4uXy?=", "______", u8"Привет"},
        {"=?big5?B?p0Gmbg==?=", "__", u8"你好"},
        {"=?shift_jis?B?grGC8YLJgr+CzQ==?=", "_____", u8"こんにちは"},
        {"=?euc-kr?B?vsiz5w==?=", "__", u8"안녕"},
        {"=?x-unknown?Q?a=E4?=", "a\xE4", nullptr},
        {"=?utf-8?q?a?= =?koi8-r?B?8NLJ18XU?=", "a______", u8"aПривет"},
        {"=?shift_jis?Q?=82?=", "\x82", nullptr},  // cut short: stays as it is
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.eight_bit, decode_words(c.raw)) << c.raw;
        EXPECT_EQ(c.unicode ? inside(c.unicode) : c.eight_bit, decode_words(c.raw, true)) << c.raw;
    }
}

TEST(Utf8Words, WellFormedOnly) {
    for (const char* good : {"", "a", "\xC2\x80", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_TRUE(valid_utf8(good)) << good;
    for (const char* bad : {"\xC3", "\xE2\x82", "\x80", "a\xBF", "\xC0\x80", "\xC1\xBF", "\xED\xA0\x80",
                            "\xF5\x80\x80\x80", "\xF4\x90\x80\x80", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\xFF",
                            "\xC3\x41", "\xE0\x9F\xBF"})
        EXPECT_FALSE(valid_utf8(bad)) << bad;
    EXPECT_EQ("\xC3", convert_charset("\xC3", "utf-8"));
    EXPECT_EQ("\xE4", convert_charset("\xC3\xA4", "utf-8"));
    EXPECT_EQ("\xC3\xA4", convert_charset("\xC3\xA4", ""));
}
