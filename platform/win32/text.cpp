// Case mapping of the ANSI code page; texts need no conversion on Windows.
#include <windows.h>

#include "platform/text.h"

namespace {

template <typename Map>
std::string mapped(std::string_view text, Map map) {
    std::string buffer(text);
    if (buffer.empty()) return buffer;
    DWORD length = static_cast<DWORD>(buffer.size());
    if (map(buffer.data(), length) != length) return std::string(text);
    return buffer;
}

}  // namespace

std::string lower_case(std::string_view text) { return mapped(text, CharLowerBuffA); }
std::string upper_case(std::string_view text) { return mapped(text, CharUpperBuffA); }

std::string external_text(std::string_view cp1252) { return std::string(cp1252); }
std::string internal_text(std::string_view external) { return std::string(external); }
