// The Windows edge: inside texts <-> UTF-16 for the wide system calls.
#ifdef _WIN32
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/foreign.h"
#include "platform/text.h"
#include "tests/platform/scratch.h"

namespace {

std::string mark(char32_t value) {
    std::string out;
    append_foreign(out, value);
    return out;
}

struct Edge {
    std::wstring wide;
    std::string inside;
    std::string shown;  // in the log
};

}  // namespace

// What the ANSI code page holds keeps its bytes; the rest is carried, never replaced by a
// look-alike ("L" for "Ł", "/" for a fullwidth solidus).
TEST(WideText, CarriesWhatTheCodePageLacks) {
    const Edge edges[] = {
        {L"Inbox.mbox", "Inbox.mbox", "Inbox.mbox"},
        {L"Gr\u00FC\u00DFe \u20AC", "Gr\xFC\xDF" "e \x80", "Gr\xFC\xDF" "e \x80"},
        {L"\u0141ukasz", mark(0x141) + "ukasz", "<U+0141>ukasz"},
        {L"a\uFF0Fb", "a" + mark(0xFF0F) + "b", "a<U+FF0F>b"},
        {L"\u041F\u0438", mark(0x41F) + mark(0x438), "<U+041F><U+0438>"},
        {L"\U0001F4E7 M\u00E4rz", mark(0x1F4E7) + " M\xE4rz", "<U+1F4E7> M\xE4rz"},
        {L"\x0E\x10\x10\x10\x11\x14\x11", mark(RAW + 0x0E) + "\x10\x10\x10\x11\x14\x11",
         "\x0E\x10\x10\x10\x11\x14\x11"},  // what reads as our own mark stays a name
    };
    for (const Edge& edge : edges) {
        EXPECT_EQ(edge.inside, inside_text(edge.wide)) << edge.shown;
        EXPECT_EQ(edge.wide, wide_text(edge.inside)) << edge.shown;
        EXPECT_EQ(edge.shown, shown_text(edge.inside));
    }
    EXPECT_EQ(mark(0xFFFD) + "x", inside_text(std::wstring(L"\xD800x")));  // half a pair
    EXPECT_EQ("", inside_text(static_cast<const wchar_t*>(nullptr)));
}

// A folder and a file the code page cannot name: listed, created, opened and stamped
// under the names the listing gave.
TEST(WideText, FilesInAnyScript) {
    Scratch scratch;
    const std::string folder = scratch.path(inside_text(L"\u041F\u0438\u0441\u044C\u043C\u0430 \u0141\u00F3d\u017A"));
    ASSERT_EQ(0, make_dirs(folder));
    EXPECT_EQ(PathKind::DIRECTORY, path_kind(folder));
    const std::string file = folder + "\\" + inside_text(L"a\uFF0Fb.mbox");
    std::FILE* out = open_file(file, "wb");
    ASSERT_NE(nullptr, out);
    std::fputs("x", out);
    std::fclose(out);
    EXPECT_EQ(0, set_modified_time(file, DateTime{2007, 1, 1, 10, 0, 0}));

    const DirListing listed = list_dir(folder + "\\*.mbox");
    ASSERT_TRUE(listed);
    ASSERT_EQ(1u, listed->size());
    EXPECT_EQ(name_part(file), (*listed)[0].name);
    EXPECT_EQ(2007, (*listed)[0].year);
    EXPECT_EQ(full_path(file), file);
    EXPECT_EQ(0, delete_file(file));
    EXPECT_EQ(PathKind::MISSING, path_kind(file));
}
#endif
