#pragma once
#include <string>
#include <string_view>

//--- one comparison without case for names, the same on both builds
char32_t fold_character(char32_t code);  // the simple Unicode case folding
// What names are compared by: the code page's own letters by `lower_case`, a character it
// lacks (in its inside form) by the Unicode folding, so "ПРИВЕТ" and "Привет" are one name.
std::string fold_case(std::string_view text);
