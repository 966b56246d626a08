#pragma once
#include <cstddef>
#include <string_view>

// Inside, a character cp1252 cannot hold takes several bytes (see text.cpp); these count it
// as the one character it is.
std::size_t character_size(std::string_view text, std::size_t at);  // bytes of the one at `at`
std::size_t character_count(std::string_view text);

