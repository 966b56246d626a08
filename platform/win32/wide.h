#pragma once
#include <string>
#include <string_view>

//--- the edge between inside texts and the wide system calls
// Inside: the ANSI code page, with what it lacks in the inside form (platform/foreign.h).
// Every name comes back as it was, and a character the code page lacks is never replaced
// by a look-alike, so a fullwidth solidus stays a letter of a name.
std::wstring wide_text(std::string_view inside);
std::string inside_text(std::wstring_view wide);
std::string inside_text(const wchar_t* wide);  // a NUL-terminated text; empty for nullptr
