#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

std::string decode_words(std::string_view raw);
std::string decode_q(std::string_view text);
std::string decode_b(std::string_view text);
// The bytes unchanged when the charset (lower-cased) is unknown or they are not text in it.
std::string convert_charset(std::string_view bytes, std::string_view charset);
std::string name_text(std::string_view utf8);  // well-formed UTF-8 to the text names are made of
