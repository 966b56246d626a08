#include "message/file_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/settings.h"
#include "platform/foreign.h"
#include "platform/name_limits.h"
#include "platform/utf8.h"
#include "tests/message/windows_name.h"
#include "tests/support/inside_text.h"
#include "tests/platform/scratch.h"

namespace {

class FileNames : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        settings = Settings{};
        clear_registry();
    }
    static void underscore_for_blank_and_dot() {
        settings.replace_from = ". ";
        settings.replace_to = "__";
        settings.space_char = '_';
        settings.ellipsis = "___";
    }
};

const DateTime jan_1_2024_9h{2024, 1, 1, 9, 0, 0};

std::string name_of(std::string_view subject, double zone = 0, const DateTime& date = DateTime{}) {
    return build_file_name(subject, date, zone).file_name;
}

}  // namespace

TEST_F(FileNames, RemovePrefixes) {
    EXPECT_EQ("Hallo", remove_prefixes("Re: AW: Fwd: Hallo"));
    EXPECT_EQ("x", remove_prefixes("RE[2]:x"));
    EXPECT_EQ("x", remove_prefixes(" \t\r\nre:\tfw:  x"));
    for (const char* kept : {"Reply: x", "Re : x", "Antwort: x", "x Re: y"})
        EXPECT_EQ(kept, remove_prefixes(kept));
    EXPECT_EQ("", remove_prefixes("Re: re: "));
    settings.prefixes_to_remove = {"antw:", "\xE4w:"};
    EXPECT_EQ("Re: x", remove_prefixes("ANTW: Re: x"));
    EXPECT_EQ("x", remove_prefixes("\xC4W: x"));  // 8-bit letters fold by the ANSI code page
    settings.prefixes_to_remove = {"", "re:"};    // an empty prefix must not loop
    EXPECT_EQ("x", remove_prefixes("re:x"));
    settings.prefixes_to_remove.clear();
    EXPECT_EQ("Re: x", remove_prefixes("Re: x"));
}

TEST_F(FileNames, RemovePrefixesOfAHugeSubject) {
    std::string subject;
    for (int k = 0; k < 200000; ++k) subject += "Re: ";
    EXPECT_EQ("end", remove_prefixes(subject + "end"));
}

TEST_F(FileNames, CleanSubjectReplacesAndCollapses) {
    EXPECT_EQ("Frage. 'A B' wichtig", clean_subject("Frage: \"A/B\" <wichtig>"));
    EXPECT_EQ("a b", clean_subject("a  \t  b"));
    EXPECT_EQ("a b", clean_subject("a\n b"));
    EXPECT_EQ("a b", clean_subject(std::string_view("a\0\x01\x1F b", 6)));
    EXPECT_EQ("a b c", clean_subject("a\\b|c"));
    EXPECT_EQ("\xFC\x7F\xFF", clean_subject("\xFC\x7F\xFF"));
    EXPECT_EQ("[no subject]", clean_subject(""));
    EXPECT_EQ("[no subject]", clean_subject("Re:"));
    EXPECT_EQ("[no subject]", clean_subject("   "));
    EXPECT_EQ("_", clean_subject("???"));
    EXPECT_EQ("_", clean_subject("***"));
    EXPECT_EQ("_", clean_subject("\x01\x02"));
}

TEST_F(FileNames, CleanSubjectWithReplacements) {
    underscore_for_blank_and_dot();
    EXPECT_EQ("Teil_1_2_final", clean_subject("Teil 1.2 final"));
    EXPECT_EQ("a_b", clean_subject("a:b"));       // ":" becomes "." and then "_"
    EXPECT_EQ("a__b", clean_subject("a\x01\x02" "b"));  // a non-blank space_char is not collapsed
    EXPECT_EQ("a_", clean_subject(" a "));  // only the trailing blank is left to become "_"
    EXPECT_EQ(std::string(43, 'x') + "___", clean_subject(std::string(100, 'x')));

    settings = Settings{};
    settings.replace_from = "x";
    settings.replace_to = " ";
    EXPECT_EQ("a  b", clean_subject("ax  b"));  // blanks made by a replacement are not collapsed
    EXPECT_EQ("a", clean_subject("ax"));
    EXPECT_EQ("_", clean_subject("xx"));
}

TEST_F(FileNames, CutAtTheBudget) {
    EXPECT_EQ(std::string(43, 'x') + "...", clean_subject(std::string(100, 'x')));
    EXPECT_EQ(std::string(46, 'x'), clean_subject(std::string(46, 'x')));
    EXPECT_EQ(std::string(43, 'x') + "...", clean_subject(std::string(47, 'x')));
    EXPECT_EQ(std::string(42, 'x') + " ...", clean_subject(std::string(42, 'x') + " yyyy"));  // blank before the mark
    EXPECT_EQ(std::string(46, 'x'), clean_subject("  " + std::string(46, 'x') + "  "));       // trimmed first
    settings.name_budget = 3;
    EXPECT_EQ("...", clean_subject("abcd"));
    EXPECT_EQ("abc", clean_subject("abc"));
    std::string huge(1 << 20, '\xE9');
    EXPECT_EQ(std::string(43, '\xE9') + "...", (settings.name_budget = 46, clean_subject(huge)));
}

TEST_F(FileNames, DeviceNamesGetAnUnderscore) {
    EXPECT_EQ("_NUL. Termin", clean_subject("NUL: Termin"));
    EXPECT_EQ("_con.txt", clean_subject("con.txt"));
    EXPECT_EQ("_Com1.x", clean_subject("Com1.x"));
    EXPECT_EQ("_LPT\xB9.x", clean_subject("LPT\xB9.x"));
    EXPECT_EQ("_nul .x", clean_subject("nul .x"));
    EXPECT_EQ("_CONOUT$.", clean_subject("CONOUT$."));
    for (const char* plain : {"NUL", "CON x", "COM0.x", "NULL.x", "LPT10.x", "AUX_x.y", "xNUL.y"})
        EXPECT_EQ(plain, clean_subject(plain));
    settings.name_budget = 6;
    EXPECT_EQ("_NU...", clean_subject("NUL meeting"));  // the cut itself made "NUL..."
}

TEST_F(FileNames, BuiltNamesAreValidWindowsNames) {
    for (const char* subject : {"CON", "nul", "Com1", "LPT9", "PRN", "AUX", "CONIN$", ".", "..", " . ", "...",
                                "a.", "a ", "NUL: x", "aux.c", "x\x7F", "\"*\"", ":", "COM\xB3", "con . x"}) {
        std::string name = name_of(subject);
        EXPECT_TRUE(is_windows_file_name(name)) << subject << " -> " << name;
        EXPECT_TRUE(is_windows_file_name(name + settings.file_extension)) << subject;
        EXPECT_NE(".", name);
        EXPECT_NE("..", name);
    }
    clear_registry();
    EXPECT_EQ("CON_002100000", name_of("CON"));
    EXPECT_EQ("._002100000", name_of("."));
    EXPECT_EQ("..._002100000", name_of("..."));
}

TEST_F(FileNames, SuffixOfDateAndZone) {
    EXPECT_EQ("Hallo_582148001", name_of("Hallo", 1, jan_1_2024_9h));
    EXPECT_EQ("b_58214800B", name_of("b", -5, jan_1_2024_9h));
    EXPECT_EQ("c_58214800A", name_of("c", -5.5, jan_1_2024_9h));
    EXPECT_EQ("d_582148005", name_of("d", 5.75, jan_1_2024_9h));
    EXPECT_EQ("e_582148003", name_of("e", 99, jan_1_2024_9h));
    EXPECT_EQ("f_58214800D", name_of("f", -99, jan_1_2024_9h));
    EXPECT_EQ("g_58214800F", name_of("g", -1, jan_1_2024_9h));
    EXPECT_EQ("[no subject]_002100000", name_of(""));
    EXPECT_EQ("__002100000", name_of("???"));
    EXPECT_EQ("h_FF9FBBC01", name_of("h", 1, message_date("01 Jan 1980 00:30 +0100").date));

    BuiltName built = build_file_name("Re: =?utf-8?q?Gr=C3=BC=C3=9Fe?=", jan_1_2024_9h, 0);
    EXPECT_EQ("Re: Gr\xFC\xDF" "e", built.subject);
    EXPECT_EQ("Gr\xFC\xDF" "e_582148000", built.file_name);
}

TEST_F(FileNames, RepeatedNamesGetCounters) {
    EXPECT_EQ("Hallo_582148001", name_of("Hallo", 1, jan_1_2024_9h));
    EXPECT_EQ("Hallo_582148001[2]", name_of("Hallo", 1, jan_1_2024_9h));
    EXPECT_EQ("Hallo_582148001[3]", name_of("Hallo", 1, jan_1_2024_9h));
    EXPECT_EQ("HALLO_582148001[4]", name_of("HALLO", 1, jan_1_2024_9h));
    EXPECT_EQ("Hallo_582148001[2]_582148001", name_of("Hallo_582148001[2]", 1, jan_1_2024_9h));
    clear_registry();
    EXPECT_EQ("Hallo_582148001", name_of("Hallo", 1, jan_1_2024_9h));
}

TEST_F(FileNames, CounterNameAlreadyTaken) {
    EXPECT_EQ(1, register_name("A[2]"));
    EXPECT_EQ("a", make_unique("a"));
    EXPECT_EQ("a[3]", make_unique("a"));  // "a[2]" is in use, so the counter moves on
    EXPECT_EQ("A[4]", make_unique("A"));  // the counter goes on the name as given
    EXPECT_EQ(3, register_name("a[3]", true));
}

TEST_F(FileNames, RegistryIgnoresCase) {
    EXPECT_EQ(1, register_name("Brief"));
    EXPECT_EQ(2, register_name("BRIEF"));
    EXPECT_EQ(3, register_name("brief", true));
    EXPECT_EQ(1, register_name("Gr\xDC\xDF"));
    EXPECT_EQ(2, register_name("gr\xFC\xDF"));  // ANSI case folding of 8-bit letters
    EXPECT_EQ(1, register_name("BRIEF", true));  // the caller vouched for lower case: taken as it is
    // only the first 20 bytes pick the bucket; the rest still tells names apart
    std::string common(20, 'q');
    EXPECT_EQ(1, register_name(common + "1"));
    EXPECT_EQ(1, register_name(common + "2"));
    EXPECT_EQ(2, register_name(common + "1"));
    EXPECT_EQ(1, register_name(std::string("\xFF\x80\0", 3)));
    clear_registry();
    EXPECT_EQ(1, register_name("brief"));
}

TEST_F(FileNames, ManyIdenticalSubjects) {
    std::set<std::string> seen;
    for (int k = 1; k <= 20000; ++k) {
        std::string name = name_of("Same subject", 0, jan_1_2024_9h);
        EXPECT_TRUE(seen.insert(name).second) << name;
        if (k == 20000) {
            EXPECT_EQ("Same subject_582148000[20000]", name);
        }
    }
}

namespace {

std::string repeated(std::u8string_view text, int times) {
    std::u8string out;
    for (int k = 0; k < times; ++k) out += text;
    return inside(out);
}

}  // namespace

// (The texts stay out of the test macros, which quote their arguments as plain text.)
TEST_F(FileNames, UnicodeNamesKeepEveryCharacter) {
    settings.unicode_names = true;
    const struct {
        const char8_t* subject;
        const char8_t* cleaned;
    } cleaned[] = {
        {u8"Re: Привет: мир \"Łódź\"", u8"Привет. мир 'Łódź'"},
        {u8"🎉", u8"🎉"},
        {u8"abc\u202Egpj.exe", u8"abc gpj.exe"},  // no direction marks
    };
    for (const auto& c : cleaned) EXPECT_EQ(inside(c.cleaned), clean_subject(inside(c.subject)));
    const std::string party = repeated(u8"🎉", 43) + "...", long_party = repeated(u8"🎉", 50);
    EXPECT_EQ(party, clean_subject(long_party));  // the budget counts characters
    const struct {
        const char* raw;
        const char8_t* name;
    } built[] = {
        {"=?koi8-r?B?8NLJ18XU?=", u8"Привет_002100000"},
        {"=?utf-8?B?0J/QoNCY0JLQldCi?=", u8"ПРИВЕТ_002100000[2]"},  // the same name in capitals
        {"Cze\xC5\x9B\xC4\x87", u8"Cześć_002100000"},             // raw UTF-8
    };
    for (const auto& c : built) EXPECT_EQ(inside(c.name), name_of(c.raw)) << c.raw;
    settings.unicode_names = false;
    EXPECT_EQ("_______002100000", name_of("=?koi8-r?B?8NLJ18XU?="));
}

// Names must fit the file system: 255 bytes of UTF-8 on POSIX, 255 UTF-16 units on Windows,
// with room for the suffix, a counter and the extension, and cut between characters.
TEST_F(FileNames, UnicodeNamesFitTheFileSystem) {
    settings.unicode_names = true;
    settings.name_budget = 106;  // the longest a name length of 120 gives
    const struct {
        const char8_t* letter;
        std::size_t posix, windows;  // letters kept
    } cases[] = {{u8"я", 103, 103}, {u8"中", 76, 103}, {u8"🎉", 57, 103}, {u8"x", 103, 103}};
    for (const auto& c : cases) {
        const std::string name = clean_subject(repeated(c.letter, 200));
        EXPECT_EQ(repeated(c.letter, static_cast<int>(is_windows() ? c.windows : c.posix)) + "...", name);
        EXPECT_LE(name_units(name + "_002100000[999999].eml"), LONGEST_NAME);
    }
    settings.unicode_names = false;  // 8-bit names that would not fit are cut too
    const std::string euros = clean_subject(std::string(200, '\x80'));
    EXPECT_EQ(is_windows() ? std::string(103, '\x80') + "..." : std::string(76, '\x80') + "...", euros);
}
