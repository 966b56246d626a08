#pragma once
#include <cstddef>
#include <string_view>

// The well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates): its length with
// `code` set, or 0 when the bytes there are no such sequence.
std::size_t utf8_sequence_at(std::string_view text, std::size_t at, char32_t& code);
