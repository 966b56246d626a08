// The reversible inside form both builds use for characters the ANSI code page lacks.
#include "platform/foreign.h"

#include "platform/text.h"

// Seven control bytes: no name built from a subject holds them, the case tables leave them
// alone and no path rule looks at them, so they pass the core untouched.
void append_foreign(std::string& out, char32_t value) {
    out += FOREIGN;
    for (int shift = 20; shift >= 0; shift -= 4) out += static_cast<char>(0x10 | ((value >> shift) & 0xF));
}

// Only the one form we write counts, so each character has one inside form and equal names
// compare equal: no surrogate, nothing the code page holds, no raw byte but FOREIGN's own
// below 0x80.
std::optional<char32_t> foreign_at(std::string_view text, std::size_t at) {
    if (text[at] != FOREIGN || text.size() - at < FOREIGN_SIZE) return std::nullopt;
    char32_t value = 0;
    for (std::size_t i = 1; i < FOREIGN_SIZE; ++i) {
        const auto digit = static_cast<unsigned char>(text[at + i]);
        if ((digit & 0xF0) != 0x10) return std::nullopt;
        value = (value << 4) | (digit & 0xF);
    }
    if (value >= RAW) {
        const char32_t byte = value - RAW;
        if (byte > 0xFF || (byte < 0x80 && byte != static_cast<unsigned char>(FOREIGN))) return std::nullopt;
    } else if ((value >= 0xD800 && value <= 0xDFFF) || ansi_holds(value)) {
        return std::nullopt;
    }
    return value;
}

void append_inside(std::string& out, char32_t code) {
    if (ansi_holds(code)) out += ansi_character(code);
    else append_foreign(out, code);
}

std::size_t character_size(std::string_view text, std::size_t at) {
    return text[at] == FOREIGN && foreign_at(text, at) ? FOREIGN_SIZE : 1;
}

std::size_t character_count(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += character_size(text, at)) ++count;
    return count;
}
