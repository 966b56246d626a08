// Placeholder bodies until each unit lands; the owners delete what they replace.
#include "mailbox/reader.h"
#include "mailbox/splitter.h"
#include "mailbox/writer.h"

SplitterState splitter;
bool open_mailbox(const std::string&) { return false; }
void close_mailbox() {}
bool read_line(std::string_view&) { return false; }
bool mailbox_read_error() { return false; }
std::uint64_t mailbox_position() { return 0; }
std::uint64_t last_line_length() { return 0; }
bool from_line(std::string_view) { return false; }
bool fox_line(std::string_view) { return false; }
std::optional<MailboxLayout> detect_layout(std::string_view) { return std::nullopt; }
HeaderBlock read_header() { return {}; }
bool header_is_valid(const HeaderBlock&) { return false; }
SplitResult split_mailbox(const std::string&, const std::string&, SeparatorPolicy) { return SplitResult::END_OF_FILE; }
SplitResult process_messages(const std::string&) { return SplitResult::END_OF_FILE; }
SplitResult skip_message() { return SplitResult::END_OF_FILE; }
BoundaryDecision check_separator(std::string_view) { return BoundaryDecision::NO_SEPARATOR; }
SplitResult write_message(const MessageInfo&, const std::string&) { return SplitResult::END_OF_FILE; }
std::uint64_t write_line(std::FILE*, std::string_view, bool) { return 0; }
void reset_held_line() {}
std::uint64_t fat_entries_needed(const std::string&, const std::string&) { return 0; }
