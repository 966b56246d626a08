// Date fields, option dates and the number notation they share.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/dates.h"

namespace {

// Days since 1970-01-01, worked out on its own to check the zone shift against.
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

double seconds_of(const DateTime& t) {
    return static_cast<double>(days_from_civil(t.year, t.month, t.day)) * 86400 + t.hour * 3600 + t.minute * 60 +
           t.second;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    if (std::optional<double> number = to_number(text); number && std::isnan(*number)) std::abort();

    if (std::optional<ParsedDate> parsed = parse_date(text)) {
        // A date that parses is a valid one, whatever its zone says.
        if (!date_is_valid(parsed->written)) std::abort();
        if (!std::isfinite(parsed->zone_hours)) std::abort();
        // The UTC date is the written one moved by the zone, to the second.
        MessageDate utc = message_date(text);
        if (utc.zone_hours != parsed->zone_hours) std::abort();
        if (utc.zone_hours != 0) {
            double expected = std::floor(seconds_of(parsed->written) - parsed->zone_hours * 3600);
            if (std::fabs(seconds_of(utc.date) - expected) > 1) std::abort();
        }
    }

    MessageDate date = message_date(text);
    if (date.zone_hours == 0 && !date_is_valid(date.date)) std::abort();
    if (date.date.month < 1 || date.date.month > 12 || date.date.day < 1 || date.date.day > 31) std::abort();
    (void)dos_datetime(date.date);

    if (std::optional<CalendarDate> option = parse_date_option(text)) {
        if (option->year < 1980 || option->year > 2100 || option->month < 1 || option->month > 12 ||
            option->day < 1 || option->day > 31)
            std::abort();
    }
    return 0;
}
