#pragma once
#include <string>
#include <string_view>

// The settings file's bytes as our text: read as UTF-8 when they start with a byte order
// mark or when every byte above 127 is part of a UTF-8 sequence (and there is one), else
// as the ANSI code page.
std::string settings_text(std::string_view bytes);
