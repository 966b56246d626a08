#include "platform/case_folding.h"

#include <gtest/gtest.h>

#include "platform/foreign.h"
#include "platform/text.h"

namespace {

std::string inside(std::u32string_view codes) {
    std::string out;
    for (char32_t code : codes) append_inside(out, code);
    return out;
}

}  // namespace

TEST(CaseFolding, SimpleUnicodeFolding) {
    const struct {
        char32_t code, folded;
    } cases[] = {
        {U'П', U'п'}, {U'Ё', U'ё'}, {U'п', U'п'},  // Cyrillic
        {U'Σ', U'σ'}, {U'ς', U'σ'},                // Greek final sigma
        {U'ß', U'ß'}, {U'ẞ', U'ß'},                // no "ss": that is the full folding
        {U'İ', U'İ'}, {U'ı', U'ı'}, {U'I', U'i'},  // Turkish dotted and dotless i: only the Turkish rules pair them
        {U'Ł', U'ł'}, {U'Ա', U'ա'}, {U'Ａ', U'ａ'}, {U'𐐀', U'𐐨'}, {U'K', U'k'},  // Kelvin sign
        {U'🎉', U'🎉'}, {U'中', U'中'}, {0x10FFFF, 0x10FFFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.folded, fold_character(c.code)) << std::hex << static_cast<unsigned>(c.code);
}

TEST(CaseFolding, NamesFoldWhateverTheirScript) {
    // pairs that must fold alike (kept out of the macros, which quote their arguments as plain text)
    const std::u32string alike[][2] = {
        {U"Привет", U"ПРИВЕТ"}, {U"спам.mbox", U"Спам.MBOX"}, {U"ὀδυσσεύς", U"ὈΔΥΣΣΕΎΣ"}, {U"k", U"K"}};
    for (const auto& pair : alike) EXPECT_EQ(fold_case(inside(pair[0])), fold_case(inside(pair[1])));
    const std::string spam = inside(U"спам.mbox"), capital_spam = inside(U"Спам.MBOX");
    EXPECT_EQ(spam, fold_case(capital_spam));
    const std::string kelvin = inside(U"K");
    EXPECT_EQ("k", fold_case(kelvin));  // the Kelvin sign folds into the code page
    const std::string chats = inside(U"Чаты");
    EXPECT_NE(fold_case(spam), fold_case(chats));
    // the code page's own letters exactly as lower_case has them, µ and ß included
    std::string every_byte;
    for (int c = 1; c < 256; ++c)
        if (c != static_cast<unsigned char>(FOREIGN)) every_byte += static_cast<char>(c);
    EXPECT_EQ(lower_case(every_byte), fold_case(every_byte));
    // a raw byte kept in its mark stays as it is
    std::string raw;
    append_foreign(raw, RAW + 0xC3);
    EXPECT_EQ(raw, fold_case(raw));
}
