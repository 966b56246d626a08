#include "ui/posix/terminal.h"

#include "app/entry.h"
#include "app/messages.h"
#include "platform/text.h"
#include "ui/percent.h"
#include "ui/progress.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int BAR_WIDTH = 40;
constexpr long REDRAW_INTERVAL_MS = 100;

struct TerminalDisplay {
    bool live = false;      // stderr is a terminal: one line redrawn in place
    bool one_line = false;  // /i: no names, only the percentage
    PercentCount count;
    int drawn = -1;         // the percentage on screen; -1: draw again
    bool line_open = false; // the progress line is on screen without its line end
    long last_draw_ms = 0;
};
TerminalDisplay display;

// Only a flag: everything else happens at the next pump.
volatile std::sig_atomic_t interrupted = 0;
extern "C" void on_interrupt(int) { interrupted = 1; }

long now_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

void write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void draw_progress_line(int percent) {
    std::string line = "\r";
    if (display.one_line) {
        line += minimised_title(percent);
    } else {
        int filled = percent * BAR_WIDTH / 100;
        line += "[" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, '.') + "] ";
        char number[8];
        std::snprintf(number, sizeof number, "%3d %%", percent);
        line += number;
    }
    write_all(STDERR_FILENO, shown_text(line));
    display.drawn = percent;
    display.line_open = true;
    display.last_draw_ms = now_ms();
}

// The last state may have been held back by the redraw interval; show it before leaving.
void finish_display() {
    if (!display.live) return;
    int percent = shown_percent(display.count);
    if (display.line_open && percent != display.drawn) draw_progress_line(percent);
    end_progress_line();
}

void write_name_line(const char* label, const std::string& name) {
    if (name.empty()) return;
    write_all(STDERR_FILENO, shown_text(label + name + "\n"));
}

void confirm_cancel() {
    interrupted = 0;
    end_progress_line();
    TerminalAnswer answer = ask_on_terminal(std::string(MSG_CONFIRM_CANCEL) + " (j/n) ");
    // No terminal to ask, or a second Ctrl-C: the user means it.
    if (answer != TerminalAnswer::NO) cancel_run();
}

}  // namespace

void end_progress_line() {
    if (!display.line_open) return;
    write_all(STDERR_FILENO, "\n");
    display.line_open = false;
    display.drawn = -1;
}

void write_error_text(const std::string& cp1252) {
    end_progress_line();
    write_all(STDERR_FILENO, shown_text(cp1252 + "\n"));
}

TerminalAnswer ask_on_terminal(const std::string& question) {
    int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return TerminalAnswer::NO_TERMINAL;
    // SIGINT stays blocked except inside ppoll, so a Ctrl-C that comes between our look at
    // the flag and the wait still ends the wait.
    sigset_t interrupt_only, original;
    sigemptyset(&interrupt_only);
    sigaddset(&interrupt_only, SIGINT);
    sigprocmask(SIG_BLOCK, &interrupt_only, &original);
    sigset_t unblocked = original;
    sigdelset(&unblocked, SIGINT);
    write_all(tty, shown_text(question));
    std::string reply;
    TerminalAnswer answer = TerminalAnswer::NO;
    for (;;) {
        if (interrupted) {
            interrupted = 0;
            write_all(tty, "\n");
            answer = TerminalAnswer::INTERRUPTED;
            break;
        }
        pollfd wait_for{tty, POLLIN, 0};
        if (::ppoll(&wait_for, 1, nullptr, &unblocked) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        char c = 0;
        ssize_t n = ::read(tty, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') {
            std::size_t first = reply.find_first_not_of(" \t\r");
            if (first != std::string::npos && std::string("jJyY").find(reply[first]) != std::string::npos)
                answer = TerminalAnswer::YES;
            break;
        }
        reply += c;
    }
    sigprocmask(SIG_SETMASK, &original, nullptr);
    ::close(tty);
    return answer;
}

void set_bytes_per_percent(double value) { display.count.bytes_per_percent = value; }

void show_names(const std::string& source, const std::string& target) {
    if (display.one_line) return;
    end_progress_line();
    write_name_line("VON: ", source);
    write_name_line("NACH: ", target);
    if (display.live) draw_progress_line(shown_percent(display.count));
}

void show_progress(std::uint64_t bytes) {
    display.count.bytes_done += bytes;
    int percent = shown_percent(display.count);
    if (display.live) {
        if (percent != display.drawn &&
            (percent == 100 || display.drawn < 0 || now_ms() - display.last_draw_ms >= REDRAW_INTERVAL_MS))
            draw_progress_line(percent);
    } else if (percent / 10 != display.drawn / 10 && percent >= 10) {
        // A log file gets a line per ten percent, no more.
        write_all(STDERR_FILENO, percent_text(percent) + "\n");
        display.drawn = percent;
    }
    pump_one_message();
}

// Runs once per mailbox line: a flag test and nothing else.
void pump_one_message() {
    if (interrupted) confirm_cancel();
}

int run_progress_window(bool start_minimised) {
    display.live = ::isatty(STDERR_FILENO);
    display.one_line = start_minimised;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    // Restarted reads: a Ctrl-C while a slow mailbox is read must not pass as a read error.
    // The wait for an answer still ends at once, since ppoll is never restarted.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    std::atexit(finish_display);
    start_run();
}
