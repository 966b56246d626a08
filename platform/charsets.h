#pragma once
#include <optional>
#include <string>
#include <string_view>

//--- text in a MIME charset, converted by the system's own converters
// One table of charset names and aliases serves both builds, so both know the same charsets.
struct Charset {
    std::string_view name;       // lower case, as a message may name it
    unsigned code_page;          // Windows
    std::string_view converter;  // iconv; "UTF-8" for UTF-8 itself
};
const Charset* find_charset(std::string_view name);  // name lower-cased; nullptr: unknown

// The bytes as UTF-8; nothing when the charset is unknown or the bytes are not text in it.
std::optional<std::string> charset_to_utf8(std::string_view bytes, std::string_view charset);
// The system's converter for a known charset other than UTF-8; nothing when it refuses.
std::optional<std::string> system_to_utf8(std::string_view bytes, const Charset& charset);
