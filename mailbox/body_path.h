#pragma once
// The body path: how the writer and skip_message pass a message's body without handing it
// out line by line. body_ahead() shows the bytes read and not yet handed out, at most a block;
// cut_line cuts them into lines by read_line's own rule; a line that may_start_message
// rejects (and that holds no Ctrl-Z and is not the droppable lone dot, for the writer) cannot
// end the message, so the caller takes it where it stands and moves on with consume_ahead.
// Any other line is left to read_line and check_separator. When no whole line is ahead,
// read_ahead brings more bytes; a line too long for the buffer comes in pieces from
// long_line_piece instead, since it cannot be a separator. The caller pumps a window message
// and polls for a cancel after each step, so a step is never more than a block.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "mailbox/reader.h"

// Where the next LF and CR lie is kept between calls, so that each byte is looked at about
// once however lines are cut.
struct ByteScan {
    const char* from = nullptr;  // set to the end of the bytes read before a first search
    const char* hit = nullptr;   // the first such byte at or after `from`, or that end
};
struct LineScan {
    const char* end = nullptr;   // of the bytes read
    bool at_end = false;         // they run to the end of the file
    ByteScan lf, cr;
};
struct LineCut {
    std::size_t length = 0;  // the text before the line end
    std::size_t raw = 0;     // with its line end (none for the unterminated last line of the
                             // file); 0: the line does not end before the limit
};

inline const char* find_ahead(ByteScan& scan, char byte, const char* from, const char* end) {
    if (scan.hit < from || scan.from > from) {
        const void* hit = std::memchr(from, byte, static_cast<std::size_t>(end - from));
        scan = {from, hit ? static_cast<const char*>(hit) : end};
    }
    return scan.hit;
}

// A CR as the last byte read, before the end of the file, may be the first half of CR LF:
// the line it ends is not settled until more is read.
inline bool may_be_half_crlf(const LineScan& scan, const char* cr) { return cr + 1 == scan.end && !scan.at_end; }

// Lines end at the first LF, at CR LF, or at a CR not followed by LF.
inline LineCut cut_line(LineScan& scan, const char* from, const char* limit) {
    const char* lf = find_ahead(scan.lf, '\n', from, scan.end);
    const char* cr = std::min(lf, find_ahead(scan.cr, '\r', from, scan.end));
    std::size_t length = static_cast<std::size_t>(cr - from);
    if (cr < limit) {
        if (cr == lf) return {length, length + 1};
        if (cr + 1 < scan.end) return {length, length + 1 + (cr[1] == '\n')};
        if (may_be_half_crlf(scan, cr)) return {};
        return {length, length + 1};
    }
    if (scan.at_end && limit == scan.end && from < limit) return {length, length};
    return {};
}

// Where the lines that end before `limit` have all been passed, as cut_line cuts them;
// `begin` when none does.
struct WideSearch;
const char* after_whole_lines(const WideSearch& wide, const LineScan& scan, const char* begin, const char* limit);

// The first bytes of every separator of the layout; a line that does not begin with them
// cannot start a message, however it goes on. Enough for the body path to pass a line by.
inline constexpr std::string_view FOX_TEXT = "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S";  // and LF
inline constexpr std::string_view separator_prefix(MailboxLayout layout) {
    return layout == MailboxLayout::FOX ? FOX_TEXT : std::string_view("From ");
}
inline bool may_start_message(std::string_view text, MailboxLayout layout) {
    const std::string_view prefix = separator_prefix(layout);
    return text.size() >= prefix.size() && text[0] == prefix[0] && text.starts_with(prefix);
}

//--- the reader's side
struct BodyAhead {
    const char* begin = nullptr;
    const char* limit = nullptr;  // begin + at most a block
    LineScan* scan = nullptr;     // nullptr: nothing can be taken here
};
BodyAhead body_ahead();
std::size_t ctrl_z_ahead();               // offset of the first 0x1A ahead, or the size ahead
void consume_ahead(std::size_t bytes);    // moves on; read_line's last line is gone then
// false: no more came, since the line ahead ends already, the file ended, a read failed or the buffer is full
bool read_ahead();

struct LinePiece {
    std::string_view text;    // line ends excluded
    bool first = false;
    bool last = false;
    bool terminated = false;  // with `last`: the line had a line end (not the end of the file)
};
// The next piece of a line that does not end within a full buffer; false when none is under way or starts here
bool long_line_piece(MailboxLayout layout, LinePiece& piece);
