#pragma once
// What Windows refuses (or quietly turns into something else) as the name of a file in a
// directory. Names are cp1252, one byte per character.
#include <string>
#include <string_view>

namespace windows_names {

inline char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

inline bool same_upper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (upper_ascii(text[k]) != upper[k]) return false;
    return true;
}

// CON, NUL, COM1 and the rest open the device, with any extension and with blanks before
// the dot; the superscript digits count as digits.
inline bool is_device(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (same_upper(stem, device)) return true;
    if (stem.size() != 4 || !(same_upper(stem.substr(0, 3), "COM") || same_upper(stem.substr(0, 3), "LPT")))
        return false;
    char digit = stem[3];
    return (digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3';
}

// Empty when Windows takes the name as it stands, else the reason it would not.
inline std::string fault(std::string_view name) {
    if (name.empty()) return "empty name";
    if (name == "." || name == "..") return "names a directory: " + std::string(name);
    if (name.size() > 255) return "longer than 255 characters";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32) return "control character in " + std::string(name);
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
            return std::string("reserved character '") + c + "' in " + std::string(name);
    }
    if (name.back() == ' ' || name.back() == '.') return "trailing blank or dot: " + std::string(name);
    if (is_device(name)) return "device name: " + std::string(name);
    return {};
}

// Windows compares names without case; these are the letter pairs of cp1252.
inline std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) b += 32;
        else if (b == 0x8A || b == 0x8C || b == 0x8E) b += 16;
        else if (b == 0x9F) b = 0xFF;
        c = static_cast<char>(b);
    }
    return out;
}

}  // namespace windows_names
