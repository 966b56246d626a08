#pragma once
#include <set>
#include <string>
#include <string_view>

// What Windows accepts as the name of a plain file: no control or reserved
// character, no trailing blank or dot, and no device name before the first dot.
inline bool is_windows_file_name(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.back() == ' ' || name.back() == '.') return false;
    for (unsigned char c : name)
        if (c < 32 || std::string_view(":\"/\\?*<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    static const std::set<std::string> devices{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$",
                                               "COM1", "COM9", "LPT1", "LPT9", "COM\xB9", "LPT\xB3"};
    return !devices.count(stem);
}
