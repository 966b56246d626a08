// Placeholder bodies until each unit lands; the owners delete what they replace.
#include "app/entry.h"
#include "app/log.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"

#include <cstdlib>

Options options;
Settings settings;
RunState run_state;
void reset_run_state() { run_state = RunState{}; }
void parse_options(const std::vector<std::string>&) {}
void show_usage() { std::exit(3); }
std::string usage_text() { return {}; }
void load_settings(const std::string&) {}
std::string settings_path() { return {}; }
void set_log_path(const std::string&) {}
void open_log() {}
bool log_is_open() { return false; }
std::FILE* log_file() { return nullptr; }
void write_log_text(const std::string&) {}
void write_log_raw(const std::string&) {}
void close_log() {}
std::string timestamp_text() { return {}; }
std::string format_text(const char* f, const std::string&) { return f; }
void abort_with_message(const std::string&, int code) { std::exit(code); }
bool ask_continue(const std::string&) { return true; }
void crash(int) { std::exit(3); }
std::optional<MailboxList> list_mailbox_files(const std::string&) { return std::nullopt; }
RunOutcome run_all() { return {}; }
int app_main(const std::vector<std::string>&) { return 0; }
void start_run() { std::exit(0); }
void cancel_run() { run_state.running = false; }
