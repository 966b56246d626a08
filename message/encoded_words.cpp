#include "message/encoded_words.h"

#include <vector>

#include "message/tokens.h"
#include "platform/charsets.h"
#include "platform/foreign.h"
#include "platform/text.h"
#include "platform/utf8.h"

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

bool has_8bit(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// A decoded word before its charset is applied; adjacent words of one charset are
// converted together, since senders cut UTF-8 characters in two between words.
struct Word {
    std::string charset;  // lower-cased
    std::string bytes;
};

// One encoded word without its "=?" and "?=": charset, encoding, text. Anything
// that is not such a triple comes back as nullopt and stays as written.
std::optional<Word> decode_inner(std::string_view inner) {
    std::vector<std::string_view> parts = split_tokens(inner, "?");
    if (parts.size() != 3 || parts[1].size() != 1) return std::nullopt;
    char encoding = static_cast<char>(parts[1][0] | 0x20);
    std::string charset = lower_case(parts[0]);
    if (encoding == 'q') {
        std::string text(parts[2]);
        for (char& c : text)
            if (c == '_') c = ' ';  // in Q words "_" stands for a space
        return Word{charset, decode_q(text)};
    }
    if (encoding == 'b') return Word{charset, decode_b(parts[2])};
    return std::nullopt;
}

std::string convert_words(const std::vector<Word>& words, bool unicode) {
    if (words.size() > 1) {
        std::string joined;
        for (const Word& word : words) joined += word.bytes;
        if (std::optional<std::string> utf8 = charset_to_utf8(joined, words.front().charset)) return name_text(*utf8, unicode);
    }
    // each on its own, so that one broken word does not take its neighbours' text along
    std::string out;
    for (const Word& word : words) out += convert_charset(word.bytes, word.charset, unicode);
    return out;
}

}  // namespace

// Positions are 0-based here: `done` is one past the last byte consumed. A raw subject
// that is UTF-8 throughout is read as such; any other stays as the bytes it is.
std::string decode_words(std::string_view raw, bool unicode) {
    const bool raw_utf8 = has_8bit(raw) && valid_utf8(raw);
    std::size_t p = raw.find("=?");
    if (p == std::string_view::npos) return raw_utf8 ? name_text(raw, unicode) : std::string(raw);
    std::string out;
    out.reserve(raw.size());
    std::vector<Word> words;  // adjacent words of one charset, not converted yet
    auto append_plain = [&](std::string_view text) {
        if (!words.empty()) out += convert_words(words, unicode);
        words.clear();
        out += raw_utf8 ? name_text(text, unicode) : std::string(text);
    };
    std::size_t done = 0;
    while (p != std::string_view::npos) {
        if (p + 2 >= raw.size()) break;  // "=?" in the last two bytes
        std::string_view gap = raw.substr(done, p - done);
        // blanks and folds between words (or before the first) vanish
        if (!only_blanks(gap)) append_plain(gap);

        std::size_t q = raw.find("?=", p + 2);
        // "?q?=" is the start of a Q text that begins with "=", not the end
        if (q != std::string_view::npos && raw[q - 2] == '?' && (raw[q - 1] | 0x20) == 'q')
            q = raw.find("?=", q + 2);
        if (q == std::string_view::npos) {
            done = p;
            break;
        }
        done = q + 2;
        std::optional<Word> word = decode_inner(raw.substr(p + 2, q - p - 2));
        if (!word) {
            append_plain(raw.substr(p, done - p));
        } else {
            if (!words.empty() && words.back().charset != word->charset) append_plain({});
            words.push_back(std::move(*word));
        }
        p = raw.find("=?", done);
    }
    append_plain(raw.substr(done));
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

std::string convert_charset(std::string_view bytes, std::string_view charset, bool unicode) {
    if (std::optional<std::string> utf8 = charset_to_utf8(bytes, charset)) return name_text(*utf8, unicode);
    return std::string(bytes);
}

// The ANSI code page's text of well-formed UTF-8; a character it lacks is "_", or its
// inside form for Unicode names.
std::string name_text(std::string_view utf8, bool unicode) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const auto [code, length] = next_character(utf8, at);
        if (length == 1) {
            out += static_cast<char>(code);
        } else if (length == 0) {
            out += utf8[at];  // not reached: callers hand in well-formed text
        } else if (ansi_holds(code)) {
            out += ansi_character(code);
        } else if (unicode) {
            append_foreign(out, code);
        } else {
            out += '_';
        }
        at += length == 0 ? 1 : length;
    }
    return out;
}
