// The two ways a problem reaches the user: a fatal report that ends the process,
// or a per-file question. With /p both become log lines and nothing is asked.
#include "app/messages.h"

#include <cstdio>
#include <cstdlib>

#include "app/log.h"
#include "app/options.h"
#include "app/run.h"
#include "platform/crash.h"
#include "platform/text.h"
#include "ui/dialogs.h"

// A path or a subject may itself hold "%", so the argument is spliced in as bytes.
std::string format_text(const char* format, const std::string& argument) {
    std::string text = format;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && (text[i + 1] == 's' || text[i + 1] == 'd')) {
            text.replace(i, 2, argument);
            break;
        }
    }
    return text;
}

std::string with_abort_suffix(const std::string& text) { return text + ABORT_SUFFIX; }

std::string with_reason(const std::string& text, const std::string& reason) {
    return reason.empty() ? text : text + "\n(" + reason + ")";
}

// The number goes in first: a path holding "%d" must not receive it.
std::string too_large_format(int gib) {
    std::string text = MSG_TOO_LARGE;
    text.replace(text.find("%d"), 2, std::to_string(gib));
    return text;
}

std::string crash_block() {
    return std::string("------------\n") + VERSION_LINE + "\n" +
           format_text(MSG_CRASH_FILE, run_state.current_file_name) + " (" +
           std::to_string(run_state.current_file_size) + " bytes).\n";
}

// The POSIX signal handler may not build strings, so it gets them ready-made.
void update_crash_texts() { set_crash_texts({crash_block(), run_state.crash_message, log_file()}); }

void abort_with_message(const std::string& text, int exit_code) {
    if (!options.no_ask) {
        if (!text.empty()) show_error_box(text);
    } else if (log_is_open()) {
        if (!text.empty()) write_log_text(text);
        close_log();
    }
    std::exit(exit_code);
}

bool ask_continue(const std::string& text) {
    if (!options.no_ask) return ask_yes_no(text + QUESTION_SUFFIX);
    if (log_is_open()) write_log_text(text);
    return true;
}

void crash(int) {
    if (std::FILE* report = open_crash_report()) {
        std::fputs(shown_text(crash_block()).c_str(), report);
        std::fclose(report);
    }
    abort_with_message(run_state.crash_message, 3);
}
