#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The one walk over UTF-8 text: the character at `at` (below text.size()) with its length in
// bytes, or length 0 when the byte there starts no well-formed sequence (a stray or cut-short
// byte, an overlong form, a surrogate, anything above U+10FFFF).
struct Utf8Character {
    char32_t code = 0;
    std::size_t length = 0;
};
Utf8Character next_character(std::string_view text, std::size_t at);
bool valid_utf8(std::string_view text);  // every byte part of a well-formed sequence
// UTF-8 to the ANSI code page (cp1252 on POSIX); a character it lacks, or a stray byte, is "?".
std::string ansi_text(std::string_view utf8);

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
