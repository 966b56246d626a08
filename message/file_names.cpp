#include "message/file_names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "app/settings.h"
#include "message/encoded_words.h"
#include "message/tokens.h"
#include "platform/text.h"

namespace {

constexpr std::size_t bucket_count = 16384;
constexpr std::size_t hashed_bytes = 20;

// A fixed table of buckets picked by the first 20 bytes. Every counter name of
// a stem of 20 bytes or more ("[no subject]_002100000[7]") lands in its stem's
// bucket, so a bucket is itself keyed by the whole name: a list there would make
// n equal stems cost n*n/2 comparisons.
std::array<std::unordered_map<std::string, int>, bucket_count> registry;

std::size_t bucket_of(std::string_view key) {
    if (key.empty()) return 0;
    unsigned h = static_cast<unsigned char>(key[0]);
    for (std::size_t k = 1; k < key.size() && k < hashed_bytes; ++k) h = (2 * h) ^ static_cast<unsigned char>(key[k]);
    return h & (bucket_count - 1);
}

// What a Windows file name cannot hold, and what it becomes.
char forbidden_replacement(char c) {
    switch (c) {
        case ':': return '.';
        case '"': return '\'';
        case '/':
        case '\\':
        case '?':
        case '*':
        case '<':
        case '>':
        case '|': return ' ';
        default: return c;
    }
}

bool is_space_or_tab(char c) { return c == ' ' || c == '\t'; }

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool same_letters(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        if (ascii_upper(text[k]) != upper[k]) return false;
    return true;
}

// Windows opens a device instead of a file when the name up to its first dot,
// trailing spaces dropped, is one of these: «NUL. Termin» would be swallowed.
// Without a dot the date suffix follows directly and no device name is left.
bool names_a_device(std::string_view name) {
    std::size_t dot = name.find('.');
    if (dot == std::string_view::npos) return false;
    std::string_view stem = name.substr(0, dot);
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (same_letters(stem, device)) return true;
    if (stem.size() != 4 || !(same_letters(stem.substr(0, 3), "COM") || same_letters(stem.substr(0, 3), "LPT")))
        return false;
    char digit = stem[3];
    // the superscripts one, two and three count as digits too
    return (digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3';
}

void cut_to_budget(std::string& name) {
    std::size_t budget = settings.name_budget > 3 ? static_cast<std::size_t>(settings.name_budget) : 3;
    if (name.size() <= budget) return;
    name.resize(budget - 3);
    name += settings.ellipsis;
}

}  // namespace

int register_name(const std::string& name, bool already_lower) {
    std::string lowered;
    const std::string& key = already_lower ? name : (lowered = lower_case(name));
    return ++registry[bucket_of(key)][key];
}

void clear_registry() {
    for (auto& bucket : registry) bucket.clear();
}

std::string remove_prefixes(std::string_view text) {
    std::string_view s = trim_leading_blanks(text);
    std::size_t longest = 0;
    for (const std::string& prefix : settings.prefixes_to_remove) longest = std::max(longest, prefix.size());
    while (!s.empty()) {
        // only the front can match; lower-casing all of a huge subject each round would be quadratic
        std::string front = lower_case(s.substr(0, longest));
        std::size_t found = 0;
        for (const std::string& prefix : settings.prefixes_to_remove) {
            if (!prefix.empty() && std::string_view(front).substr(0, prefix.size()) == prefix) {
                found = prefix.size();
                break;
            }
        }
        if (found == 0) break;
        s = trim_leading_blanks(s.substr(found));
    }
    return std::string(s);
}

std::string clean_subject(std::string_view decoded) {
    std::string s = remove_prefixes(decoded);
    if (s.empty()) s = "[no subject]";
    std::string out;
    out.reserve(s.size());
    bool in_blanks = false;
    for (char c : s) {
        if (static_cast<unsigned char>(c) < 32)
            c = settings.space_char;
        else
            c = forbidden_replacement(c);
        if (is_space_or_tab(c)) {
            if (!in_blanks) out += settings.space_char;
            in_blanks = true;
            continue;
        }
        std::size_t k = settings.replace_from.find(c);
        if (k != std::string::npos && k < settings.replace_to.size()) c = settings.replace_to[k];
        out += c;
        in_blanks = false;
    }
    std::string name(trim_blanks(out));
    if (name.empty()) return "_";
    cut_to_budget(name);
    if (names_a_device(name)) {
        name.insert(0, 1, '_');
        cut_to_budget(name);
    }
    return name;
}

std::string make_unique(const std::string& name) {
    int n = register_name(name);
    if (n == 1) return name;
    std::string low = lower_case(name);
    int i = n;
    std::string candidate;
    for (;; ++i) {
        candidate = low;
        candidate += '[';
        candidate += std::to_string(i);
        candidate += ']';
        if (register_name(candidate, true) == 1) break;
    }
    return name + "[" + std::to_string(i) + "]";
}

BuiltName build_file_name(std::string_view raw_subject, const DateTime& date, double zone_hours) {
    BuiltName built;
    built.subject = decode_words(raw_subject);
    std::string stem = clean_subject(built.subject);

    // the packed date as 32 bits, two's complement when a zone moved it before 1980
    auto packed = static_cast<std::uint32_t>(static_cast<std::uint64_t>(dos_datetime(date)));
    double whole_hours = std::floor(zone_hours);
    unsigned zone_digit = 0;
    if (std::isfinite(whole_hours) && std::fabs(whole_hours) < 1e9) {
        long long z = static_cast<long long>(whole_hours) % 16;
        zone_digit = static_cast<unsigned>(z < 0 ? z + 16 : z);
    }
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%08X%X", static_cast<unsigned>(packed), zone_digit);
    stem += suffix;
    built.file_name = make_unique(stem);
    return built;
}
