#pragma once
#include <string>
#include <string_view>

//--- case, Windows ANSI (cp1252) mapping; length never changes; the input back unchanged on failure
std::string lower_case(std::string_view text);
std::string upper_case(std::string_view text);

//--- the edge between our cp1252 texts and the outside world
// Windows: unchanged. POSIX: cp1252 <-> UTF-8 (paths, terminal, log).
std::string external_text(std::string_view cp1252);
std::string internal_text(std::string_view external);
