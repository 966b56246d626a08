// Charsets converted by MultiByteToWideChar with the code page of the charset's name.
#include <windows.h>

#include "platform/charsets.h"
#include "platform/utf8.h"

namespace {

// Not every Windows has a converter for ISO-2022-JP, but each reads EUC-JP, which holds the
// same characters without the escapes: two-byte text gets the high bit on both bytes.
// Nothing for an escape or byte that the plain ISO-2022-JP of mail does not know.
std::optional<std::string> jis_to_euc(std::string_view bytes) {
    enum { ASCII, DOUBLE } mode = ASCII;
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0x1B) {
            const std::string_view escape = bytes.substr(i + 1, 2);
            if (escape == "$B" || escape == "$@") mode = DOUBLE;
            else if (escape == "(B" || escape == "(J") mode = ASCII;
            else return std::nullopt;
            i += 2;
        } else if (byte >= 0x80) {
            return std::nullopt;
        } else if (mode == ASCII || byte < 0x21 || byte > 0x7E) {
            out += static_cast<char>(byte);
        } else {
            if (i + 1 >= bytes.size()) return std::nullopt;
            out += static_cast<char>(byte | 0x80);
            out += static_cast<char>(bytes[++i] | 0x80);
        }
    }
    return out;
}

constexpr unsigned ISO_2022_JP = 50220, EUC_JP = 20932;

}  // namespace

std::optional<std::string> system_to_utf8(std::string_view bytes, const Charset& known) {
    if (bytes.empty()) return std::string();
    unsigned code_page = known.code_page;
    std::optional<std::string> euc;
    if (code_page == ISO_2022_JP) {
        if (!(euc = jis_to_euc(bytes))) return std::nullopt;
        bytes = *euc;
        code_page = EUC_JP;
    }
    const DWORD flags = MB_ERR_INVALID_CHARS;
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(code_page, flags, bytes.data(), size, nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (MultiByteToWideChar(code_page, flags, bytes.data(), size, wide.data(), units) != units)
        return std::nullopt;
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t code = wide[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00);
        else if (code >= 0xD800 && code <= 0xDFFF)
            return std::nullopt;
        append_utf8(out, code);
    }
    return out;
}
