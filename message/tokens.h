#pragma once
#include <string_view>
#include <vector>

// Small text cuts shared by the header, date and name code.
// The blank set is space, tab, CR and LF everywhere in mail headers.

inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

inline std::string_view trim_leading_blanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) ++i;
    return text.substr(i);
}

inline std::string_view trim_trailing_blanks(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && is_blank(text[n - 1])) --n;
    return text.substr(0, n);
}

inline std::string_view trim_blanks(std::string_view text) {
    return trim_trailing_blanks(trim_leading_blanks(text));
}

// Runs of delimiters separate tokens and never give an empty one. A token that
// begins with a double quote runs to the next one, both quotes included, or to
// the end of the text when it is never closed.
inline std::vector<std::string_view> split_tokens(std::string_view text, std::string_view delimiters) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (delimiters.find(text[i]) != std::string_view::npos) {
            ++i;
            continue;
        }
        std::size_t end;
        if (text[i] == '"') {
            std::size_t close = text.find('"', i + 1);
            end = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            end = text.find_first_of(delimiters, i);
            if (end == std::string_view::npos) end = text.size();
        }
        tokens.push_back(text.substr(i, end - i));
        i = end;
    }
    return tokens;
}
