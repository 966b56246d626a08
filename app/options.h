#pragma once
#include <string>
#include <vector>

#include "mailbox/reader.h"
#include "message/dates.h"

enum class MessageIdFilter { NONE, STOP_AFTER_FIRST, ALL_MATCHES };

struct Options {
    bool no_ask = false;           // /p
    bool start_minimised = false;  // /i
    SeparatorPolicy separator_policy = SeparatorPolicy::STRICT;  // /f: LENIENT
    bool numbering = false;        // /n
    bool use_subdirs = true;       // /d clears it
    bool has_min_date = false;
    CalendarDate min_date;
    bool has_max_date = false;
    CalendarDate max_date;
    MessageIdFilter message_id_filter = MessageIdFilter::NONE;
    std::string message_id;        // lower-cased, without a trailing "!"
    bool syntax_error = false;
};
extern Options options;

// args[0] is the program; args[1], args[2] the positional paths; switches from args[3] on.
// Missing positional paths also set syntax_error. Ends the process on a bad date or Message-ID.
void parse_options(const std::vector<std::string>& args);
[[noreturn]] void show_usage();
std::string usage_text();
