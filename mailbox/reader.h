#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class MailboxLayout { MBOX, FOX };
enum class SeparatorPolicy { PLAIN = 1, LENIENT = 2, STRICT = 3 };

struct HeaderBlock {
    std::string text;            // the lines, each with its LF
    int line_count = 1;
    std::size_t first_colon = 0; // field colon of the first line, 0 if none
    int seen = 0;                // 1: a "date" line, 2: a "from" line
};

// One mailbox is open at a time; the reader's state exists once.
bool open_mailbox(const std::string& path);  // false: cannot open, or locked by another process
void close_mailbox();
// The next line, line ends normalised to one LF; valid until the next call. false at the end.
bool read_line(std::string_view& line);
// For callers that take many lines at once: the bytes ahead in the buffer up to the next CR
// or `stop` byte (or its end), which read_line would hand out unchanged. Empty when the next
// line needs read_line. skip_text moves past `bytes` of them; `last_line` is the raw length
// of the last line passed.
std::string_view plain_text_ahead(char stop);
void skip_text(std::size_t bytes, std::size_t last_line);
bool mailbox_read_error();                   // the last end was a read error, not the end of file
std::uint64_t mailbox_position();            // offset of the next byte read_line hands out
std::uint64_t last_line_length();            // raw bytes of the last line, its line end included
// Tests only: reading fails once `bytes` bytes of the file have been read (UINT64_MAX: never).
void fail_reads_after(std::uint64_t bytes);

bool from_line(std::string_view line);
bool fox_line(std::string_view line);
std::optional<MailboxLayout> detect_layout(std::string_view first_line);
// Up to the first empty line; a separator line ends it early where no valid header can follow.
HeaderBlock read_header(MailboxLayout layout);
bool header_is_valid(const HeaderBlock& block);
