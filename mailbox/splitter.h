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
void use_wide_search(bool allowed);  // tests only: false passes skipped bodies line by line, as without AVX2
