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
    bool whole_tree = false;       // /s: the sub-directories too
    bool has_min_date = false;
    CalendarDate min_date;
    bool has_max_date = false;
    CalendarDate max_date;
    MessageIdFilter message_id_filter = MessageIdFilter::NONE;
    std::string message_id;        // lower-cased, without a trailing "!"
    bool syntax_error = false;
    std::string syntax_error_text;  // the first fault, named on POSIX: "Unbekannter Parameter '-x'."
};
extern Options options;

// args[0] is the program; args[1], args[2] the positional paths; switches from args[3] on.
// POSIX also takes "-" switches anywhere, "--" ending them, and --help, -h, --version alone
// (printed, exit 0). Returns the two paths; fewer set syntax_error. Ends the process on a
// bad date or Message-ID.
std::vector<std::string> parse_options(const std::vector<std::string>& args);
[[noreturn]] void show_usage();
std::string usage_text();  // this build's: Windows keeps its text as it always was
std::string windows_usage_text();
std::string posix_usage_text();
