#include "message/file_names.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/settings.h"
#include "message/encoded_words.h"
#include "message/tokens.h"
#include "platform/case_folding.h"
#include "platform/foreign.h"
#include "platform/name_limits.h"
#include "platform/text.h"

namespace {

// The lower-cased names of one mailbox. A mailbox of a million messages keeps a million
// of them, so each costs its bytes in a shared block and one slot of an open table, not a
// node and a string of its own.
struct Slot {
    const char* entry = nullptr;  // its length (4 bytes), then the name; nullptr: free
    std::uint32_t hash = 0;
    std::uint32_t uses = 0;
};

struct Registry {
    std::vector<Slot> slots;  // a power of two in size, at most three quarters used
    std::size_t used = 0;
    std::vector<std::unique_ptr<char[]>> blocks;
    char* next = nullptr;
    std::size_t left = 0;
};
Registry registry;

constexpr std::size_t BLOCK_SIZE = 256 * 1024;
constexpr std::size_t FIRST_SLOTS = 1024;

// Names that differ only in a counter ("..._002100000[7]") must spread over the table too.
std::uint32_t hash_of(std::string_view key) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : key) h = (h ^ c) * 16777619u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    return h;
}

std::string_view name_in(const char* entry) {
    std::uint32_t length;
    std::memcpy(&length, entry, sizeof length);
    return {entry + sizeof length, length};
}

const char* keep(std::string_view key) {
    const std::uint32_t length = static_cast<std::uint32_t>(key.size());
    const std::size_t size = sizeof length + key.size();
    if (size > registry.left) {
        const std::size_t block = std::max(size, BLOCK_SIZE);
        registry.blocks.push_back(std::make_unique_for_overwrite<char[]>(block));
        registry.next = registry.blocks.back().get();
        registry.left = block;
    }
    char* entry = registry.next;
    std::memcpy(entry, &length, sizeof length);
    std::memcpy(entry + sizeof length, key.data(), key.size());
    registry.next += size;
    registry.left -= size;
    return entry;
}

// The slot holding `key`, or the free one where it belongs.
Slot& slot_for(std::string_view key, std::uint32_t hash) {
    const std::size_t mask = registry.slots.size() - 1;
    for (std::size_t k = hash & mask;; k = (k + 1) & mask) {
        Slot& slot = registry.slots[k];
        if (!slot.entry || (slot.hash == hash && name_in(slot.entry) == key)) return slot;
    }
}

void grow_table() {
    std::vector<Slot> old = std::move(registry.slots);
    registry.slots.assign(old.empty() ? FIRST_SLOTS : 2 * old.size(), Slot{});
    for (const Slot& slot : old)
        if (slot.entry) slot_for(name_in(slot.entry), slot.hash) = slot;
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

// Without a dot the date suffix follows directly and no device name is left.
bool names_a_device(std::string_view name) {
    std::size_t dot = name.find('.');
    return dot != std::string_view::npos && is_device_name(name.substr(0, dot));
}

// Direction marks and embeddings would make a name read in another order than it is
// written; C1 controls and line separators are controls too.
bool is_foreign_control(char32_t code) {
    return (code >= 0x80 && code <= 0x9F) || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0x2028 || code == 0x2029 || code == 0xFEFF;
}

// Bytes of the character at `at`: with Unicode names a character the code page lacks is one.
std::size_t step_at(std::string_view name, std::size_t at) {
    return settings.unicode_names ? character_size(name, at) : 1;
}

constexpr std::size_t SUFFIX_SIZE = 10;   // "_%08X%X"
constexpr std::size_t COUNTER_ROOM = 8;  // up to "[999999]"

// A name longer than the budget keeps its first budget - 3 characters and the ellipsis. It
// must also fit the file system with the suffix, a counter and the extension: 255 units
// hold only 127 Cyrillic letters in UTF-8, fewer emoji, so a long budget cuts there first.
void cut_to_budget(std::string& name) {
    const std::size_t budget = settings.name_budget > 3 ? static_cast<std::size_t>(settings.name_budget) : 3;
    const std::size_t fixed = SUFFIX_SIZE + COUNTER_ROOM + name_units(settings.file_extension);
    const std::size_t room = fixed < LONGEST_NAME ? LONGEST_NAME - fixed : 0;
    // the common short name: no character takes fewer bytes, nor more than three units a byte
    if (name.size() <= budget && 3 * name.size() <= room) return;
    std::vector<std::size_t> ends;  // where each character ends
    for (std::size_t at = 0; at < name.size();) ends.push_back(at += step_at(name, at));
    if (ends.size() <= budget && name_units(name) <= room) return;
    std::size_t keep = std::min(ends.size(), budget - 3);
    while (keep > 0 && name_units(name.substr(0, ends[keep - 1]) + settings.ellipsis) > room) --keep;
    name.resize(keep > 0 ? ends[keep - 1] : 0);
    name += settings.ellipsis;
}

}  // namespace

// Windows opens a device instead of a file when the name up to its first dot,
// trailing spaces dropped, is one of these: «NUL. Termin» would be swallowed.
bool is_device_name(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (same_letters(stem, device)) return true;
    if (stem.size() != 4 || !(same_letters(stem.substr(0, 3), "COM") || same_letters(stem.substr(0, 3), "LPT")))
        return false;
    char digit = stem[3];
    // the superscripts one, two and three count as digits too
    return (digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3';
}

int register_name(const std::string& name, bool already_folded) {
    std::string lowered;
    const std::string& key = already_folded ? name : (lowered = fold_case(name));
    if (4 * (registry.used + 1) > 3 * registry.slots.size()) grow_table();
    const std::uint32_t hash = hash_of(key);
    Slot& slot = slot_for(key, hash);
    if (!slot.entry) {
        slot = {keep(key), hash, 0};
        ++registry.used;
    }
    return static_cast<int>(++slot.uses);
}

void clear_registry() { registry = Registry{}; }

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
    for (std::size_t at = 0; at < s.size();) {
        const std::size_t size = step_at(s, at);
        char c = s[at];
        at += size;
        if (size > 1) {  // a character the code page lacks: kept whole, unless it is a control
            const std::optional<char32_t> code = foreign_at(s, at - size);
            if (!code || !is_foreign_control(*code)) {
                out.append(s, at - size, size);
                in_blanks = false;
                continue;
            }
        }
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
    std::string low = fold_case(name);
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
    built.subject = decode_words(raw_subject, settings.unicode_names);
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
