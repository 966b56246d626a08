#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

struct CalendarDate {
    int year = 0, month = 0, day = 0;
};

// Message dates are UTC; the default stands for a missing or unusable Date field.
struct DateTime {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0;
    double second = 0;  // may be 60 or fractional when no zone shift was applied
};

struct ParsedDate {
    DateTime written;       // as written, before the zone shift
    double zone_hours = 0;  // east of UTC
};

struct MessageDate {
    DateTime date;          // UTC
    double zone_hours = 0;
};

std::optional<double> to_number(std::string_view text);         // nullopt: conversion error
std::optional<ParsedDate> parse_date(std::string_view text);     // nullopt: failure
bool date_is_valid(const DateTime& date);
MessageDate message_date(std::string_view value);                 // default date on failure
std::optional<CalendarDate> parse_date_option(std::string_view text);
std::int64_t dos_datetime(const DateTime& date);                  // negative before 1980
std::int64_t day_number(int year, int month, int day);           // 1 Jan of year 1 is day 1
