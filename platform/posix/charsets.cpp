// Charsets converted by iconv. Opening a converter costs more than most subjects, so each
// thread keeps the ones it opened.
#include <iconv.h>

#include <cerrno>
#include <map>
#include <memory>

#include "platform/charsets.h"

namespace {

struct Converters {
    std::map<std::string_view, iconv_t> open;
    ~Converters() {
        for (auto& [name, converter] : open)
            if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
    }
};

iconv_t converter_for(std::string_view name) {
    thread_local Converters converters;
    auto [at, added] = converters.open.try_emplace(name, reinterpret_cast<iconv_t>(-1));
    if (added) at->second = iconv_open("UTF-8", std::string(name).c_str());
    return at->second;
}

}  // namespace

std::optional<std::string> system_to_utf8(std::string_view bytes, const Charset& known) {
    iconv_t converter = converter_for(known.converter);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // a state left by an earlier failure
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    char* to = out.data();
    std::size_t out_left = out.size();
    // the final call ends a shifting charset (ISO-2022-JP) in its initial state
    if (iconv(converter, &in, &in_left, &to, &out_left) == static_cast<std::size_t>(-1) ||
        iconv(converter, nullptr, nullptr, &to, &out_left) == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - out_left);
    return out;
}
