#include "message/dates.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "2024-01-01 09:00:00" style text of a date, for readable failures.
std::string show(const DateTime& d) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%05.2f", d.year, d.month, d.day, d.hour, d.minute,
                  d.second);
    return text;
}

void expect_utc(const char* value, const char* expected, double zone) {
    MessageDate m = message_date(value);
    EXPECT_EQ(expected, show(m.date)) << value;
    EXPECT_EQ(zone, m.zone_hours) << value;
}

void expect_default(const char* value) { expect_utc(value, "1980-01-01 00:00:00.00", 0); }

}  // namespace

TEST(ToNumber, LeadingNumberOfTheStrictAlphabet) {
    EXPECT_EQ(12, to_number("12A"));
    EXPECT_EQ(7, to_number("07"));
    EXPECT_EQ(31, to_number("#1F"));
    EXPECT_EQ(-31, to_number("-#1F"));
    EXPECT_EQ(-5, to_number("-5"));
    EXPECT_EQ(3, to_number("+3"));
    EXPECT_EQ(1.5, to_number("1.5"));
    EXPECT_EQ(1000, to_number("1E3"));
    EXPECT_EQ(1200, to_number("12E+2"));
    EXPECT_EQ(0.25, to_number("25E-2"));
    EXPECT_EQ(2024, to_number("2024"));
}

TEST(ToNumber, ForeignBytesAreErrors) {
    for (const char* text : {"", " 1", "1 ", "12a", "\"1\"", "1,5", "\xFC", "1:"})
        EXPECT_FALSE(to_number(text).has_value()) << text;
    EXPECT_FALSE(to_number(std::string_view("1\0", 2)).has_value());
}

TEST(ToNumber, EdgesOfTheNotation) {
    for (const char* text : {"-", "+", ".", "#", "#G", "-.", "E5", "A1", "--1", "1E999"})
        EXPECT_FALSE(to_number(text).has_value()) << text;
    EXPECT_EQ(0.5, to_number(".5"));
    EXPECT_EQ(5, to_number("5."));
    EXPECT_EQ(12, to_number("12E"));
    EXPECT_EQ(1, to_number("1E+"));
    EXPECT_EQ(10, to_number("1.E1"));
}

TEST(ParseDate, WrittenNumbersAndZone) {
    std::optional<ParsedDate> p = parse_date("Mon, 01 Jan 2024 10:00:00 +0100");
    ASSERT_TRUE(p);
    EXPECT_EQ("2024-01-01 10:00:00.00", show(p->written));
    EXPECT_EQ(1, p->zone_hours);
    p = parse_date("1 Feb 24 7:05 \"EST\" trailing tokens");
    ASSERT_TRUE(p);
    EXPECT_EQ("2024-02-01 07:05:00.00", show(p->written));
    EXPECT_EQ(-5, p->zone_hours);
    p = parse_date("1 Feb 24 7:05 \"E S T\" 9999");  // a quoted token keeps its blanks
    ASSERT_TRUE(p);
    EXPECT_EQ(0, p->zone_hours);
    p = parse_date("1 Jan 2024 10:00:59.5 \"EDT\"");
    ASSERT_TRUE(p);
    EXPECT_EQ(59.5, p->written.second);
    EXPECT_EQ(-4, p->zone_hours);
}

TEST(ParseDate, FiveByteZones) {
    auto zone = [](const char* z) {
        std::optional<ParsedDate> p = parse_date(std::string("1 Jan 2024 10:00 ") + z);
        return p ? p->zone_hours : -1000;
    };
    EXPECT_EQ(-5.5, zone("-0530"));
    EXPECT_EQ(5.75, zone("+0545"));
    EXPECT_EQ(99, zone("+9900"));
    EXPECT_EQ(0, zone("-0060"));   // minutes above 59: read as a name, unknown
    EXPECT_EQ(0, zone("01:00"));   // no sign
    EXPECT_EQ(0, zone("+01:0"));
    EXPECT_EQ(-7, zone("PDT"));
    EXPECT_EQ(-8, zone("PST"));
    EXPECT_EQ(-6, zone("MDT"));
    for (const char* unknown : {"GMT", "UT", "Z", "CET", "(CET)", "+01:00", "est", "(EST)"})
        EXPECT_EQ(0, zone(unknown)) << unknown;
}

TEST(MessageDate, ZoneShiftsAcrossDayMonthAndYear) {
    expect_utc("Mon, 01 Jan 2024 10:00:00 +0100", "2024-01-01 09:00:00.00", 1);
    expect_utc("1 Jan 2024 10:00 -0530", "2024-01-01 15:30:00.00", -5.5);
    expect_utc("Tue, 31 Dec 2024 23:30:00 -0100", "2025-01-01 00:30:00.00", -1);
    expect_utc("Sun, 31 Dec 2023 23:30:00 -0100", "2024-01-01 00:30:00.00", -1);
    expect_utc("Mon, 01 Jan 2024 00:30:00 +0100", "2023-12-31 23:30:00.00", 1);
    expect_utc("1 Mar 2024 00:30:00 +0100", "2024-02-29 23:30:00.00", 1);
    expect_utc("1 Mar 2023 00:30:00 +0100", "2023-02-28 23:30:00.00", 1);
    expect_utc("1 Mar 2100 00:30:00 +0100", "2100-02-28 23:30:00.00", 1);
    expect_utc("1 Mar 2000 00:30:00 +0100", "2000-02-29 23:30:00.00", 1);
    expect_utc("30 Apr 2024 23:00:00 -0200", "2024-05-01 01:00:00.00", -2);
    expect_utc("1 Jan 2024 00:00:00 +9900", "2023-12-27 21:00:00.00", 99);
    expect_utc("1 Jan 2024 00:00:00 +0545", "2023-12-31 18:15:00.00", 5.75);
}

TEST(MessageDate, SecondsAndTheFloorOf1980) {
    expect_utc("01 Jan 1980 00:30 +0100", "1979-12-31 23:30:00.00", 1);
    expect_utc("31 Dec 2024 23:59:60 +0000", "2024-12-31 23:59:60.00", 0);
    expect_utc("31 Dec 2024 23:59:60 -0100", "2025-01-01 01:00:00.00", -1);
    expect_utc("1 Jan 2024 10:00:30.7 +0100", "2024-01-01 09:00:30.00", 1);
    expect_utc("1 Jan 2024 10:00:30.5 +0000", "2024-01-01 10:00:30.50", 0);
}

TEST(MessageDate, NamedZonesAndYears) {
    expect_utc("Mon, 01 Jan 2024 10:00:00 EST", "2024-01-01 15:00:00.00", -5);
    expect_utc("Mon, 01 Jan 2024 10:00:00 PDT", "2024-01-01 17:00:00.00", -7);
    expect_utc("Mon, 01 Jan 2024 10:00:00 GMT", "2024-01-01 10:00:00.00", 0);
    expect_utc("Mon, 01 Jan 2024 10:00:00 est", "2024-01-01 10:00:00.00", 0);
    expect_utc("Mon, 01 Jan 2024 10:00:00 (EST)", "2024-01-01 10:00:00.00", 0);
    expect_utc("Mon, 01 Jan 99 10:00:00 +0000", "1999-01-01 10:00:00.00", 0);
    expect_utc("Mon, 01 Jan 49 10:00:00 +0000", "2049-01-01 10:00:00.00", 0);
    expect_utc("Mon, 01 Jan 124 10:00:00 +0000", "2024-01-01 10:00:00.00", 0);
    expect_utc("Thu, 29 Feb 2024 12:00:00 +0000", "2024-02-29 12:00:00.00", 0);
}

TEST(MessageDate, UnusableFieldsFallBack) {
    for (const char* value :
         {"", "   ", "Thu, 29 Feb 2023 12:00:00 +0000", "31 Apr 2024 10:00:00 +0000", "Mon, 01 Jan 2024 10:00:00",
          "Mon, 01 Jan 1979 10:00:00 +0000", "Mon, 01 Jan 2101 10:00:00 +0000", "Monday, 01 Jan 2024 10:00:00 +0000",
          "01 jan 2024 10:00:00 +0000", "Mon, 01 Jan XXXX 10:00:00 +0000", "01 Jan 2024 10:00:00:00 +0000",
          "01 Jan 2024 10 +0000", "01 Jan -24 10:00 +0000", "1.5 Jan 2024 10:00 +0000", "01 Jan 2024 24:00 +0000",
          "01 Jan 2024 10:60 +0000", "01 Jan 2024 10:00:61 +0000", "0 Jan 2024 10:00 +0000",
          "01 Jan 2024 10::00 +0000", "99999999999999999999 Jan 2024 10:00 +0000", "\x01\xFF\0 garbage"})
        expect_default(value);
}

// Every day of the valid range, moved into the next one by a zone: exercises
// the way back from the day count over every month end and leap day.
TEST(MessageDate, EveryDayRollsIntoTheNext) {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int y = 1980; y <= 2100; ++y) {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= 31; ++d) {
                DateTime today{y, m, d, 23, 30, 0};
                if (!date_is_valid(today)) continue;
                DateTime next{y, m, d + 1, 0, 30, 0};
                if (!date_is_valid(next)) next = m == 12 ? DateTime{y + 1, 1, 1, 0, 30, 0} : DateTime{y, m + 1, 1, 0, 30, 0};
                char text[64];
                std::snprintf(text, sizeof text, "%d %s %d 23:30 -0100", d, months[m - 1], y);
                ASSERT_EQ(show(next), show(message_date(text).date)) << text;
            }
        }
    }
}

TEST(DayNumber, FixedPoints) {
    EXPECT_EQ(1, day_number(1, 1, 1));
    EXPECT_EQ(584389, day_number(1601, 1, 1));
    EXPECT_EQ(day_number(2024, 2, 29) + 1, day_number(2024, 3, 1));
    EXPECT_EQ(day_number(2023, 2, 28) + 1, day_number(2023, 3, 1));
    EXPECT_EQ(day_number(2000, 1, 1) + 366, day_number(2001, 1, 1));
    EXPECT_EQ(day_number(1900, 1, 1) + 365, day_number(1901, 1, 1));
}

TEST(DateIsValid, Ranges) {
    EXPECT_TRUE(date_is_valid({1980, 1, 1, 0, 0, 0}));
    EXPECT_TRUE(date_is_valid({2100, 12, 31, 23, 59, 60}));
    EXPECT_TRUE(date_is_valid({2000, 2, 29, 0, 0, 59.9}));
    EXPECT_FALSE(date_is_valid({2100, 2, 29, 0, 0, 0}));
    EXPECT_FALSE(date_is_valid({1979, 12, 31, 0, 0, 0}));
    EXPECT_FALSE(date_is_valid({2024, 13, 1, 0, 0, 0}));
    EXPECT_FALSE(date_is_valid({2024, 0, 1, 0, 0, 0}));
    EXPECT_FALSE(date_is_valid({2024, 1, 1, 0, 0, 60.5}));
    EXPECT_FALSE(date_is_valid({2024, 1, 1, 0, 0, -1}));
}

TEST(ParseDateOption, FullYearMonthDay) {
    std::optional<CalendarDate> d = parse_date_option("2024-2-3");
    ASSERT_TRUE(d);
    EXPECT_EQ(2024, d->year);
    EXPECT_EQ(2, d->month);
    EXPECT_EQ(3, d->day);
    d = parse_date_option(" 2024 - 01 - 05 ");
    ASSERT_TRUE(d);
    EXPECT_EQ(5, d->day);
    for (const char* text : {"2024-02-30", "24-01-01", "2024-01", "2024-01-01-01", "", "2024-1-1x", "2024--1-1",
                             "2024-01-01.5", "-2024-01-01", "2101-01-01", "2024/01/01"})
        EXPECT_FALSE(parse_date_option(text).has_value()) << text;
}

TEST(DosDatetime, PackedValues) {
    EXPECT_EQ(0x00210000, dos_datetime(DateTime{}));
    EXPECT_EQ(0x58214800, dos_datetime({2024, 1, 1, 9, 0, 0}));
    EXPECT_EQ(0x5821481D, dos_datetime({2024, 1, 1, 9, 0, 59.9}));  // two-second steps
    EXPECT_EQ(0x5821481E, dos_datetime({2024, 1, 1, 9, 0, 60}));
    EXPECT_EQ(0xF19FBF7Dll, dos_datetime({2100, 12, 31, 23, 59, 59}));
    EXPECT_LT(dos_datetime(message_date("01 Jan 1980 00:30 +0100").date), 0);
}
