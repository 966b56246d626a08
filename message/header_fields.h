#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/dates.h"

struct HeaderField {
    std::string name;   // lower-cased, trailing blanks removed; empty for non-field lines
    std::string value;  // trailing white space removed, folds kept
};
using HeaderTable = std::vector<HeaderField>;

struct MessageInfo {
    DateTime date;          // UTC
    double zone_hours = 0;
    std::string message_id;
    std::string subject;    // decoded; only when named from the subject
    std::string file_name;  // without directory and extension
};

// Selection counters: per mailbox, or per run with /d.
struct SelectionState {
    int message_counter = 0;
    bool stop_after_match = false;
};
extern SelectionState selection;

std::size_t field_colon(std::string_view line);                    // 1-based; 0: not a field line
std::size_t field_end(std::string_view text, std::size_t start);  // 1-based; 0: none
HeaderTable parse_header(std::string_view block);
std::string header_value(const HeaderTable& table, std::string_view name);
std::string message_id_of(const HeaderTable& table);
std::optional<MessageInfo> select_message(std::string_view block);  // nullopt: not selected
