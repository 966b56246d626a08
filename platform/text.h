#pragma once
#include <string>
#include <string_view>

//--- case, Windows ANSI (cp1252) mapping; length never changes; the input back unchanged on failure
std::string lower_case(std::string_view text);
std::string upper_case(std::string_view text);

//--- the edge between our cp1252 texts and the outside world
// Windows: unchanged. POSIX: cp1252 <-> UTF-8; what cp1252 cannot hold (any other character, a
// byte that is not UTF-8) is carried inside in a form of its own, so every name comes back.
std::string external_text(std::string_view cp1252);  // for system calls: the exact bytes
std::string internal_text(std::string_view external);
std::string shown_text(std::string_view cp1252);  // for terminal and log; valid UTF-8 on POSIX
// UTF-8 to the ANSI code page (cp1252 on POSIX); a character it lacks, or a stray byte, is "?".
std::string ansi_text(std::string_view utf8);
