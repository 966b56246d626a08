#include "mailbox/body_path.h"

#include "platform/wide_search.h"

namespace {

// Just after the last CR or LF before `p`, or `begin` if there is none.
const char* after_last_line_end_plain(const char* begin, const char* p) {
    while (p > begin && p[-1] != '\n' && p[-1] != '\r') --p;
    return p;
}

}  // namespace

const char* after_whole_lines(const LineScan& scan, const char* begin, const char* limit) {
    const WideSearch* wide = wide_search();
    const auto after_last_line_end = wide ? wide->after_last_line_end : after_last_line_end_plain;
    if (scan.at_end && limit == scan.end) return limit;  // the unterminated last line is whole too
    const char* p = after_last_line_end(begin, limit);
    if (p == begin || p[-1] == '\n') return p;
    if (may_be_half_crlf(scan, p - 1)) return after_last_line_end(begin, p - 1);  // the line before it is done
    return p + (*p == '\n');
}
