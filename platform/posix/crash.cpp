// Unexpected failures on POSIX. A fatal signal may arrive anywhere, even inside malloc, so
// its handler only uses open/write/close/_exit and texts prepared in advance; the routine
// (which allocates and may show things) runs only for failures we raise in normal code.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>

#include "platform/crash.h"
#include "platform/text.h"

namespace {

constexpr int FAILURE_EXIT_CODE = 3;
constexpr std::size_t LONGEST_REPORT_PATH = 4096;

struct CrashSetup {
    char report_path[LONGEST_REPORT_PATH] = {0};  // UTF-8
    CrashRoutine routine = nullptr;
};
CrashSetup setup;

// What the signal handler writes instead of running the routine; swapped in whole.
struct PreparedTexts {
    std::string block;    // UTF-8, for the report
    std::string message;  // UTF-8, with its line end, for stderr and the log
    int log_fd = -1;
    long utc_offset = 0;  // seconds east of UTC when the texts were set
};
std::atomic<const PreparedTexts*> prepared{nullptr};
std::unique_ptr<PreparedTexts> prepared_now, prepared_before;

alignas(16) char signal_stack[64 * 1024];

void write_all(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

void write_text(int fd, const char* text) { write_all(fd, text, std::strlen(text)); }

// The temporary directory is shared: never follow a planted link, never block on a planted
// FIFO, and never write into a file that another user owns.
int open_report() {
    if (setup.report_path[0] == '\0') return -1;
    int fd = open(setup.report_path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        return -1;
    }
    return fd;
}

// Number formatting without stdio, for use inside the signal handler.
char* put_unsigned(char* out, unsigned long long value, unsigned base, int width) {
    char digits[32];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    while (count < width) digits[count++] = '0';
    while (count > 0) *out++ = digits[--count];
    return out;
}

char* put_text(char* out, const char* text) {
    while (*text) *out++ = *text++;
    return out;
}

const char* signal_name(int signal_number) {
    switch (signal_number) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "?";
    }
}

// "Signal 11 (SIGSEGV), address 0x..., instruction 0x..."
void write_signal_report(int fd, const siginfo_t* info, const void* context) {
    char line[160];
    char* out = put_text(line, "Signal ");
    out = put_unsigned(out, static_cast<unsigned>(info->si_signo), 10, 1);
    out = put_text(out, " (");
    out = put_text(out, signal_name(info->si_signo));
    out = put_text(out, "), address 0x");
    out = put_unsigned(out, reinterpret_cast<std::uintptr_t>(info->si_addr), 16, 16);
#if defined(__linux__) && defined(__x86_64__)
    auto registers = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    out = put_text(out, ", instruction 0x");
    out = put_unsigned(out, static_cast<unsigned long long>(registers[REG_RIP]), 16, 16);
#else
    (void)context;
#endif
    out = put_text(out, "\n");
    write_all(fd, line, static_cast<std::size_t>(out - line));
}

constexpr const char* WEEKDAYS[] = {"Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"};

// "Montag 2007-03-05, 14:02:09" from seconds since 1970 in local time, by the civil
// calendar alone (localtime is not safe in a signal handler).
char* put_timestamp(char* out, long long local_seconds) {
    long long days = local_seconds / 86400, seconds = local_seconds % 86400;
    if (seconds < 0) seconds += 86400, --days;
    out = put_text(out, WEEKDAYS[((days + 3) % 7 + 7) % 7]);  // 1 January 1970 was a Thursday
    long long shifted = days + 719468;  // days since 1 March of year 0
    long long era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    long long day_of_era = shifted - era * 146097;
    long long year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    long long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    long long month_index = (5 * day_of_year + 2) / 153;
    long long day = day_of_year - (153 * month_index + 2) / 5 + 1;
    long long month = month_index < 10 ? month_index + 3 : month_index - 9;
    long long year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    out = put_text(out, " ");
    out = put_unsigned(out, static_cast<unsigned long long>(year), 10, 4);
    out = put_text(out, "-");
    out = put_unsigned(out, static_cast<unsigned long long>(month), 10, 2);
    out = put_text(out, "-");
    out = put_unsigned(out, static_cast<unsigned long long>(day), 10, 2);
    out = put_text(out, ", ");
    out = put_unsigned(out, static_cast<unsigned long long>(seconds / 3600), 10, 2);
    out = put_text(out, ":");
    out = put_unsigned(out, static_cast<unsigned long long>(seconds / 60 % 60), 10, 2);
    out = put_text(out, ":");
    return put_unsigned(out, static_cast<unsigned long long>(seconds % 60), 10, 2);
}

void write_log_end(const PreparedTexts& texts) {
    write_all(texts.log_fd, texts.message.data(), texts.message.size());
    char end[160];
    char* out = put_text(end, "Ende: ");
    out = put_timestamp(out, static_cast<long long>(time(nullptr)) + texts.utc_offset);
    out = put_text(out, "\n");
    for (int i = 0; i < 60; ++i) *out++ = '-';
    out = put_text(out, "\n");
    write_all(texts.log_fd, end, static_cast<std::size_t>(out - end));
}

void on_fatal_signal(int, siginfo_t* info, void* context) {
    int saved_errno = errno;
    const PreparedTexts* texts = prepared.load();
    int report = open_report();
    if (report >= 0) {
        write_signal_report(report, info, context);
        if (texts) write_all(report, texts->block.data(), texts->block.size());
        close(report);
    }
    if (texts) {
        write_all(STDERR_FILENO, texts->message.data(), texts->message.size());
        if (texts->log_fd >= 0) write_log_end(*texts);
    }
    errno = saved_errno;
    _exit(FAILURE_EXIT_CODE);
}

[[noreturn]] void report_and_end(const char* what) {
    int report = open_report();
    if (report >= 0) {
        write_text(report, "Unexpected failure: ");
        write_text(report, what);
        write_text(report, "\n");
        close(report);
    }
    if (setup.routine) setup.routine(0);
    _exit(FAILURE_EXIT_CODE);  // the routine should not come back; if it does, still end as a failure
}

[[noreturn]] void on_terminate() { report_and_end("std::terminate"); }

}  // namespace

void install_crash_handler(const std::string& report_path, CrashRoutine routine) {
    std::string disk_path = external_text(report_path);
    if (disk_path.size() < sizeof setup.report_path) {
        std::memcpy(setup.report_path, disk_path.c_str(), disk_path.size() + 1);
    } else {
        setup.report_path[0] = '\0';  // too long to be a path: no report, the routine still runs
    }
    setup.routine = routine;

    stack_t stack{};
    stack.ss_sp = signal_stack;
    stack.ss_size = sizeof signal_stack;
    sigaltstack(&stack, nullptr);  // a stack overflow needs somewhere else to run the handler
    struct sigaction action {};
    action.sa_sigaction = on_fatal_signal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(signal_number, &action, nullptr);
    std::set_terminate(on_terminate);
}

void set_crash_texts(const CrashTexts& texts) {
    auto next = std::make_unique<PreparedTexts>();
    next->block = shown_text(texts.block);
    next->message = shown_text(texts.message) + "\n";
    if (texts.log) {
        std::fflush(texts.log);  // what the log holds so far goes before our lines
        next->log_fd = fileno(texts.log);
    }
    std::time_t now = std::time(nullptr);
    std::tm local;
    if (localtime_r(&now, &local)) next->utc_offset = local.tm_gmtoff;
    // Publish the new texts before the old ones go, so a handler never sees freed memory.
    prepared.store(next.get());
    prepared_before = std::move(prepared_now);
    prepared_now = std::move(next);
    prepared_before.reset();
}

std::FILE* open_crash_report() {
    int fd = open_report();
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "a");
    if (file == nullptr) close(fd);
    return file;
}

void raise_unexpected_failure(const char* what) { report_and_end(what); }
