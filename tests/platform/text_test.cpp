#include <gtest/gtest.h>

#include "tests/platform/scratch.h"

namespace {

// Every capital of cp1252 with its small letter.
const std::string CAPITALS =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ\x8A\x8C\x8E\x9F"
    "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
    "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD8\xD9\xDA\xDB\xDC\xDD\xDE";
const std::string SMALLS =
    "abcdefghijklmnopqrstuvwxyz\x9A\x9C\x9E\xFF"
    "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
    "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF8\xF9\xFA\xFB\xFC\xFD\xFE";

}  // namespace

TEST(CaseMapping, UmlautsKeepTheLength) {
    EXPECT_EQ("\xE4\xF6\xFC" "abc", lower_case("\xC4\xD6\xDC" "ABC"));
    EXPECT_EQ("\xC4\xD6\xDC" "ABC", upper_case("\xE4\xF6\xFC" "abc"));
    EXPECT_EQ("stra\xDF" "e", lower_case("STRA\xDF" "E"));
    EXPECT_EQ("STRA\xDF" "E", upper_case("stra\xDF" "e"));
    EXPECT_EQ("", lower_case(""));
    EXPECT_EQ("", upper_case(""));
    std::string with_nul("A\0B", 3);
    EXPECT_EQ(std::string("a\0b", 3), lower_case(with_nul));
}

TEST(CaseMapping, WholeCodePage) {
    EXPECT_EQ(SMALLS, lower_case(CAPITALS));
    EXPECT_EQ(CAPITALS, upper_case(SMALLS));
    // Everything else stays: digits, signs, \xD7 (times), \xF7 (divide), \xB5 (micro).
    std::string others;
    for (int c = 1; c < 256; ++c)
        if (CAPITALS.find(static_cast<char>(c)) == std::string::npos &&
            SMALLS.find(static_cast<char>(c)) == std::string::npos && c != 0xDF && c != 0xB5)
            others += static_cast<char>(c);
    EXPECT_EQ(others, lower_case(others));
    EXPECT_EQ(others, upper_case(others));
}

TEST(ExternalText, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(all, internal_text(external_text(all)));
}

TEST(ExternalText, Utf8OutsideAndCp1252Inside) {
    if (is_windows()) GTEST_SKIP() << "Windows texts need no conversion";
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", external_text("Gr\xFC\xDF" "e \x80"));
    EXPECT_EQ("Gr\xFC\xDF" "e \x80", internal_text("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"));
}

namespace {

std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

}  // namespace

// What cp1252 cannot hold must come back byte for byte, or the name cannot be opened.
TEST(ExternalText, EveryNameSurvivesTheRoundTrip) {
    if (is_windows()) GTEST_SKIP() << "Windows texts need no conversion";
    const std::string names[] = {
        utf8(u8"Входящие.mbox"), utf8(u8"下载"), utf8(u8"📧 März €"), utf8(u8"Λήψεις/ダウンロード"),
        "caf\xE9", "\xC3", "\xC0\xAF", "\xED\xA0\x80",  // Latin-1, cut short, overlong, surrogate
        "\x0E\x10\x10\x10\x14\x11\x16",                  // what looks like our own inside form
    };
    for (const std::string& name : names) EXPECT_EQ(name, external_text(internal_text(name))) << name;
    EXPECT_EQ(names[0], external_text(lower_case(internal_text(names[0]))));  // case mapping keeps them
    EXPECT_EQ("M\xE4rz \x80", internal_text("M\xC3\xA4rz \xE2\x82\xAC"));  // cp1252 letters stay bytes
    const std::string spam = internal_text(utf8(u8"Спам")), chats = internal_text(utf8(u8"Чаты"));
    EXPECT_NE(lower_case(spam), lower_case(chats));
    // Terminal and log get UTF-8: a byte that is not UTF-8 shows as its cp1252 letter.
    EXPECT_EQ(names[0], shown_text(internal_text(names[0])));
    EXPECT_EQ("caf\xC3\xA9", shown_text(internal_text("caf\xE9")));
}
