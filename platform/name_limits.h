#pragma once
#include <cstddef>
#include <string_view>

//--- how long a name the file system takes
inline constexpr std::size_t LONGEST_NAME = 255;  // in name_units
// What the file system counts of a name (our text): UTF-8 bytes on POSIX, UTF-16 units on Windows.
std::size_t name_units(std::string_view text);
