#pragma once
#include <string>
#include <string_view>

//--- case, Windows ANSI (cp1252) mapping; length never changes; the input back unchanged on failure
std::string lower_case(std::string_view text);
std::string upper_case(std::string_view text);

//--- the edge between our cp1252 texts and the outside world
// What the code page cannot hold (any other character, on POSIX a byte that is not UTF-8) is
// carried inside in a form of its own (foreign.h), so every name comes back. POSIX: cp1252 <->
// UTF-8. Windows: unchanged; the wide system calls convert (win32/wide.h).
std::string external_text(std::string_view cp1252);  // for system calls: the exact bytes
std::string internal_text(std::string_view external);
// For terminal and log: valid UTF-8 on POSIX; on Windows the ANSI code page, with "<U+0416>"
// for what it lacks.
std::string shown_text(std::string_view cp1252);
// The ANSI code page's bytes for one character, "?" when it has none (cp1252 on POSIX).
std::string ansi_character(char32_t code);
