#pragma once
// The terminal front end's parts shared by the display and the boxes.
#include <string>

enum class TerminalAnswer { YES, NO, NO_TERMINAL, INTERRUPTED };

// Asks on the controlling terminal (/dev/tty) and reads one line: "j", "J", "y" or "Y"
// first means Yes. A Ctrl-C while waiting gives INTERRUPTED. The question is cp1252.
TerminalAnswer ask_on_terminal(const std::string& question);

// Ends the progress line on stderr, so that a text written next starts on a line of its own.
void end_progress_line();
void write_error_text(const std::string& cp1252);  // the text and a line end on stderr
