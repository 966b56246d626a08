#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

//--- the inside form of what the ANSI code page cannot hold, the same on both builds
// FOREIGN and six hex digits, each the byte 0x10 + digit: the Unicode value, or RAW + a byte
// that was no character outside (see foreign.cpp).
inline constexpr char FOREIGN = '\x0E';
inline constexpr std::size_t FOREIGN_SIZE = 7;
inline constexpr char32_t RAW = 0x110000;

void append_foreign(std::string& out, char32_t value);  // value below RAW + 0x100
// The value of the mark at `at`, or nothing when the bytes there are not one we would write.
std::optional<char32_t> foreign_at(std::string_view text, std::size_t at);
// The ANSI code page's bytes for `code` if it holds it, else its mark.
void append_inside(std::string& out, char32_t code);

// A character the code page lacks takes several bytes inside; these count it as one.
std::size_t character_size(std::string_view text, std::size_t at);  // bytes of the one at `at`
std::size_t character_count(std::string_view text);

// Each platform's text.cpp: whether the ANSI code page (cp1252 on POSIX) holds `code`.
bool ansi_holds(char32_t code);
