#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

enum class MailboxLayout { MBOX, FOX };
enum class SeparatorPolicy { PLAIN = 1, LENIENT = 2, STRICT = 3 };

struct HeaderBlock {
    std::string text;            // the lines, each with its LF
    int line_count = 1;
    std::size_t first_colon = 0; // field colon of the first line, 0 if none
};

// One mailbox is open at a time; the reader's state exists once.
bool open_mailbox(const std::string& path);  // false: cannot open, or locked by another process
void close_mailbox();
// The next line, line ends normalised to one LF; valid until the next call. false at the end.
// The line is held whole, however long: for separators and header blocks.
bool read_line(std::string_view& line);
bool mailbox_read_error();                   // the last end was a read error, not the end of file
std::uint64_t mailbox_position();            // offset of the next byte read_line hands out
std::uint64_t last_line_length();            // raw bytes of the last line, its line end included

// The one way lines are cut, for read_line and for the body path alike: at the first LF,
// at CR LF, or at a CR not followed by LF. Where the next LF and CR lie is kept between
// calls, so that each byte is looked at about once however lines are cut.
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

inline LineCut cut_line(LineScan& scan, const char* from, const char* limit) {
    const char* lf = find_ahead(scan.lf, '\n', from, scan.end);
    const char* cr = std::min(lf, find_ahead(scan.cr, '\r', from, scan.end));
    std::size_t length = static_cast<std::size_t>(cr - from);
    if (cr < limit) {
        if (cr == lf) return {length, length + 1};
        if (cr + 1 < scan.end) return {length, length + 1 + (cr[1] == '\n')};
        if (scan.at_end) return {length, length + 1};
        return {};  // a CR at the end of what was read may be the first half of CR LF
    }
    if (scan.at_end && limit == scan.end && from < limit) return {length, length};
    return {};
}

// The body path: the writer and skip_message take lines where they stand in the buffer,
// never more than a block at a time, and a line too long for the buffer in pieces.
struct BodyAhead {
    const char* begin = nullptr;
    const char* limit = nullptr;  // begin + at most a block
    LineScan* scan = nullptr;
};
BodyAhead body_ahead();
std::size_t ctrl_z_ahead();                 // offset of the first 0x1A ahead, or the size ahead
void consume_ahead(std::size_t bytes);      // moves on; read_line's last line is gone then
// More bytes ahead, without growing the buffer, when the line at the reading position does
// not end within them. false: none came, because that line ends there, the file ended, a
// read failed, or the bytes ahead already fill the buffer.
bool read_ahead();
// A body line that does not end within a full buffer, and so cannot be a separator or the
// lone dot, is taken in pieces as it comes instead of being held whole. Each call hands out
// the next piece and moves past it; false when no such line is under way or starts here.
struct LinePiece {
    std::string_view text;    // line ends excluded
    bool first = false;
    bool last = false;
    bool terminated = false;  // with `last`: the line had a line end (not the end of the file)
};
bool long_line_piece(MailboxLayout layout, LinePiece& piece);

// Every window message of the mailbox engine goes through here, so that the reader can
// pump one itself after each block it reads when no one else did.
void pump_window();

// Tests only: reading fails once `bytes` bytes of the file have been read (UINT64_MAX: never);
// the buffer cannot grow beyond `bytes` (SIZE_MAX: only memory limits it).
void fail_reads_after(std::uint64_t bytes);
void limit_buffer(std::size_t bytes);

// The first test of every separator: false means that a line beginning with `text` cannot
// start a message, however it goes on. Enough for the body path to pass a line by.
inline constexpr std::string_view FOX_TEXT = "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S";  // and LF
inline bool may_start_message(std::string_view text, MailboxLayout layout) {
    if (layout == MailboxLayout::FOX) return text.starts_with(FOX_TEXT);
    return text.size() >= 5 && text[0] == 'F' && text.starts_with("From ");
}
bool from_line(std::string_view line);
bool fox_line(std::string_view line);
bool separator_line(std::string_view line, MailboxLayout layout);  // from_line or fox_line
std::optional<MailboxLayout> detect_layout(std::string_view first_line);
// Up to the first empty line; a separator line ends it early where no valid header can follow.
HeaderBlock read_header(MailboxLayout layout);
bool header_is_valid(const HeaderBlock& block);
