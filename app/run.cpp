// The run: settings, the matching mailbox files, one split per file, the summary.
#include "app/run.h"

#include "app/engine_host.h"
#include "app/log.h"
#include "app/mailbox_files.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/settings.h"
#include "app/targets.h"
#include "mailbox/queued_files.h"
#include "mailbox/splitter.h"
#include "mailbox/writer.h"
#include "message/file_names.h"
#include "message/header_fields.h"
#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "ui/progress.h"

RunState run_state;

void reset_run_state() { run_state = RunState{}; }

namespace {

bool has_wildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

// Brings the bar to the end of the current file, whatever the splitter reported.
void advance_progress() {
    if (run_state.current_file_size > run_state.last_reported)
        show_progress(run_state.current_file_size - run_state.last_reported);
    run_state.last_reported = run_state.current_file_size;
}

std::string question_for(SplitResult result) {
    switch (result) {
        case SplitResult::OPEN_FAILED: return MSG_READ_ERROR;
        case SplitResult::UNKNOWN_FORMAT: return MSG_UNKNOWN_FORMAT;
        case SplitResult::DIRECTORY_ERROR: return MSG_CREATE_DIRECTORY;
        case SplitResult::FILE_TOO_LARGE: return too_large_format(settings.max_mailbox_size);
        default: return "";
    }
}

enum class Next { GO_ON, STOP, CANCEL };

// Counts the error and asks; with /p the question answers itself.
Next count_error(const std::string& text) {
    ++run_state.error_count;
    if (text.empty() || ask_continue(text)) return Next::GO_ON;
    return Next::CANCEL;
}

// Each mailbox starts afresh in its own target directory; with /d they all share one.
void start_target(const std::string& base_path) {
    splitter.target_dir = base_path + path_separator;
    selection.message_counter = 0;
    splitter.overflow_counter = 1;
    if (!options.numbering) clear_registry();
}

Next act_on(SplitResult result, const std::string& mailbox_path, const std::string& reason) {
    if (result == SplitResult::STOP_AFTER_MATCH) return Next::STOP;
    if (result == SplitResult::CANCELLED || result == SplitResult::STOP_AFTER_CREATE_ERROR ||
        result == SplitResult::STOP_AFTER_WRITE_ERROR)
        return Next::CANCEL;
    advance_progress();
    if (result == SplitResult::END_OF_FILE) return Next::GO_ON;
    const std::string question = question_for(result);
    if (question.empty()) return count_error("");
    const std::string& subject = result == SplitResult::DIRECTORY_ERROR ? splitter.target_dir : mailbox_path;
    std::string text = with_reason(format_text(question.c_str(), subject), reason);
    if (result == SplitResult::FILE_TOO_LARGE) text += "\n" + format_text(MSG_SIZE_HINT, settings_hint_path());
    return count_error(text);
}

// One entry of the listing: a mailbox is split, a folder or file the walk could not reach is
// one error, and a file that is no mailbox is only logged.
Next take(const MailboxFile& file) {
    const std::string mailbox_path = run_state.spec_dir + file.folder + file.name;
    if (file.listed_as == Listed::NOT_A_MAILBOX) {
        write_log_text(format_text(MSG_NOT_A_MAILBOX, mailbox_path));
        return Next::GO_ON;
    }
    run_state.current_file_name = file.folder + file.name;
    run_state.current_file_size = file.size;
    run_state.last_reported = 0;
    update_crash_texts();
    if (file.listed_as == Listed::UNREADABLE) {
        advance_progress();
        return count_error(format_text(MSG_READ_ERROR, mailbox_path));
    }

    const std::string& output_dir = run_state.output_dir;
    std::string base_path = output_dir.substr(0, output_dir.size() - 1);
    if (options.use_subdirs) {
        base_path = output_dir + file.target;
        // The last line of defence: whatever the names, nothing is made outside the output directory.
        if (!inside_output(base_path, output_dir)) {
            advance_progress();
            return count_error(format_text(MSG_INVALID_TARGET, base_path + path_separator));
        }
        start_target(base_path);
    }
    const SplitResult result = mailbox_too_large(file.size)
                                   ? SplitResult::FILE_TOO_LARGE
                                   : split_mailbox(mailbox_path, base_path, options.separator_policy);
    // Taken at once, while it is still the reason of this mailbox's failure.
    const bool system_refused = result == SplitResult::OPEN_FAILED || result == SplitResult::DIRECTORY_ERROR;
    return act_on(result, mailbox_path, system_refused ? last_failure_reason() : "");
}

}  // namespace

RunOutcome run_all() {
    const std::string ini = settings_path();
    load_settings(ini);
    if (std::optional<std::string> error = check_name_budget())
        abort_with_message(settings_error_text(ini, *error), 3);

    const std::optional<MailboxList> list = list_mailbox_files(run_state.spec_path, options.whole_tree);
    if (!list) {
        const char* text = has_wildcard(run_state.spec_path) ? MSG_NO_MATCH : MSG_NOT_FOUND;
        abort_with_message(format_text(text, run_state.spec_path), 1);
    }
    set_bytes_per_percent(static_cast<double>(run_state.total_bytes) / 100.0);

    set_up_engine();
    reset_held_line();
    // Set once, so numbering, overflow directories and names go on across mailboxes.
    if (!options.use_subdirs) start_target(run_state.output_dir.substr(0, run_state.output_dir.size() - 1));

    bool cancelled = false;
    for (const MailboxFile& file : list->files) {
        const Next next = run_state.running ? take(file) : Next::CANCEL;
        if (next == Next::GO_ON) continue;
        cancelled = next == Next::CANCEL;
        break;
    }
    // Joined here, not by exit's destructors, which would end them while the process ends.
    end_writer_threads();

    std::string summary;
    if (options.no_ask) {
        if (cancelled) summary = std::string(MSG_USER_CANCELLED) + "\n";
        summary += format_text(format_text(MSG_ERROR_COUNT, std::to_string(run_state.error_count)).c_str(), "");
    }
    return {summary, run_state.error_count > 0 || cancelled ? 2 : 0};
}
