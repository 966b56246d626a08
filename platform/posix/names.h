#pragma once
#include <cstdint>
#include <string_view>

// Name rules the POSIX build borrows from Windows so that patterns and FAT estimates behave alike.

// `*` and `?` as FindFirstFileA takes them, letters compared without case as names are; "*.*"
// matches every name, and a trailing "." matches a name without extension. Both in cp1252.
bool matches_pattern(std::string_view pattern, std::string_view name);

// 32-byte FAT slots of one entry named `disk_name` (UTF-8 as on disk): 13 UTF-16 units per
// long-name slot, plus one when the name is not itself a valid 8.3 name.
std::uint64_t fat_slots(std::string_view disk_name);
