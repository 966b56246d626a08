// Inside texts <-> UTF-16 for the wide system calls.
#include "platform/win32/wide.h"

#include <windows.h>

#include "platform/foreign.h"

namespace {

void append_units(std::wstring& out, char32_t code) {
    if (code < 0x10000) {
        out += static_cast<wchar_t>(code);
    } else {
        out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
}

void append_ansi(std::wstring& out, std::string_view ansi) {
    if (ansi.empty()) return;
    const int size = static_cast<int>(ansi.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    if (units <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, out.data() + at, units);
}

// The code page's bytes for the units, or false when a character has none. No best fit:
// Windows would otherwise pass "L" for "Ł" and "/" for a fullwidth solidus.
bool append_bytes(std::string& out, const wchar_t* units, int count) {
    BOOL defaulted = FALSE;
    char bytes[16];
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, &defaulted);
    if (length <= 0 || defaulted) return false;
    out.append(bytes, static_cast<std::size_t>(length));
    return true;
}

bool is_high(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A character at a time: what the code page holds as its bytes, the rest as its mark.
std::string inside_by_character(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size() * 2);
    for (std::size_t at = 0; at < wide.size();) {
        const bool pair = is_high(wide[at]) && at + 1 < wide.size() && is_low(wide[at + 1]);
        const int count = pair ? 2 : 1;
        char32_t code = wide[at];
        if (pair) code = 0x10000 + ((code - 0xD800) << 10) + (wide[at + 1] - 0xDC00);
        if (code == static_cast<unsigned char>(FOREIGN)) {
            append_foreign(out, RAW + code);  // never read as the start of a mark
        } else if (is_high(static_cast<wchar_t>(code)) || is_low(static_cast<wchar_t>(code))) {
            append_foreign(out, 0xFFFD);  // half a pair is no character; nothing can carry it
        } else if (!append_bytes(out, wide.data() + at, count)) {
            append_foreign(out, code);
        }
        at += static_cast<std::size_t>(count);
    }
    return out;
}

}  // namespace

std::wstring wide_text(std::string_view inside) {
    std::wstring out;
    out.reserve(inside.size());
    std::size_t plain = 0;
    for (std::size_t at = 0; at < inside.size();) {
        const auto value = inside[at] == FOREIGN ? foreign_at(inside, at) : std::nullopt;
        if (!value) {
            ++at;
            continue;
        }
        append_ansi(out, inside.substr(plain, at - plain));
        if (*value >= RAW) {
            const char byte = static_cast<char>(*value - RAW);
            append_ansi(out, std::string_view(&byte, 1));
        } else {
            append_units(out, *value);
        }
        at += FOREIGN_SIZE;
        plain = at;
    }
    append_ansi(out, inside.substr(plain));
    return out;
}

// Names are mostly what the code page holds: one call converts them whole.
std::string inside_text(std::wstring_view wide) {
    std::string out;
    if (wide.empty()) return out;
    const int size = static_cast<int>(wide.size());
    BOOL defaulted = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &defaulted);
    if (length > 0 && !defaulted) {
        out.resize(static_cast<std::size_t>(length));
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), length, nullptr, &defaulted);
        if (!defaulted && out.find(FOREIGN) == std::string::npos) return out;
    }
    return inside_by_character(wide);
}

std::string inside_text(const wchar_t* wide) { return wide ? inside_text(std::wstring_view(wide)) : std::string(); }
