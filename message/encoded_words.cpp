#include "message/encoded_words.h"

#include <vector>

#include "message/tokens.h"
#include "platform/text.h"

namespace {

int upper_hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int base64_value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool only_blanks(std::string_view text) {
    for (char c : text)
        if (!is_blank(c)) return false;
    return true;
}

std::size_t continuation_count(unsigned char lead) {
    if (lead < 0xC0) return 0;
    if (lead < 0xE0) return 1;
    if (lead < 0xF0) return 2;
    return 3;
}

// One encoded word without its "=?" and "?=": charset, encoding, text. Anything
// that is not such a triple comes back as nullopt and stays as written.
std::optional<std::string> decode_inner(std::string_view inner) {
    std::vector<std::string_view> parts = split_tokens(inner, "?");
    if (parts.size() != 3 || parts[1].size() != 1) return std::nullopt;
    char encoding = static_cast<char>(parts[1][0] | 0x20);
    std::string charset = lower_case(parts[0]);
    if (encoding == 'q') {
        std::string text(parts[2]);
        for (char& c : text)
            if (c == '_') c = ' ';  // in Q words "_" stands for a space
        return convert_charset(decode_q(text), charset);
    }
    if (encoding == 'b') return convert_charset(decode_b(parts[2]), charset);
    return std::nullopt;
}

}  // namespace

// Positions are 0-based here: `done` is one past the last byte consumed.
std::string decode_words(std::string_view raw) {
    std::size_t p = raw.find("=?");
    if (p == std::string_view::npos) return std::string(raw);
    std::string out;
    out.reserve(raw.size());
    std::size_t done = 0;
    while (p != std::string_view::npos) {
        if (p + 2 >= raw.size()) break;  // "=?" in the last two bytes
        std::string_view gap = raw.substr(done, p - done);
        // blanks and folds between words (or before the first) vanish
        if (!only_blanks(gap)) out.append(gap);

        std::size_t q = raw.find("?=", p + 2);
        // "?q?=" is the start of a Q text that begins with "=", not the end
        if (q != std::string_view::npos && raw[q - 2] == '?' && (raw[q - 1] | 0x20) == 'q')
            q = raw.find("?=", q + 2);
        if (q == std::string_view::npos) {
            done = p;
            break;
        }
        done = q + 2;
        std::optional<std::string> decoded = decode_inner(raw.substr(p + 2, q - p - 2));
        if (decoded)
            out += *decoded;
        else
            out.append(raw.substr(p, done - p));
        p = raw.find("=?", done);
    }
    out.append(raw.substr(done));
    return out;
}

std::string decode_q(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c != '=' || i + 2 >= text.size()) {
            out += c;
            ++i;
        } else if (text[i + 1] == '\n') {  // soft line break
            i += 2;
        } else if (text[i + 1] == '\r') {
            i += 3;
        } else if (upper_hex_value(text[i + 1]) >= 0 && upper_hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(upper_hex_value(text[i + 1]) * 16 + upper_hex_value(text[i + 2]));
            i += 3;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string decode_b(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i == text.size()) return std::string(text);
    std::string out(text.substr(0, i));
    out.reserve(text.size());
    for (;;) {
        int values[4];
        int symbols = 0, first_pad = -1;
        while (symbols < 4 && i < text.size()) {
            char c = text[i++];
            if (c == '=') {
                if (first_pad < 0) first_pad = symbols;
                ++symbols;
            } else if (int v = base64_value(c); v >= 0) {
                values[symbols++] = v;
            }
        }
        if (first_pad >= 0) {
            // k symbols before the pad carry 6k bits: whole bytes only
            std::uint32_t bits = 0;
            for (int k = 0; k < first_pad; ++k) bits = bits << 6 | static_cast<std::uint32_t>(values[k]);
            int bytes = first_pad * 6 / 8;
            bits >>= first_pad * 6 - bytes * 8;
            for (int k = bytes - 1; k >= 0; --k) out += static_cast<char>(bits >> (8 * k) & 0xFF);
            break;
        }
        if (symbols < 4) break;  // the text ended inside a group: it gives nothing
        std::uint32_t bits = static_cast<std::uint32_t>(values[0] << 18 | values[1] << 12 | values[2] << 6 | values[3]);
        out += static_cast<char>(bits >> 16 & 0xFF);
        out += static_cast<char>(bits >> 8 & 0xFF);
        out += static_cast<char>(bits & 0xFF);
    }
    out.append(text.substr(i));
    return out;
}

std::string convert_charset(std::string_view bytes, std::string_view charset) {
    if (charset == "utf-8")
        if (std::optional<std::string> converted = utf8_to_8bit(bytes)) return std::move(*converted);
    return std::string(bytes);
}

std::optional<std::string> utf8_to_8bit(std::string_view bytes) {
    static constexpr unsigned char masks[4] = {0xFF, 0x1F, 0x0F, 0x07};
    std::string out;
    out.reserve(bytes.size());
    std::size_t s = 0;
    while (s < bytes.size()) {
        unsigned char lead = static_cast<unsigned char>(bytes[s]);
        std::size_t u = continuation_count(lead);
        if (s + u >= bytes.size()) return std::nullopt;  // cut short
        if (!utf8_sequence_ok(bytes, s + 1, u + 1)) return std::nullopt;
        std::uint32_t cp = lead & masks[u];
        for (std::size_t k = 1; k <= u; ++k) cp = cp * 64 + (static_cast<unsigned char>(bytes[s + k]) & 0x3F);
        out += cp > 255 ? '_' : static_cast<char>(cp);
        s += u + 1;
    }
    return out;
}

// The well-formed sequences of UTF-8: no stray continuation byte, no overlong
// form, no surrogate, nothing above U+10FFFF.
bool utf8_sequence_ok(std::string_view bytes, std::size_t position, std::size_t length) {
    if (position == 0 || length == 0 || length > 4 || position - 1 + length > bytes.size()) return false;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[position - 1 + k]); };
    auto within = [](unsigned char b, unsigned char low, unsigned char high) { return b >= low && b <= high; };
    unsigned char lead = at(0);
    if (length == 4 && !within(at(3), 0x80, 0xBF)) return false;
    if (length >= 3 && !within(at(2), 0x80, 0xBF)) return false;
    if (length >= 2) {
        unsigned char low = 0x80, high = 0xBF;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
        if (!within(at(1), low, high)) return false;
    }
    return lead < 0x80 || within(lead, 0xC2, 0xF4);
}
