// The charsets mail names, with the Windows code page and the iconv name of each. Latin-1
// and ASCII are read as Windows-1252, as mail programs do: their bytes then come out as
// they always did, and the 0x80-0x9F letters that senders mislabel survive.
#include <algorithm>
#include <iterator>

#include "platform/charsets.h"
#include "platform/utf8.h"

namespace {

constexpr Charset CHARSETS[] = {
    {"ansi_x3.4-1968", 1252, "CP1252"},
    {"ascii", 1252, "CP1252"},
    {"big5", 950, "CP950"},
    {"cn-big5", 950, "CP950"},
    {"cp1250", 1250, "CP1250"},
    {"cp1251", 1251, "CP1251"},
    {"cp1252", 1252, "CP1252"},
    {"cp1253", 1253, "CP1253"},
    {"cp1254", 1254, "CP1254"},
    {"cp1255", 1255, "CP1255"},
    {"cp1256", 1256, "CP1256"},
    {"cp1257", 1257, "CP1257"},
    {"cp1258", 1258, "CP1258"},
    {"cp819", 1252, "CP1252"},
    {"cp850", 850, "CP850"},
    {"cp866", 866, "CP866"},
    {"cp932", 932, "CP932"},
    {"cp936", 936, "GBK"},
    {"cp949", 949, "CP949"},
    {"csgb2312", 936, "GBK"},
    {"csiso2022jp", 50220, "ISO-2022-JP"},
    {"csisolatin1", 1252, "CP1252"},
    {"csisolatin2", 28592, "ISO-8859-2"},
    {"csksc56011987", 949, "CP949"},
    {"csshiftjis", 932, "CP932"},
    {"euc-cn", 936, "GBK"},
    {"euc-jp", 20932, "EUC-JP"},
    {"euc-kr", 949, "CP949"},
    {"gb18030", 54936, "GB18030"},
    {"gb2312", 936, "GBK"},
    {"gbk", 936, "GBK"},
    {"ibm819", 1252, "CP1252"},
    {"ibm850", 850, "CP850"},
    {"ibm866", 866, "CP866"},
    {"iso-2022-jp", 50220, "ISO-2022-JP"},
    {"iso-8859-1", 1252, "CP1252"},
    {"iso-8859-13", 28603, "ISO-8859-13"},
    {"iso-8859-15", 28605, "ISO-8859-15"},
    {"iso-8859-2", 28592, "ISO-8859-2"},
    {"iso-8859-3", 28593, "ISO-8859-3"},
    {"iso-8859-4", 28594, "ISO-8859-4"},
    {"iso-8859-5", 28595, "ISO-8859-5"},
    {"iso-8859-6", 28596, "ISO-8859-6"},
    {"iso-8859-7", 28597, "ISO-8859-7"},
    {"iso-8859-8", 28598, "ISO-8859-8"},
    {"iso-8859-8-i", 38598, "ISO-8859-8"},
    {"iso-8859-9", 28599, "ISO-8859-9"},
    {"iso_8859-1", 1252, "CP1252"},
    {"iso_8859-15", 28605, "ISO-8859-15"},
    {"iso_8859-2", 28592, "ISO-8859-2"},
    {"koi8-r", 20866, "KOI8-R"},
    {"koi8-u", 21866, "KOI8-U"},
    {"ks_c_5601-1987", 949, "CP949"},
    {"l1", 1252, "CP1252"},
    {"latin1", 1252, "CP1252"},
    {"latin2", 28592, "ISO-8859-2"},
    {"ms_kanji", 932, "CP932"},
    {"shift_jis", 932, "CP932"},
    {"sjis", 932, "CP932"},
    {"tis-620", 874, "CP874"},
    {"us-ascii", 1252, "CP1252"},
    {"utf-8", 65001, "UTF-8"},
    {"utf8", 65001, "UTF-8"},
    {"windows-1250", 1250, "CP1250"},
    {"windows-1251", 1251, "CP1251"},
    {"windows-1252", 1252, "CP1252"},
    {"windows-1253", 1253, "CP1253"},
    {"windows-1254", 1254, "CP1254"},
    {"windows-1255", 1255, "CP1255"},
    {"windows-1256", 1256, "CP1256"},
    {"windows-1257", 1257, "CP1257"},
    {"windows-1258", 1258, "CP1258"},
    {"windows-874", 874, "CP874"},
};

constexpr bool sorted_by_name() {
    for (std::size_t i = 1; i < std::size(CHARSETS); ++i)
        if (!(CHARSETS[i - 1].name < CHARSETS[i].name)) return false;
    return true;
}
static_assert(sorted_by_name(), "find_charset searches by halves");

}  // namespace

const Charset* find_charset(std::string_view name) {
    const auto found = std::lower_bound(std::begin(CHARSETS), std::end(CHARSETS), name,
                                        [](const Charset& charset, std::string_view key) { return charset.name < key; });
    return found != std::end(CHARSETS) && found->name == name ? &*found : nullptr;
}

std::optional<std::string> charset_to_utf8(std::string_view bytes, std::string_view charset) {
    const Charset* known = find_charset(charset);
    if (!known) return std::nullopt;
    if (known->converter == "UTF-8") {
        if (!valid_utf8(bytes)) return std::nullopt;
        return std::string(bytes);
    }
    return system_to_utf8(bytes, *known);
}
