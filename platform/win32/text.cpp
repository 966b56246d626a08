// Case mapping of the ANSI code page; texts need no conversion on Windows, only settings
// files saved as UTF-8 do.
#include <windows.h>

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
std::string shown_text(std::string_view cp1252) { return std::string(cp1252); }

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
