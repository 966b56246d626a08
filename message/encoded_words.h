#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

std::string decode_words(std::string_view raw);
std::string decode_q(std::string_view text);
std::string decode_b(std::string_view text);
std::string convert_charset(std::string_view bytes, std::string_view charset);  // charset lower-cased
std::optional<std::string> utf8_to_8bit(std::string_view bytes);                // nullopt: not UTF-8
bool utf8_sequence_ok(std::string_view bytes, std::size_t position, std::size_t length);  // 1-based
