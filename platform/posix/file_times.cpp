// File times on POSIX; FileTime values are Windows ticks (100 ns since 1601).
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace {

constexpr std::int64_t TICKS_PER_SECOND = 10'000'000;
constexpr std::int64_t SECONDS_1601_TO_1970 = 11'644'473'600;

std::uint64_t ticks_of(FileTime time) { return (static_cast<std::uint64_t>(time.high) << 32) | time.low; }

FileTime file_time_of(std::uint64_t ticks) {
    return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

timespec unix_time_of(const FileTime* time) {
    if (time == nullptr) return {0, UTIME_OMIT};
    auto ticks = static_cast<std::int64_t>(ticks_of(*time)) - SECONDS_1601_TO_1970 * TICKS_PER_SECOND;
    std::int64_t seconds = ticks / TICKS_PER_SECOND, rest = ticks % TICKS_PER_SECOND;
    if (rest < 0) --seconds, rest += TICKS_PER_SECOND;
    return {static_cast<std::time_t>(seconds), static_cast<long>(rest * 100)};
}

// With TZ unset, mktime looks at /etc/localtime again on every call, one stat per message.
// Naming that file, as glibc does when TZ is unset, reads the zone once per run with the
// same result, a missing file included (UTC).
void read_zone_once() {
    static const bool named = [] {
        if (std::getenv("TZ") == nullptr) setenv("TZ", ":/etc/localtime", 1);
        tzset();
        return true;
    }();
    (void)named;
}

}  // namespace

// The local wall-clock time is read back through mktime, which also decides daylight
// saving for that date; on failure the time comes back unchanged.
FileTime local_to_utc(FileTime local) {
    std::uint64_t ticks = ticks_of(local);
    auto wall = static_cast<std::time_t>(ticks / TICKS_PER_SECOND - SECONDS_1601_TO_1970);
    std::tm fields;
    if (gmtime_r(&wall, &fields) == nullptr) return local;
    fields.tm_isdst = -1;
    read_zone_once();
    errno = 0;
    std::time_t utc = std::mktime(&fields);
    if (utc == -1 && errno != 0) return local;
    auto seconds = static_cast<std::int64_t>(utc) + SECONDS_1601_TO_1970;
    return file_time_of(static_cast<std::uint64_t>(seconds * TICKS_PER_SECOND) + ticks % TICKS_PER_SECOND);
}

// POSIX keeps no settable creation time, so `creation` is ignored. Unlike Windows, which
// opens the file for writing, utimensat asks for ownership only, so a read-only file of our
// own still gets its times.
int set_file_times(const std::string& path, const FileTime*, const FileTime* access, const FileTime* write) {
    timespec times[2] = {unix_time_of(access), unix_time_of(write)};
    if (utimensat(AT_FDCWD, external_text(path).c_str(), times, 0) == 0) return 0;
    note_failure();
    return -1;
}

int set_file_times(std::FILE* file, const FileTime*, const FileTime* access, const FileTime* write) {
    timespec times[2] = {unix_time_of(access), unix_time_of(write)};
    if (futimens(fileno(file), times) == 0) return 0;
    note_failure();
    return -1;
}
