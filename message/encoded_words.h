#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// `unicode`: what the code page lacks is kept (in its inside form) instead of becoming "_".
std::string decode_words(std::string_view raw, bool unicode = false);
std::string decode_q(std::string_view text);
std::string decode_b(std::string_view text);
// The bytes unchanged when the charset (lower-cased) is unknown or they are not text in it.
std::string convert_charset(std::string_view bytes, std::string_view charset, bool unicode = false);
std::string name_text(std::string_view utf8, bool unicode = false);  // well-formed UTF-8 to the text names are made of
