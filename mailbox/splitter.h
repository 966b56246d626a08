#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mailbox/reader.h"
#include "mailbox/split_result.h"
#include "message/header_fields.h"

enum class BoundaryDecision { BOUNDARY = 1, NOT_A_BOUNDARY = 0, NO_SEPARATOR = -1 };

struct SplitterState {
    MailboxLayout layout = MailboxLayout::MBOX;
    SeparatorPolicy policy = SeparatorPolicy::STRICT;
    HeaderBlock current_header;
    std::optional<MessageInfo> current_info;
    std::uint64_t message_start = 0;
    int overflow_counter = 1;
    std::string target_dir;  // ends in the separator
    std::string separator_line;  // the last separator line tested; read_header moves the reader on
};
extern SplitterState splitter;

SplitResult split_mailbox(const std::string& mailbox_path, const std::string& base_path,
                          SeparatorPolicy mbox_policy);
SplitResult process_messages(const std::string& directory);
SplitResult skip_message();
BoundaryDecision check_separator(std::string_view line);

// False when a line beginning with these bytes cannot be a separator of the current layout,
// so that check_separator would only pump: the writer then copies it without a call per line.
inline bool may_be_separator(const char* line, std::size_t length) {
    if (splitter.layout == MailboxLayout::FOX) return line[0] == '\x10';
    return length > 5 && line[0] == 'F' && std::string_view(line, 5) == "From ";
}
