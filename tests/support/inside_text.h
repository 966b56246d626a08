#pragma once
#include <string>
#include <string_view>

#include "platform/foreign.h"
#include "platform/utf8.h"

// Our text for UTF-8: the code page's letters as bytes, the others in their inside form.
inline std::string inside(std::u8string_view utf8) {
    std::string bytes(utf8.begin(), utf8.end()), out;
    for (std::size_t at = 0; at < bytes.size();) {
        const Utf8Character c = next_character(bytes, at);
        append_inside(out, c.code);
        at += c.length;
    }
    return out;
}
