#include "mailbox/body_path.h"

#include "platform/wide_search.h"

const char* after_whole_lines(const WideSearch& wide, const LineScan& scan, const char* begin, const char* limit) {
    const auto after_last_line_end = wide.after_last_line_end;
    if (scan.at_end && limit == scan.end) return limit;  // the unterminated last line is whole too
    const char* p = after_last_line_end(begin, limit);
    if (p == begin || p[-1] == '\n') return p;
    if (may_be_half_crlf(scan, p - 1)) return after_last_line_end(begin, p - 1);  // the line before it is done
    return p + (*p == '\n');
}
