// Windows-1252 inside, UTF-8 outside: case mapping by the cp1252 table, and the conversions
// used at every system call, terminal and log.
#include <array>
#include <cstdint>

#include "platform/posix/utf8.h"
#include "platform/text.h"

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

constexpr char UNMAPPABLE = '_';

char byte_of(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
    for (std::size_t i = 0; i < HIGH_CONTROLS.size(); ++i)
        if (HIGH_CONTROLS[i] == code) return static_cast<char>(0x80 + i);
    return UNMAPPABLE;
}

void append_utf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

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

namespace {

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

namespace {

bool all_ascii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

// Names are nearly always plain ASCII, which is the same in both encodings.
std::string external_text(std::string_view cp1252) {
    if (all_ascii(cp1252)) return std::string(cp1252);
    std::string out;
    out.reserve(cp1252.size() * 2);
    for (char c : cp1252) append_utf8(out, unicode_of(static_cast<unsigned char>(c)));
    return out;
}

// A name that is not UTF-8 at all keeps its bytes (taken as cp1252); a character cp1252
// lacks becomes "_", so such a name shows but cannot be opened by the name we report.
std::string internal_text(std::string_view external) {
    if (all_ascii(external)) return std::string(external);
    std::string out;
    out.reserve(external.size());
    for (std::size_t at = 0; at < external.size();) {
        char32_t code = 0;
        std::size_t length = static_cast<unsigned char>(external[at]) < 0x80 ? 0 : utf8_sequence_at(external, at, code);
        if (length == 0) {
            out += external[at++];
        } else {
            out += byte_of(code);
            at += length;
        }
    }
    return out;
}
