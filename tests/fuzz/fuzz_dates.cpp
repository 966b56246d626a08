// Date fields, option dates and the number notation they share.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/dates.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    if (std::optional<double> number = to_number(text); number && std::isnan(*number)) std::abort();

    if (std::optional<ParsedDate> parsed = parse_date(text)) {
        // A date that parses is a valid one, whatever its zone says.
        if (!date_is_valid(parsed->written)) std::abort();
        if (!std::isfinite(parsed->zone_hours)) std::abort();
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
