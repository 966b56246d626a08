// UTF-8 sequences, for the POSIX edge and for settings files saved as UTF-8.
#include "platform/utf8.h"

#include "platform/text.h"

std::size_t utf8_sequence_at(std::string_view text, std::size_t at, char32_t& code) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5 || length == 0 || at + length > text.size()) return 0;
    code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    static constexpr char32_t SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool valid_utf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        char32_t code = 0;
        const std::size_t length = static_cast<unsigned char>(text[at]) < 0x80 ? 1 : utf8_sequence_at(text, at, code);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string ansi_text(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t code = static_cast<unsigned char>(utf8[at]);
        const std::size_t length = code < 0x80 ? 1 : utf8_sequence_at(utf8, at, code);
        if (length == 1) out += static_cast<char>(code);
        else out += length == 0 ? "?" : ansi_character(code);
        at += length == 0 ? 1 : length;
    }
    return out;
}
