// parcelo.ini as editors save it: UTF-8, with or without a byte order mark (the default of
// today's Notepad), or the ANSI code page of older ones.
#include "app/settings_encoding.h"

#include "platform/text.h"
#include "platform/utf8.h"

namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// ANSI text is practically never valid UTF-8 by chance: "Ã¤" is no word anyone writes.
bool reads_as_utf8(std::string_view text) {
    bool above_127 = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = next_character(text, at).length;
        if (length == 0) return false;
        above_127 = above_127 || length > 1;
        at += length;
    }
    return above_127;
}

}  // namespace

std::string settings_text(std::string_view bytes) {
    if (bytes.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK)
        return ansi_text(bytes.substr(BYTE_ORDER_MARK.size()));
    if (reads_as_utf8(bytes)) return ansi_text(bytes);
    return std::string(bytes);
}
