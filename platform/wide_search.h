#pragma once
// Searches the processor may do 32 bytes at a time; the build picks the file that has them.
struct WideSearch {
    // The first place from `at` where byte `first` stands with byte `fifth` four bytes on, or
    // where fewer than 68 bytes are left before `end`; at or past `stop` when none is before it.
    const char* (*find_pair)(const char* at, const char* stop, const char* end, char first, char fifth);
    // Just after the last CR or LF before `p`, or `begin` if there is none.
    const char* (*after_last_line_end)(const char* begin, const char* p);
};
const WideSearch* wide_search();  // nullptr where this processor has none
