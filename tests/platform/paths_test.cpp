#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/scratch.h"

TEST(PathParts, FileAndDirectory) {
    EXPECT_EQ(native("c:/mail/"), dir_part(native("c:/mail/inbox.mbx")));
    EXPECT_EQ("inbox.mbx", name_part(native("c:/mail/inbox.mbx")));
    EXPECT_EQ(native("c:/mail/"), dir_part(native("c:/mail/")));
    EXPECT_EQ("", name_part(native("c:/mail/")));
    EXPECT_EQ("", dir_part("inbox"));
    EXPECT_EQ("inbox", name_part("inbox"));
    EXPECT_EQ("", dir_part(""));
    EXPECT_EQ("", name_part(""));
}

TEST(PathParts, DotComponentsAreDirectories) {
    EXPECT_EQ(native("c:/mail/../"), dir_part(native("c:/mail/..")));
    EXPECT_EQ("", name_part(native("c:/mail/..")));
    EXPECT_EQ(native("c:/mail/.hidden/"), dir_part(native("c:/mail/.hidden")));
    EXPECT_EQ("", name_part(native("c:/mail/.hidden")));
    EXPECT_EQ(native("./"), dir_part("."));
    EXPECT_EQ(native("../"), dir_part(".."));
    EXPECT_EQ(native(".hidden/"), dir_part(".hidden"));
    EXPECT_EQ("", name_part(".hidden"));
    EXPECT_EQ("", name_part(".."));
}

TEST(PathParts, LastSeparator) {
    EXPECT_EQ(0u, last_separator("inbox"));
    EXPECT_EQ(8u, last_separator(native("c:/mail/inbox")));
    EXPECT_EQ(3u, last_separator(native("c:/")));
    // A drive colon only counts on Windows, and only without a separator.
    EXPECT_EQ(is_windows() ? 2u : 0u, last_separator("c:inbox"));
    EXPECT_EQ(6u, last_separator(native("c:a:b/c")));
}

TEST(PathParts, DriveWithoutSeparator) {
    if (!is_windows()) GTEST_SKIP() << "drives exist only on Windows";
    EXPECT_EQ("c:", dir_part("c:inbox"));
    EXPECT_EQ("inbox", name_part("c:inbox"));
    EXPECT_EQ("c:", dir_part("c:"));
}

TEST(FullPath, ResolvesDotsByTextAndKeepsTrailingSeparator) {
    std::string root = is_windows() ? "C:" : "";
    EXPECT_EQ(root + native("/a/c/d/"), full_path(root + native("/a/b/../c/./d/")));
    EXPECT_EQ(root + native("/a/c"), full_path(root + native("/a/b/../c")));
    EXPECT_EQ(root + native("/"), full_path(root + native("/a/..")));
}

TEST(FullPath, RelativeToCurrentDirectory) {
    std::string cwd = internal_text(std::filesystem::current_path().string());
    if (!cwd.empty() && cwd.back() != path_separator) cwd += path_separator;
    EXPECT_EQ(cwd + "mailbox.mbx", full_path("mailbox.mbx"));
}

TEST(FullPath, AboveRootStaysAtRoot) {
    if (is_windows()) GTEST_SKIP() << "the Windows form is the system's";
    EXPECT_EQ("/", full_path("/../.."));
    EXPECT_EQ("/x", full_path("//x"));
}

TEST(LongPath, MissingPathComesBackUnchanged) {
    Scratch scratch;
    std::string missing = scratch.path("not here/at all");
    EXPECT_EQ(missing, long_path(missing));
}

TEST(SystemPaths, TempDirAndProgram) {
    std::string temp = temp_dir();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(path_separator, temp.back());
    EXPECT_EQ(PathKind::DIRECTORY, path_kind(temp));
    std::string program = lower_case(name_part(program_path()));
    EXPECT_EQ(0u, program.find("parcelo_tests")) << program;
    EXPECT_EQ(PathKind::FILE, path_kind(program_path()));
}
