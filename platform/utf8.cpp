// UTF-8 sequences, for the POSIX edge and for settings files saved as UTF-8.
#include "platform/utf8.h"

#include "platform/text.h"

Utf8Character next_character(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0 || at + length > text.size()) return {};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    static constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, length};
}

bool valid_utf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = next_character(text, at);
        if (c.length == 0) return false;
        at += c.length;
    }
    return true;
}

std::string ansi_text(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const Utf8Character c = next_character(utf8, at);
        if (c.length == 0) out += '?';
        else if (c.length == 1) out += static_cast<char>(c.code);
        else out += ansi_character(c.code);
        at += c.length == 0 ? 1 : c.length;
    }
    return out;
}
