// Case mapping of the ANSI code page; texts are converted at the wide system calls
// (wide.cpp), here only for the log and for settings files saved as UTF-8.
#include <windows.h>

#include <cstdio>
#include <optional>

#include "platform/foreign.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace {

template <typename Map>
std::string mapped(std::string_view text, Map map) {
    std::string buffer(text);
    if (buffer.empty()) return buffer;
    DWORD length = static_cast<DWORD>(buffer.size());
    if (map(buffer.data(), length) != length) return std::string(text);
    return buffer;
}

}  // namespace

std::string lower_case(std::string_view text) { return mapped(text, CharLowerBuffA); }
std::string upper_case(std::string_view text) { return mapped(text, CharUpperBuffA); }

std::string external_text(std::string_view cp1252) { return std::string(cp1252); }
std::string internal_text(std::string_view external) { return std::string(external); }
// The log and the crash report stay in the ANSI code page, byte for byte as before; what it
// lacks is written as "<U+0416>": readable, exact, and never part of a real name, which
// cannot hold "<" or ">".
std::string shown_text(std::string_view inside) {
    if (inside.find(FOREIGN) == std::string_view::npos) return std::string(inside);
    std::string out;
    out.reserve(inside.size());
    for (std::size_t at = 0; at < inside.size();) {
        const auto value = inside[at] == FOREIGN ? foreign_at(inside, at) : std::nullopt;
        if (!value) {
            out += inside[at++];
            continue;
        }
        if (*value >= RAW) {
            out += static_cast<char>(*value - RAW);
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(*value));
            out += code;
        }
        at += FOREIGN_SIZE;
    }
    return out;
}

namespace {

// The code page's bytes for one character, or nothing when it lacks it. Without
// WC_NO_BEST_FIT_CHARS Windows would pass an "a" for an "ą".
std::optional<std::string> ansi_bytes(char32_t code) {
    wchar_t units[2];
    int count = 1;
    if (code < 0x10000) {
        units[0] = static_cast<wchar_t>(code);
    } else {
        units[0] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        count = 2;
    }
    char bytes[8];
    BOOL defaulted = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, &defaulted);
    if (length <= 0 || defaulted) return std::nullopt;
    return std::string(bytes, static_cast<std::size_t>(length));
}

}  // namespace

bool ansi_holds(char32_t code) { return ansi_bytes(code).has_value(); }

std::string ansi_character(char32_t code) { return ansi_bytes(code).value_or("?"); }
