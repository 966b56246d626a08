#include "message/dates.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "message/tokens.h"

namespace {

constexpr std::array<std::string_view, 7> weekday_names{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 12> month_names{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// offset = position - 9
constexpr std::array<std::string_view, 4> standard_zones{"PST", "MST", "CST", "EST"};
// offset = position - 8
constexpr std::array<std::string_view, 4> daylight_zones{"PDT", "MDT", "CDT", "EDT"};
constexpr std::array<int, 12> month_lengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr std::int64_t seconds_per_day = 86400;

template <std::size_t N>
int position_in(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t k = 0; k < N; ++k)
        if (names[k] == name) return static_cast<int>(k) + 1;
    return 0;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_number_byte(char c) {
    return is_digit(c) || (c >= 'A' && c <= 'Z') || c == '+' || c == '-' || c == '.' || c == '#';
}

bool is_whole(double x) { return std::isfinite(x) && std::floor(x) == x; }

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return month_lengths[month - 1] + (month == 2 && is_leap_year(year) ? 1 : 0);
}

// The six numbers as doubles, so that a fractional or huge value is refused
// before anything is narrowed to int.
bool numbers_are_valid(double year, double month, double day, double hour, double minute, double second) {
    if (!is_whole(year) || year < 1980 || year > 2100) return false;
    if (!is_whole(month) || !is_whole(day) || day < 1 || month < 1 || month > 12) return false;
    if (day > days_in_month(static_cast<int>(year), static_cast<int>(month))) return false;
    if (!is_whole(hour) || hour < 0 || hour > 23) return false;
    if (!is_whole(minute) || minute < 0 || minute > 59) return false;
    return second >= 0 && second <= 60;
}

// "+0100" and "-0530"; anything else is looked up by name.
std::optional<double> numeric_zone(std::string_view token) {
    if (token.size() != 5 || (token[0] != '+' && token[0] != '-')) return std::nullopt;
    std::optional<double> hours = to_number(token.substr(1, 2));
    std::optional<double> minutes = to_number(token.substr(3, 2));
    if (!hours || !minutes || !is_whole(*hours) || !is_whole(*minutes) || *minutes > 59) return std::nullopt;
    double offset = *hours + *minutes / 60;
    return token[0] == '-' ? -offset : offset;
}

double named_zone(std::string_view token) {
    std::string_view name = trim_blanks(token);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    if (int k = position_in(standard_zones, name)) return k - 9;
    if (int k = position_in(daylight_zones, name)) return k - 8;
    return 0;
}

// Day count back to year, month and day by the 400, 100, 4 and 1-year cycles.
CalendarDate date_of_day_number(std::int64_t days) {
    std::int64_t n = days - 1;  // 1 Jan of year 1 becomes 0
    std::int64_t cycles400 = n / 146097;
    n %= 146097;
    if (n < 0) {  // before year 1: borrow a whole cycle so the rest stays positive
        n += 146097;
        --cycles400;
    }
    std::int64_t centuries = n / 36524;
    if (centuries == 4) centuries = 3;  // the last day of a 400-year cycle
    n -= centuries * 36524;
    std::int64_t quads = n / 1461;
    n %= 1461;
    std::int64_t years = n / 365;
    if (years == 4) years = 3;  // the last day of a leap year
    n -= years * 365;
    CalendarDate date;
    date.year = static_cast<int>(1 + 400 * cycles400 + 100 * centuries + 4 * quads + years);
    date.month = 1;
    while (date.month < 12 && n >= days_in_month(date.year, date.month)) {
        n -= days_in_month(date.year, date.month);
        ++date.month;
    }
    date.day = static_cast<int>(n) + 1;
    return date;
}

}  // namespace

// Only upper-case letters may follow a number, so «12A» reads as 12 and a
// lower-case or blank byte anywhere makes the whole text unusable. At the edges:
// a lone sign, ".", "#" or "#" without a hex digit is an error; ".5" is 0.5 and
// "5." is 5; an "E" without digits after it ("12E", "1E+") is not an exponent
// and is ignored with the rest; a value beyond the range of a double is an error.
std::optional<double> to_number(std::string_view text) {
    if (text.empty()) return std::nullopt;
    // Plain digits, nearly every number of a date: up to 15 of them are an exact double.
    if (text.size() <= 15 && std::all_of(text.begin(), text.end(), is_digit)) {
        double value = 0;
        for (char c : text) value = value * 10 + (c - '0');
        return value;
    }
    for (char c : text)
        if (!is_number_byte(c)) return std::nullopt;

    std::size_t i = 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';

    if (i < text.size() && text[i] == '#') {
        ++i;
        if (i >= text.size() || hex_value(text[i]) < 0) return std::nullopt;
        double value = 0;
        for (; i < text.size() && hex_value(text[i]) >= 0; ++i) value = value * 16 + hex_value(text[i]);
        if (!std::isfinite(value)) return std::nullopt;
        return negative ? -value : value;
    }

    std::size_t start = i;
    std::size_t int_digits = 0, frac_digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++int_digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) ++i, ++frac_digits;
    }
    if (int_digits + frac_digits == 0) return std::nullopt;
    if (i < text.size() && text[i] == 'E') {
        std::size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (e < text.size() && is_digit(text[e])) {
            while (e < text.size() && is_digit(text[e])) ++e;
            i = e;
        }
    }

    // from_chars wants "e" and no lone "." at the front; it ignores the locale.
    std::string plain = "0";
    plain.append(text.substr(start, i - start));
    for (char& c : plain)
        if (c == 'E') c = 'e';
    double value = 0;
    auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc{} || end != plain.data() + plain.size() || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

std::optional<ParsedDate> parse_date(std::string_view text) {
    std::vector<std::string_view> tokens = split_tokens(text, ", \t\n\r");
    if (tokens.empty()) return std::nullopt;
    std::size_t i = position_in(weekday_names, tokens[0]) ? 1 : 0;
    if (tokens.size() < i + 5) return std::nullopt;

    std::optional<double> day = to_number(tokens[i]);
    if (!day) return std::nullopt;
    int month = position_in(month_names, tokens[i + 1]);
    std::optional<double> year = to_number(tokens[i + 2]);
    if (!year || *year < 0) return std::nullopt;
    if (*year < 50)
        *year += 2000;
    else if (*year < 1000)
        *year += 1900;

    std::vector<std::string_view> pieces;
    std::string_view time = tokens[i + 3];
    for (std::size_t from = 0;;) {
        std::size_t colon = time.find(':', from);
        pieces.push_back(trim_blanks(time.substr(from, colon == std::string_view::npos ? colon : colon - from)));
        if (colon == std::string_view::npos) break;
        from = colon + 1;
    }
    if (pieces.size() < 2 || pieces.size() > 3) return std::nullopt;
    std::optional<double> clock[3] = {0.0, 0.0, 0.0};
    for (std::size_t k = 0; k < pieces.size(); ++k)
        if (!(clock[k] = to_number(pieces[k]))) return std::nullopt;

    if (!numbers_are_valid(*year, month, *day, *clock[0], *clock[1], *clock[2])) return std::nullopt;

    ParsedDate parsed;
    parsed.written = DateTime{static_cast<int>(*year), month,
                              static_cast<int>(*day), static_cast<int>(*clock[0]),
                              static_cast<int>(*clock[1]), *clock[2]};
    std::string_view zone = tokens[i + 4];
    std::optional<double> offset = numeric_zone(zone);
    parsed.zone_hours = offset ? *offset : named_zone(zone);
    return parsed;
}

bool date_is_valid(const DateTime& date) {
    return numbers_are_valid(date.year, date.month, date.day, date.hour, date.minute, date.second);
}

std::int64_t day_number(int year, int month, int day) {
    std::int64_t y = year, m = month;
    std::int64_t shifted = m > 2 ? y : y - 1;
    auto floor_div = [](std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); };
    std::int64_t days = 365 * (y - 1) + 31 * (m - 1) + day + floor_div(shifted, 4) - floor_div(shifted, 100) +
                        floor_div(shifted, 400);
    if (m > 2) days -= (4 * m + 23) / 10;  // floor(0.4 m + 2.3) without rounding doubt
    return days;
}

// The shift runs in whole seconds so that every zone, -0530 included, lands
// exactly; only a fraction of the written second is lost.
MessageDate message_date(std::string_view value) {
    std::optional<ParsedDate> parsed = parse_date(value);
    if (!parsed) return {};
    MessageDate result;
    result.zone_hours = parsed->zone_hours;
    const DateTime& w = parsed->written;
    if (parsed->zone_hours == 0) {
        result.date = w;
        return result;
    }
    std::int64_t shift = std::llround(parsed->zone_hours * 3600);
    std::int64_t total = day_number(w.year, w.month, w.day) * seconds_per_day + w.hour * 3600 +
                         w.minute * 60 + static_cast<std::int64_t>(w.second) - shift;
    std::int64_t days = total / seconds_per_day;
    std::int64_t rest = total % seconds_per_day;
    if (rest < 0) {
        rest += seconds_per_day;
        --days;
    }
    CalendarDate day = date_of_day_number(days);
    result.date = DateTime{day.year, day.month, day.day, static_cast<int>(rest / 3600),
                           static_cast<int>(rest / 60 % 60), static_cast<double>(rest % 60)};
    return result;
}

std::optional<CalendarDate> parse_date_option(std::string_view text) {
    std::vector<double> numbers;
    for (std::size_t from = 0;;) {
        std::size_t dash = text.find('-', from);
        std::optional<double> n =
            to_number(trim_blanks(text.substr(from, dash == std::string_view::npos ? dash : dash - from)));
        if (!n) return std::nullopt;
        numbers.push_back(*n);
        if (dash == std::string_view::npos) break;
        from = dash + 1;
    }
    if (numbers.size() != 3 || !numbers_are_valid(numbers[0], numbers[1], numbers[2], 0, 0, 0)) return std::nullopt;
    return CalendarDate{static_cast<int>(numbers[0]), static_cast<int>(numbers[1]), static_cast<int>(numbers[2])};
}

std::int64_t dos_datetime(const DateTime& date) {
    double half = date.second / 2;
    std::int64_t seconds = std::isfinite(half) && half > 0 && half < 1e9 ? static_cast<std::int64_t>(half) : 0;
    std::int64_t date_part = (static_cast<std::int64_t>(date.year) - 1980) * 512 + date.month * 32 + date.day;
    std::int64_t time_part = static_cast<std::int64_t>(date.hour) * 2048 + date.minute * 32 + seconds;
    return date_part * 65536 + time_part;
}
