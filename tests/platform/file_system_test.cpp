#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/crash.h"
#include "tests/platform/scratch.h"

namespace {

std::vector<std::string> names_of(const DirListing& listing) {
    std::vector<std::string> names;
    if (listing)
        for (const DirEntry& entry : *listing) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

const DirEntry* find_entry(const DirListing& listing, const std::string& name) {
    if (!listing) return nullptr;
    for (const DirEntry& entry : *listing)
        if (entry.name == name) return &entry;
    return nullptr;
}

}  // namespace

TEST(PathKind, FilesDirectoriesAndWildcards) {
    Scratch scratch;
    std::string file = scratch.write("inbox.mbx");
    std::string empty = scratch.make_dir("empty");
    EXPECT_EQ(PathKind::FILE, path_kind(file));
    EXPECT_EQ(PathKind::MISSING, path_kind(file + path_separator));
    EXPECT_EQ(PathKind::DIRECTORY, path_kind(empty));
    EXPECT_EQ(PathKind::DIRECTORY, path_kind(empty + path_separator));
    EXPECT_EQ(PathKind::MISSING, path_kind(scratch.path("nothing")));
    EXPECT_EQ(PathKind::WILDCARD, path_kind(scratch.path("*.mbx")));
    EXPECT_EQ(PathKind::WILDCARD, path_kind(scratch.path("*.none")));
    EXPECT_EQ(PathKind::WILDCARD, path_kind(scratch.path("inbox.mb?")));
}

TEST(PathKind, DriveRoots) {
    if (!is_windows()) GTEST_SKIP() << "drives exist only on Windows";
    EXPECT_EQ(PathKind::DIRECTORY, path_kind("C:\\"));
    EXPECT_EQ(PathKind::DIRECTORY, path_kind("C:"));
    std::string missing;
    for (char letter = 'Y'; letter > 'D' && missing.empty(); --letter)
        if (volume_info(std::string(1, letter)).file_system_name.empty()) missing = std::string(1, letter) + ":";
    ASSERT_FALSE(missing.empty());
    EXPECT_EQ(PathKind::MISSING, path_kind(missing));
    EXPECT_EQ(PathKind::MISSING, path_kind(missing + "\\"));
    auto root = dir_entries("C:\\");
    ASSERT_TRUE(root);
    EXPECT_EQ(".", root->front().name);
    EXPECT_EQ("d", root->front().attributes);
}

TEST(ListDir, EmptyDirectoryHoldsDotEntries) {
    Scratch scratch;
    std::string empty = scratch.make_dir("empty");
    EXPECT_EQ((std::vector<std::string>{".", ".."}), names_of(list_dir(empty)));
    EXPECT_EQ((std::vector<std::string>{".", ".."}), names_of(list_dir(empty + path_separator)));
    EXPECT_EQ((std::vector<std::string>{".", ".."}), names_of(list_dir(empty + path_separator + "*.*")));
    EXPECT_FALSE(list_dir(empty + path_separator + "*.mbx"));
}

TEST(ListDir, Wildcards) {
    Scratch scratch;
    scratch.write("inbox.mbx");
    scratch.write("Sent.MBX");
    scratch.write("archive.mbox");
    scratch.write("notes");
    scratch.make_dir("sub");
    EXPECT_EQ((std::vector<std::string>{"Sent.MBX", "inbox.mbx"}), names_of(list_dir(scratch.path("*.mbx"))));
    EXPECT_EQ((std::vector<std::string>{"inbox.mbx"}), names_of(list_dir(scratch.path("i?box.*"))));
    EXPECT_EQ((std::vector<std::string>{".", "..", "Sent.MBX", "archive.mbox", "inbox.mbx", "notes", "sub"}),
              names_of(list_dir(scratch.path("*.*"))));
    EXPECT_EQ((std::vector<std::string>{"notes"}), names_of(list_dir(scratch.path("notes."))));
    EXPECT_EQ((std::vector<std::string>{"archive.mbox"}), names_of(list_dir(scratch.path("*.mbo?"))));
    EXPECT_FALSE(list_dir(scratch.path("*.eml")));
    DirListing all = list_dir(scratch.path("*"));
    const DirEntry* sub = find_entry(all, "sub");
    ASSERT_NE(nullptr, sub);
    EXPECT_NE(std::string::npos, sub->attributes.find('d'));
}

// readdir has no order of its own; runs should not change with it.
TEST(ListDir, PosixOrderIsDotsThenNames) {
    if (is_windows()) GTEST_SKIP() << "Windows keeps the order of its file system";
    Scratch scratch;
    for (const char* name : {"b.mbx", "C.mbx", "a.mbx", ".hidden"}) scratch.write(name);
    DirListing listing = list_dir(scratch.root);
    ASSERT_TRUE(listing);
    std::vector<std::string> order;
    for (const DirEntry& entry : *listing) order.push_back(entry.name);
    EXPECT_EQ((std::vector<std::string>{".", "..", ".hidden", "C.mbx", "a.mbx", "b.mbx"}), order);
    EXPECT_EQ("ha", find_entry(listing, ".hidden")->attributes);
}

TEST(ListDir, FileEntryHasSizeAndDosTime) {
    Scratch scratch;
    std::string file = scratch.write("inbox.mbx", "From a\r\n");
    auto listing = list_dir(file);
    ASSERT_TRUE(listing);
    ASSERT_EQ(1u, listing->size());
    const DirEntry& entry = listing->front();
    EXPECT_EQ("inbox.mbx", entry.name);
    EXPECT_EQ(std::string::npos, entry.attributes.find('d'));
    EXPECT_EQ(8u, entry.size);
    EXPECT_GE(entry.year, 2020);
    EXPECT_EQ(0, entry.second % 2);
}

// A size carried in 32 bits would make this file look like 7 bytes and slip under 2 GiB.
TEST(ListDir, SizeAboveFourGibibytes) {
    Scratch scratch;
    std::string file = scratch.write("big.mbx", "");
    const std::uint64_t size = (5ull << 30) + 7;
    std::error_code failed;
    std::filesystem::resize_file(external_text(file), size, failed);
    if (failed) GTEST_SKIP() << "no sparse file here: " << failed.message();
    auto listing = list_dir(file);
    ASSERT_TRUE(listing);
    EXPECT_EQ(size, listing->front().size);
}

TEST(ListDir, OverlongPathIsAnUnexpectedFailure) {
    Scratch scratch;
    std::string report = scratch.path("ex.err");
    std::string overlong = scratch.root + std::string(256 - scratch.root.size(), 'a');
    EXPECT_EXIT(
        {
            install_crash_handler(report, [](int) { std::_Exit(42); });
            list_dir(overlong);
        },
        testing::ExitedWithCode(42), "");
    std::ifstream in(external_text(report));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("255")) << text.str();
    // 255 characters are still listed.
    EXPECT_FALSE(list_dir(overlong.substr(0, 255)));
}

TEST(MakeDirs, CreatesEveryMissingLevel) {
    Scratch scratch;
    std::string target = scratch.path("out/a/b/c");
    EXPECT_EQ(0, make_dirs(target));
    EXPECT_EQ(PathKind::DIRECTORY, path_kind(scratch.path("out/a")));
    EXPECT_EQ(PathKind::DIRECTORY, path_kind(target));
    EXPECT_EQ(0, make_dirs(target));
    EXPECT_EQ(0, make_dirs(scratch.path("out/x/y/")));
    EXPECT_EQ(PathKind::DIRECTORY, path_kind(scratch.path("out/x/y")));
}

TEST(MakeDirs, StopsAtAFileOrWildcard) {
    Scratch scratch;
    scratch.make_dir("out");
    scratch.write("out/a");
    EXPECT_EQ(-1, make_dirs(scratch.path("out/a/b")));
    EXPECT_EQ(PathKind::FILE, path_kind(scratch.path("out/a")));
    EXPECT_EQ(-1, make_dirs(scratch.path("out/a")));
    EXPECT_EQ(-1, make_dirs(scratch.path("out/*/b")));
    EXPECT_EQ(PathKind::MISSING, path_kind(scratch.path("out/b")));
}

TEST(CreateAndDelete, ReportFailures) {
    Scratch scratch;
    std::string dir = scratch.path("new");
    EXPECT_EQ(0, create_dir(dir));
    EXPECT_EQ(-1, create_dir(dir));
    EXPECT_EQ(-1, create_dir(scratch.path("missing/new")));
    std::string file = scratch.write("gone.eml");
    EXPECT_EQ(0, delete_file(file));
    EXPECT_EQ(-1, delete_file(file));
    EXPECT_EQ(PathKind::MISSING, path_kind(file));
}

TEST(CountDirSlots, DotEntriesLongAndShortNames) {
    Scratch scratch;
    scratch.make_dir("sub");
    EXPECT_EQ(2u, count_dir_slots(scratch.path("sub/*.*")));
    scratch.write("sub/README.TXT");  // a valid 8.3 name: one slot
    EXPECT_EQ(3u, count_dir_slots(scratch.path("sub/*.*")));
    scratch.write("sub/Ein ziemlich langer Name");  // 24 characters: two long slots and a short one
    EXPECT_EQ(6u, count_dir_slots(scratch.path("sub/*.*")));
    EXPECT_EQ(0u, count_dir_slots(scratch.path("sub/*.none")));
}

TEST(Volumes, FreeSpaceAndComponentLength) {
    Scratch scratch;
    DiskSpace space = disk_free(scratch.root);
    EXPECT_GT(space.total, 0);
    EXPECT_GE(space.free, space.available);
    EXPECT_GE(space.total, space.free);
    DiskSpace none = disk_free(scratch.path("missing/dir"));
    if (!is_windows()) {
        EXPECT_EQ(-1, none.available);
    }
    EXPECT_GE(volume_info(scratch.root).max_component_length, 255u);
}

TEST(Volumes, RootsDerivedFromPaths) {
    if (!is_windows()) GTEST_SKIP() << "drive roots exist only on Windows";
    VolumeInfo root = volume_info("C:\\");
    ASSERT_FALSE(root.file_system_name.empty());
    for (const char* path : {"C", "c:\\out\\sub\\", "C:\\no\\such\\place"}) {
        EXPECT_EQ(root.file_system_name, volume_info(path).file_system_name) << path;
        EXPECT_EQ(root.max_component_length, volume_info(path).max_component_length) << path;
    }
    EXPECT_EQ(-1, disk_free("Q:\\nowhere\\").total);
}

// Names are cp1252 inside; on POSIX they are UTF-8 on disk and come back as cp1252.
TEST(DiskNames, Cp1252NamesRoundTrip) {
    Scratch scratch;
    std::string name = "Gr\xFC\xDF" "e.eml";
    scratch.write(name);
    EXPECT_EQ(std::vector<std::string>{name}, names_of(list_dir(scratch.path("*.eml"))));
    EXPECT_EQ(PathKind::FILE, path_kind(scratch.path(name)));
    EXPECT_EQ(std::vector<std::string>{name}, names_of(list_dir(scratch.path("GR\xDC?E.EML"))));
    if (is_windows()) return;
    auto on_disk = std::filesystem::directory_iterator(external_text(scratch.root))->path().filename().string();
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e.eml", on_disk);
}

// A name cp1252 cannot hold is listed, matched a character at a time and opened by that name.
TEST(DiskNames, NamesBeyondCp1252) {
    if (is_windows()) GTEST_SKIP() << "the ANSI calls map such names themselves";
    Scratch scratch;
    const std::vector<std::string> disk = {"caf\xE9.mbox", reinterpret_cast<const char*>(u8"Входящие.mbox"),
                                           reinterpret_cast<const char*>(u8"Спам.mbox"),
                                           reinterpret_cast<const char*>(u8"Чаты.mbox")};
    for (const std::string& name : disk) std::ofstream(external_text(scratch.root) + name) << "x";
    const std::vector<std::string> four = names_of(list_dir(scratch.path("????.MBOX")));
    ASSERT_EQ(3u, four.size());
    EXPECT_NE(four.end(), std::find(four.begin(), four.end(), internal_text(disk[0])));  // "?" took the byte
    for (const std::string& name : four) EXPECT_EQ(PathKind::FILE, path_kind(scratch.path(name))) << name;
    const std::string pattern = internal_text(reinterpret_cast<const char*>(u8"Ч?ты.*"));
    EXPECT_EQ(std::vector<std::string>{internal_text(disk[3])}, names_of(list_dir(scratch.path(pattern))));
}

namespace {

// Sets an environment variable (nullptr: removes it) for one test.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        if (old) old_ = old;
        set(value);
    }
    ~EnvironmentValue() { set(old_ ? old_->c_str() : nullptr); }

private:
    void set(const char* value) {
#ifdef _WIN32
        _putenv_s(name_, value ? value : "");
#else
        if (value) {
            setenv(name_, value, 1);
        } else {
            unsetenv(name_);
        }
#endif
    }
    const char* name_;
    std::optional<std::string> old_;
};

constexpr const char* FOLDER = "parcelo-test";
constexpr const char* INI = "settings-test.ini";

}  // namespace

TEST(SettingsFilePath, BesideTheProgramWithoutAConfigurationFile) {
    Scratch scratch;
    EnvironmentValue config("XDG_CONFIG_HOME", scratch.path("config").c_str());
    const std::string beside = settings_file_path(FOLDER, INI);
    EXPECT_EQ(dir_part(program_path()) + INI, beside);
    EXPECT_EQ(beside, beside_program(INI));
}

TEST(SettingsFilePath, ConfigurationFolderWinsOnPosixOnly) {
    Scratch scratch;
    scratch.make_dir("config");
    scratch.make_dir("config/parcelo-test");
    const std::string wanted = scratch.write("config/parcelo-test/settings-test.ini");
    EnvironmentValue config("XDG_CONFIG_HOME", scratch.path("config/").c_str());
    EXPECT_EQ(is_windows() ? beside_program(INI) : wanted, settings_file_path(FOLDER, INI));
    // A directory of that name is no settings file.
    ASSERT_EQ(0, delete_file(wanted));
    ASSERT_EQ(0, create_dir(wanted));
    EXPECT_EQ(beside_program(INI), settings_file_path(FOLDER, INI));
}

#ifndef _WIN32
TEST(SettingsFilePath, HomeConfigWhenTheVariableIsUnsetOrRelative) {
    Scratch scratch;
    scratch.make_dir("home");
    scratch.make_dir("home/.config");
    scratch.make_dir("home/.config/parcelo-test");
    const std::string wanted = scratch.write("home/.config/parcelo-test/settings-test.ini");
    EnvironmentValue home("HOME", scratch.path("home").c_str());
    {
        EnvironmentValue config("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(wanted, settings_file_path(FOLDER, INI));
    }
    {
        EnvironmentValue config("XDG_CONFIG_HOME", "");
        EXPECT_EQ(wanted, settings_file_path(FOLDER, INI));
    }
    {
        EnvironmentValue config("XDG_CONFIG_HOME", "home/.config");
        EXPECT_EQ(wanted, settings_file_path(FOLDER, INI));
    }
    {
        // An absolute XDG_CONFIG_HOME takes the place of ~/.config, even without the file.
        EnvironmentValue config("XDG_CONFIG_HOME", scratch.path("elsewhere").c_str());
        EXPECT_EQ(beside_program(INI), settings_file_path(FOLDER, INI));
    }
    {
        EnvironmentValue config("XDG_CONFIG_HOME", nullptr);
        EnvironmentValue relative_home("HOME", "home");
        EXPECT_EQ(beside_program(INI), settings_file_path(FOLDER, INI));
    }
}
#endif
