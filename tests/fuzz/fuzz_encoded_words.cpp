// Subjects with encoded words, and the Q, B and UTF-8 steps on their own.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/encoded_words.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string decoded = decode_words(text);
    // Without a start mark nothing may change.
    if (text.find("=?") == std::string_view::npos && decoded != text) std::abort();

    // Decoding only ever shrinks Q and B text.
    if (decode_q(text).size() > text.size()) std::abort();
    if (decode_b(text).size() > text.size()) std::abort();

    if (std::optional<std::string> single = utf8_to_8bit(text)) {
        if (single->size() > text.size()) std::abort();
        if (convert_charset(text, "utf-8") != *single) std::abort();
    } else if (convert_charset(text, "utf-8") != text) {
        std::abort();
    }
    for (std::size_t length = 1; length <= 4 && length <= size; ++length) (void)utf8_sequence_ok(text, 1, length);
    return 0;
}
