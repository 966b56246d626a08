// Windows-1252 inside, UTF-8 outside: case mapping by the cp1252 table, and the conversions
// used at every system call, terminal and log.
#include <array>
#include <cstdint>
#include <optional>

#include "platform/foreign.h"
#include "platform/text.h"
#include "platform/utf8.h"

namespace {

// Unicode for the bytes 0x80..0x9F. The five bytes cp1252 leaves unassigned map to the C1
// control of the same value, as Windows does, so every byte survives the round trip.
constexpr std::array<char16_t, 32> HIGH_CONTROLS = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t unicode_of(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return HIGH_CONTROLS[byte - 0x80];
    return byte;
}

// The cp1252 byte for `code`, or -1 when cp1252 has none.
int byte_of(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    for (std::size_t i = 0; i < HIGH_CONTROLS.size(); ++i)
        if (HIGH_CONTROLS[i] == code) return static_cast<int>(0x80 + i);
    return -1;
}

// Every path of every message passes here, so one comparison a byte: it also sends the
// rare controls below FOREIGN the long way, which converts them all the same.
bool plain_ascii(std::string_view text) {
    constexpr unsigned char FIRST_PLAIN = FOREIGN + 1;
    for (char c : text)
        if (static_cast<unsigned char>(static_cast<unsigned char>(c) - FIRST_PLAIN) >= 0x80 - FIRST_PLAIN) return false;
    return true;
}

// `exact` gives back the bytes of a name as they were; otherwise such a byte shows as its
// cp1252 letter, which keeps terminal and log UTF-8 and reads as an old Latin-1 name meant.
std::string to_utf8(std::string_view cp1252, bool exact) {
    if (plain_ascii(cp1252)) return std::string(cp1252);
    std::string out;
    out.reserve(cp1252.size() * 2);
    for (std::size_t at = 0; at < cp1252.size(); ++at) {
        const auto byte = static_cast<unsigned char>(cp1252[at]);
        const std::optional<char32_t> foreign = byte == FOREIGN ? foreign_at(cp1252, at) : std::nullopt;
        if (!foreign) {
            append_utf8(out, unicode_of(byte));
        } else {
            if (*foreign < RAW) append_utf8(out, *foreign);
            else if (exact) out += static_cast<char>(*foreign - RAW);
            else append_utf8(out, unicode_of(static_cast<unsigned char>(*foreign - RAW)));
            at += FOREIGN_SIZE - 1;
        }
    }
    return out;
}

struct CaseTables {
    std::array<unsigned char, 256> lower{}, upper{};
};

// The cp1252 pairs: ASCII, the accented block (× and ÷ have no partner), Š, Œ, Ž and Ÿ.
// ß and µ have no single-byte capital and stay as they are.
constexpr CaseTables make_case_tables() {
    CaseTables t;
    for (int i = 0; i < 256; ++i) t.lower[i] = t.upper[i] = static_cast<unsigned char>(i);
    auto pair = [&t](int capital, int small) {
        t.lower[capital] = static_cast<unsigned char>(small);
        t.upper[small] = static_cast<unsigned char>(capital);
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7) pair(c, c + 32);
    pair(0x8A, 0x9A);
    pair(0x8C, 0x9C);
    pair(0x8E, 0x9E);
    pair(0x9F, 0xFF);
    return t;
}
constexpr CaseTables CASES = make_case_tables();

std::string mapped(std::string_view text, const std::array<unsigned char, 256>& table) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return out;
}

}  // namespace

std::string lower_case(std::string_view text) { return mapped(text, CASES.lower); }
std::string upper_case(std::string_view text) { return mapped(text, CASES.upper); }

std::string external_text(std::string_view cp1252) { return to_utf8(cp1252, true); }
std::string shown_text(std::string_view cp1252) { return to_utf8(cp1252, false); }

std::string internal_text(std::string_view external) {
    if (plain_ascii(external)) return std::string(external);
    std::string out;
    out.reserve(external.size());
    for (std::size_t at = 0; at < external.size();) {
        const auto byte = static_cast<unsigned char>(external[at]);
        const Utf8Character c = next_character(external, at);
        if (byte < 0x80) {
            // A name that already holds what reads as our mark gets its first byte marked.
            if (byte == FOREIGN && foreign_at(external, at)) append_foreign(out, RAW + byte);
            else out += static_cast<char>(byte);
            ++at;
        } else if (c.length == 0) {
            append_foreign(out, RAW + byte);
            ++at;
        } else {
            const int cp1252 = byte_of(c.code);
            if (cp1252 >= 0) out += static_cast<char>(cp1252);
            else append_foreign(out, c.code);
            at += c.length;
        }
    }
    return out;
}

bool ansi_holds(char32_t code) { return byte_of(code) >= 0; }

std::string ansi_character(char32_t code) {
    const int cp1252 = byte_of(code);
    return cp1252 >= 0 ? std::string(1, static_cast<char>(cp1252)) : "?";
}
