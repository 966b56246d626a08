// Subjects with encoded words, and the Q, B and UTF-8 steps on their own.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/encoded_words.h"
#include "platform/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string decoded = decode_words(text);
    // Without a start mark only UTF-8 text is converted.
    const bool utf8 = valid_utf8(text);
    if (text.find("=?") == std::string_view::npos && decoded != (utf8 ? name_text(text) : std::string(text)))
        std::abort();

    // Decoding only ever shrinks Q and B text.
    if (decode_q(text).size() > text.size()) std::abort();
    if (decode_b(text).size() > text.size()) std::abort();

    if (utf8) {
        const std::string single = name_text(text);
        if (single.size() > text.size()) std::abort();
        if (convert_charset(text, "utf-8") != single) std::abort();
    } else if (convert_charset(text, "utf-8") != text) {
        std::abort();
    }
    (void)convert_charset(text, "iso-2022-jp");
    (void)convert_charset(text, "gb18030");
    return 0;
}
