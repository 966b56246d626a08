#include "platform/foreign.h"

#include <gtest/gtest.h>

namespace {

std::string mark(char32_t value) {
    std::string out;
    append_foreign(out, value);
    return out;
}

}  // namespace

// The byte form is what names carry between the platform and the core on both builds: it must
// read back as written, and nothing else may read as a mark, or two forms of one name appear.
TEST(ForeignForm, OnlyTheFormWeWriteReadsBack) {
    EXPECT_EQ("\x0E\x10\x10\x10\x11\x14\x11", mark(0x141));  // Ł
    for (char32_t value : {U'Ł', U'П', U'／', U'📧', char32_t{RAW + 0x0E}, char32_t{RAW + 0xC3}})
        EXPECT_EQ(value, foreign_at("a" + mark(value), 1)) << static_cast<unsigned>(value);
    const std::string not_ours[] = {
        mark(0xE4),                 // the code page holds it: its byte is the one form
        mark('A'), mark(0xD800),    // a surrogate is no character
        mark(RAW + 'A'),            // only FOREIGN's own byte is carried below 0x80
        mark(RAW + 0x100),
        mark(0x141).substr(0, 6),   // cut short
        "\x0E\x10\x10\x10\x11\x14\x21",  // a digit out of range
    };
    for (const std::string& text : not_ours) EXPECT_FALSE(foreign_at(text, 0)) << text.size();
}

TEST(ForeignForm, CountsAMarkAsOneCharacter) {
    const std::string name = "Z" + mark(0x141) + "\xE4" + mark(0x1F4E7) + "\x0E";
    EXPECT_EQ(5u, character_count(name));
    EXPECT_EQ(FOREIGN_SIZE, character_size(name, 1));
    EXPECT_EQ(1u, character_size(name, name.size() - 1));
    std::string inside;
    for (char32_t code : {U'Z', U'Ł', U'ä', U'📧'}) append_inside(inside, code);
    EXPECT_EQ(name.substr(0, name.size() - 1), inside);
}
