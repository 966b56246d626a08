// The log of unattended runs (/p): one block per run, appended to parcelo.log.
#include "app/log.h"

#include <cstdio>

#include "app/messages.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace {

struct LogState {
    std::string path;
    std::vector<std::string> arguments;
    std::FILE* file = nullptr;
    bool closed_for_good = false;
};
LogState log_state;

constexpr const char* WEEKDAYS[] = {"Montag",  "Dienstag", "Mittwoch", "Donnerstag",
                                    "Freitag", "Samstag",  "Sonntag"};

}  // namespace

void set_log_path(const std::string& path) { log_state.path = path; }

void set_log_arguments(const std::vector<std::string>& args) { log_state.arguments = args; }

std::string format_timestamp(const std::tm& local) {
    // tm_wday counts from Sunday; our week starts on Monday.
    const int weekday = ((local.tm_wday % 7) + 6) % 7;
    char digits[40];
    std::snprintf(digits, sizeof digits, " %04d-%02d-%02d, %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return WEEKDAYS[weekday] + std::string(digits);
}

std::string timestamp_text() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    return local ? format_timestamp(*local) : format_timestamp(std::tm{});
}

std::string log_head_block(const std::vector<std::string>& args, const std::string& timestamp) {
    std::string block = std::string(VERSION_LINE) + "\nKommandozeilen-Parameter:\n";
    for (std::size_t i = 1; i < args.size(); ++i) block += "   " + args[i] + "\n";
    return block + "Beginn: " + timestamp + "\n";
}

std::string log_end_block(const std::string& timestamp) {
    return "Ende: " + timestamp + "\n" + std::string(60, '-') + "\n";
}

// Never reopened: a run has one block, and a failed open means no log at all.
void open_log() {
    if (log_state.file || log_state.closed_for_good || log_state.path.empty()) return;
    log_state.file = open_shared_append(log_state.path);
    if (!log_state.file) {
        log_state.closed_for_good = true;
        return;
    }
    write_log_raw(log_head_block(log_state.arguments, timestamp_text()));
    update_crash_texts();
}

void reset_log() {
    if (log_state.file) std::fclose(log_state.file);
    log_state.file = nullptr;
    log_state.closed_for_good = false;
}

bool log_is_open() { return log_state.file != nullptr; }

std::FILE* log_file() { return log_state.file; }

// Our texts are cp1252; the log is written in the platform's own encoding
// (Windows text mode adds the CR of each line end).
void write_log_raw(const std::string& text) {
    if (!log_state.file) return;
    const std::string shown = shown_text(text);
    std::fwrite(shown.data(), 1, shown.size(), log_state.file);
    std::fflush(log_state.file);
}

void write_log_text(const std::string& text) { write_log_raw(text + "\n"); }

void close_log() {
    if (!log_state.file) return;
    write_log_raw(log_end_block(timestamp_text()));
    std::fclose(log_state.file);
    log_state.file = nullptr;
    log_state.closed_for_good = true;
    update_crash_texts();
}
