// Message dates to file times, the same on both builds; local_to_utc and set_file_times
// come from each build.
#include <cmath>

#include "platform/file_system.h"

namespace {
constexpr std::int64_t DAY_OF_1601 = 584389;  // 1 January 1601 in the day count of day_number
constexpr std::int64_t TICKS_PER_SECOND = 10'000'000;
}  // namespace

FileTime date_to_file_time(const DateTime& local) {
    std::int64_t days = day_number(local.year, local.month, local.day) - DAY_OF_1601;
    std::int64_t whole_seconds = days * 86400 + (local.hour * 60 + local.minute) * 60;
    std::int64_t ticks =
        whole_seconds * TICKS_PER_SECOND + std::llround(local.second * TICKS_PER_SECOND);
    auto value = static_cast<std::uint64_t>(ticks);
    return local_to_utc({static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)});
}

int set_modified_time(const std::string& path, const DateTime& local) {
    FileTime write = date_to_file_time(local);
    return set_file_times(path, nullptr, nullptr, &write);
}

int set_modified_time(std::FILE* file, const DateTime& local) {
    FileTime write = date_to_file_time(local);
    return set_file_times(file, nullptr, nullptr, &write);
}
