#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates): its length with
// `code` set, or 0 when the bytes there are no such sequence.
std::size_t utf8_sequence_at(std::string_view text, std::size_t at, char32_t& code);
bool valid_utf8(std::string_view text);  // every byte part of a well-formed sequence

// Inline: every name written goes through it.
inline void append_utf8(std::string& out, char32_t code) {  // code below 0x110000
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The ANSI code page's bytes for one character, "?" when it has none (cp1252 on POSIX).
std::string ansi_character(char32_t code);
