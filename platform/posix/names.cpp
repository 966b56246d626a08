#include "platform/posix/names.h"

#include <string>

#include "platform/case_folding.h"
#include "platform/foreign.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace {

// Plain glob over equal-case texts, a character at a time, so "?" takes a character cp1252
// lacks whole; a failed "*" retries one character further on.
bool glob(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        const std::size_t size = character_size(name, n);
        if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += size;
        } else if (p < pattern.size() && character_size(pattern, p) == size && pattern.substr(p, size) == name.substr(n, size)) {
            p += size;
            n += size;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = resume += character_size(name, resume);
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::size_t utf16_length(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = next_character(utf8, at).length;
        units += length == 4 ? 2 : 1;  // stray bytes count as one character each
        at += length == 0 ? 1 : length;
    }
    return units;
}

// One part of an 8.3 name: allowed characters only, and not in mixed case (FAT records an
// all-small base or extension with flags, but mixed case needs a long name).
bool short_part(std::string_view part, std::size_t longest) {
    if (part.size() > longest) return false;
    bool small = false, capital = false;
    for (char c : part) {
        if (c >= 'a' && c <= 'z') {
            small = true;
        } else if (c >= 'A' && c <= 'Z') {
            capital = true;
        } else if (!(c >= '0' && c <= '9') && std::string_view("!#$%&'()-@^_`{}~").find(c) == std::string_view::npos) {
            return false;
        }
    }
    return !(small && capital);
}

bool is_short_name(std::string_view name) {
    if (name == "." || name == "..") return true;
    std::size_t dot = name.find('.');
    if (dot == std::string_view::npos) return !name.empty() && short_part(name, 8);
    std::string_view base = name.substr(0, dot), extension = name.substr(dot + 1);
    return !base.empty() && !extension.empty() && extension.find('.') == std::string_view::npos &&
           short_part(base, 8) && short_part(extension, 3);
}

}  // namespace

bool matches_pattern(std::string_view pattern, std::string_view name) {
    std::string p = fold_case(pattern), n = fold_case(name);
    if (glob(p, n)) return true;
    // "name.*" also finds "name", so "*.*" finds everything.
    if (ends_with(p, ".*") && glob(std::string_view(p).substr(0, p.size() - 2), n)) return true;
    if (ends_with(p, ".") && n.find('.') == std::string::npos) {
        std::size_t end = p.find_last_not_of('.');
        return end != std::string::npos && glob(std::string_view(p).substr(0, end + 1), n);
    }
    return false;
}

std::uint64_t fat_slots(std::string_view disk_name) {
    std::uint64_t slots = (utf16_length(disk_name) + 12) / 13;
    return is_short_name(disk_name) ? slots : slots + 1;
}
