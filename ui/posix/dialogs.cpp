#include "ui/dialogs.h"

#include "ui/posix/terminal.h"

void show_usage_box(const std::string& text) { write_error_text(text); }

void show_error_box(const std::string& text) { write_error_text(text); }

// Without a terminal nobody can answer: the question is shown and answers No.
bool ask_yes_no(const std::string& text) {
    end_progress_line();
    TerminalAnswer answer = ask_on_terminal(text + " (j/n) ");
    if (answer == TerminalAnswer::NO_TERMINAL) write_error_text(text);
    return answer == TerminalAnswer::YES;
}
