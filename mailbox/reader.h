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
};

// One mailbox is open at a time; the reader's state exists once. The body of a message is
// passed by the body path (mailbox/body_path.h) instead.
bool open_mailbox(const std::string& path);  // false: cannot open, or locked by another process
void close_mailbox();
bool read_line(std::string_view& line);      // the next line, whole, with one LF, valid until the next call; false at the end
bool mailbox_read_error();                   // the last end was a read error, not the end of file
std::uint64_t mailbox_position();            // offset of the next byte read_line hands out
std::uint64_t last_line_length();            // raw bytes of the last line, its line end included
void pump_window();                          // every window message of the engine goes through here

//--- tests only
void fail_reads_after(std::uint64_t bytes);  // reading fails from this offset on (UINT64_MAX: never)
void limit_buffer(std::size_t bytes);        // the buffer cannot grow beyond this (SIZE_MAX: only memory limits it)

//--- separators and header blocks
bool from_line(std::string_view line);
bool fox_line(std::string_view line);
bool separator_line(std::string_view line, MailboxLayout layout);  // from_line or fox_line
std::optional<MailboxLayout> detect_layout(std::string_view first_line);
HeaderBlock read_header(MailboxLayout layout);  // to the first empty line, or a separator where none can be valid
bool header_is_valid(const HeaderBlock& block);
