#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "tests/platform/scratch.h"

namespace {

std::uint64_t ticks(FileTime time) { return (static_cast<std::uint64_t>(time.high) << 32) | time.low; }

FileTime file_time(std::uint64_t ticks) {
    return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

struct Times {
    std::uint64_t creation = 0, access = 0, write = 0;  // Windows ticks; creation 0 where unknown
};

Times times_of(const std::string& path) {
    Times times;
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FILETIME c{}, a{}, w{};
    if (file != INVALID_HANDLE_VALUE) {
        GetFileTime(file, &c, &a, &w);
        CloseHandle(file);
    }
    times.creation = ticks({c.dwLowDateTime, c.dwHighDateTime});
    times.access = ticks({a.dwLowDateTime, a.dwHighDateTime});
    times.write = ticks({w.dwLowDateTime, w.dwHighDateTime});
#else
    struct stat info {};
    stat(external_text(path).c_str(), &info);
    auto to_ticks = [](const timespec& t) {
        return static_cast<std::uint64_t>((t.tv_sec + 11644473600LL) * 10000000LL + t.tv_nsec / 100);
    };
    times.access = to_ticks(info.st_atim);
    times.write = to_ticks(info.st_mtim);
#endif
    return times;
}

// Wine on Linux reports the older of change and write time as the creation time.
bool creation_time_is_kept() {
#ifdef _WIN32
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
#else
    return false;
#endif
}

constexpr std::uint64_t TICKS_1980 = 119'600'064'000'000'000ull;

}  // namespace

// The zone of the machine decides the UTC value, so the local value is checked through
// the same conversion.
TEST(DateToFileTime, CountsFrom1601InLocalTime) {
    EXPECT_EQ(ticks(local_to_utc(file_time(0))), ticks(date_to_file_time({1601, 1, 1, 0, 0, 0})));
    EXPECT_EQ(ticks(local_to_utc(file_time(TICKS_1980))), ticks(date_to_file_time({1980, 1, 1, 0, 0, 0})));
    std::uint64_t later = TICKS_1980 + ((31 + 1) * 86400ull + 13 * 3600 + 14 * 60 + 15) * 10'000'000;
    EXPECT_EQ(ticks(local_to_utc(file_time(later))), ticks(date_to_file_time({1980, 2, 2, 13, 14, 15})));
}

TEST(LocalToUtc, ShiftsByWholeMinutesAndKeepsSubseconds) {
    std::uint64_t local = TICKS_1980 + 1234567;
    std::uint64_t utc = ticks(local_to_utc(file_time(local)));
    EXPECT_EQ(1234567u, utc % 10'000'000);
    std::int64_t shift = static_cast<std::int64_t>(utc - local) / 10'000'000;
    EXPECT_EQ(0, shift % 60);
    EXPECT_LE(std::abs(shift), 14 * 3600);
}

// What we set is what the listing reads back in local time.
TEST(SetModifiedTime, ListsBackAsTheLocalDate) {
    Scratch scratch;
    std::string file = scratch.write("message.eml");
    ASSERT_EQ(0, set_modified_time(file, {2007, 3, 5, 14, 2, 9}));
    auto listing = list_dir(file);
    ASSERT_TRUE(listing);
    const DirEntry& entry = listing->front();
    EXPECT_EQ(2007, entry.year);
    EXPECT_EQ(3, entry.month);
    EXPECT_EQ(5, entry.day);
    EXPECT_EQ(14, entry.hour);
    EXPECT_EQ(2, entry.minute);
    EXPECT_EQ(8, entry.second);  // DOS time holds even seconds
}

TEST(SetModifiedTime, LeavesTheOtherTimes) {
    Scratch scratch;
    std::string file = scratch.write("message.eml");
    FileTime access = date_to_file_time({2001, 6, 7, 8, 9, 10});
    ASSERT_EQ(0, set_file_times(file, nullptr, &access, nullptr));
    Times before = times_of(file);
    ASSERT_EQ(ticks(access), before.access);
    ASSERT_EQ(0, set_modified_time(file, {1999, 12, 31, 23, 59, 58}));
    Times after = times_of(file);
    EXPECT_EQ(before.access, after.access);
    if (creation_time_is_kept()) {
        EXPECT_EQ(before.creation, after.creation);
    }
    EXPECT_EQ(ticks(date_to_file_time({1999, 12, 31, 23, 59, 58})), after.write);
}

TEST(SetFileTimes, MissingFileAndDirectories) {
    Scratch scratch;
    FileTime time = date_to_file_time({2010, 1, 2, 3, 4, 6});
    EXPECT_EQ(-1, set_file_times(scratch.path("missing.eml"), nullptr, nullptr, &time));
    EXPECT_EQ(-1, set_modified_time(scratch.path("missing.eml"), {2010, 1, 2, 3, 4, 6}));
    std::string dir = scratch.make_dir("sub");
    EXPECT_EQ(0, set_file_times(dir, nullptr, nullptr, &time));
    EXPECT_EQ(ticks(time), times_of(dir).write);
}

// The writer stamps its file before closing it: the close must not move the time again.
TEST(SetModifiedTime, ThroughTheOpenFileSurvivesTheClose) {
    Scratch scratch;
    std::string file = scratch.path("open.eml");
    std::FILE* out = open_file(file, "wb");
    ASSERT_NE(nullptr, out);
    std::setvbuf(out, nullptr, _IONBF, 0);
    ASSERT_EQ(5u, std::fwrite("text\n", 1, 5, out));
    ASSERT_EQ(0, set_modified_time(out, {2004, 2, 29, 23, 59, 58}));
    ASSERT_EQ(0, std::fclose(out));
    EXPECT_EQ(ticks(date_to_file_time({2004, 2, 29, 23, 59, 58})), times_of(file).write);
}
