// From process start to the progress window: options, the two paths, the crash handler.
#include "app/entry.h"

#include "app/log.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "platform/crash.h"
#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/progress.h"

namespace {

// Windows compares paths without case, so we keep them lower-cased there; POSIX
// names differ by case and must stay as they are.
std::string path_key(const std::string& path) { return windows_paths() ? lower_case(path) : path; }

std::string with_separator(std::string path) {
    if (path.empty() || path.back() != path_separator) path += path_separator;
    return path;
}

[[noreturn]] void invalid_directory(const std::string& path) {
    abort_with_message(with_abort_suffix(format_text(MSG_INVALID_DIRECTORY, path)), 3);
}

void resolve_spec(const std::string& argument) {
    const std::string full = full_path(argument);
    if (path_kind(full) == PathKind::DIRECTORY) {
        const std::string directory = with_separator(long_path(full));
        run_state.spec_dir = path_key(directory);
        // On POSIX "*.*" would miss every name without a dot.
        run_state.spec_path = directory + (windows_paths() ? "*.*" : "*");
        return;
    }
    if (!full.empty() && full.back() == path_separator) invalid_directory(full);
    run_state.spec_path = full;
    run_state.spec_dir = path_key(with_separator(long_path(dir_part(full))));
}

void resolve_output(const std::string& argument) {
    const std::string full = full_path(argument);
    const PathKind kind = path_kind(full);
    if (kind == PathKind::WILDCARD || kind == PathKind::FILE) invalid_directory(long_path(full));
    if (kind == PathKind::MISSING && make_dirs(full) != 0) {
        const std::string reason = last_failure_reason();
        abort_with_message(with_abort_suffix(with_reason(format_text(MSG_CREATE_DIRECTORY, long_path(full)), reason)), 3);
    }
    run_state.output_dir = path_key(with_separator(long_path(full)));
    // With /s the tree's own folder as the output would mix our files into it, and a later
    // run would read them as mailboxes; an output folder further down is skipped instead.
    const std::optional<FileIdentity> output = file_identity(run_state.output_dir);
    if (options.whole_tree && output && output == file_identity(run_state.spec_dir)) invalid_directory(long_path(full));
}

}  // namespace

int app_main(const std::vector<std::string>& args) {
    reset_run_state();
    options = Options{};
    const std::string temp = temp_dir();
    set_log_path(temp.empty() ? std::string() : temp + PROGRAM_NAME + ".log");
    // Ready before the paths are resolved: a listing of an over-long path already
    // ends through the crash routine.
    run_state.crash_file_path = long_path(temp) + "ex.err";
    run_state.crash_message = format_text(MSG_CRASH, run_state.crash_file_path);
    install_crash_handler(run_state.crash_file_path, crash);
    update_crash_texts();

    const std::vector<std::string> paths = parse_options(args);
    if (options.syntax_error) show_usage();
    resolve_spec(paths[0]);
    resolve_output(paths[1]);
    settings = Settings{};

    return run_progress_window(options.start_minimised);
}

void start_run() {
    const RunOutcome outcome = run_all();
    abort_with_message(outcome.summary, outcome.exit_code);
}

void cancel_run() { run_state.running = false; }
