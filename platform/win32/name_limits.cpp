#include "platform/name_limits.h"

#include <windows.h>

#include <optional>

#include "platform/foreign.h"

namespace {

std::size_t ansi_units(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    return units > 0 ? static_cast<std::size_t>(units) : bytes.size();
}

}  // namespace

// A character beyond the first 65536 takes two units (a surrogate pair).
std::size_t name_units(std::string_view text) {
    std::size_t units = 0, plain = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = character_size(text, at);
        if (size == 1) {
            ++at;
            continue;
        }
        units += ansi_units(text.substr(plain, at - plain));
        const char32_t value = *foreign_at(text, at);
        units += value >= 0x10000 && value < RAW ? 2 : 1;
        at += size;
        plain = at;
    }
    return units + ansi_units(text.substr(plain));
}
