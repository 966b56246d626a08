// The run: settings, the matching mailbox files, one split per file, the summary.
#include "app/run.h"

#include "app/engine_host.h"
#include "app/log.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/settings.h"
#include "mailbox/splitter.h"
#include "mailbox/writer.h"
#include "message/file_names.h"
#include "message/header_fields.h"
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
    const std::string& output_dir = run_state.output_dir;
    const std::string output_base = output_dir.substr(0, output_dir.size() - 1);
    if (!options.use_subdirs) {
        // Set once, so numbering, overflow directories and names go on across mailboxes.
        splitter.target_dir = output_dir;
        selection.message_counter = 0;
        splitter.overflow_counter = 1;
        if (!options.numbering) clear_registry();
    }

    bool cancelled = false;
    for (const MailboxFile& file : list->files) {
        if (!run_state.running) {
            cancelled = true;
            break;
        }
        const std::string mailbox_path = run_state.spec_dir + file.folder + file.name;
        if (file.listed_as == Listed::NOT_A_MAILBOX) {
            write_log_text(format_text(MSG_NOT_A_MAILBOX, mailbox_path));
            continue;
        }
        run_state.current_file_name = file.folder + file.name;
        run_state.current_file_size = file.size;
        update_crash_texts();

        std::string base_path = output_base;
        if (options.use_subdirs) {
            base_path = output_dir + file.target;
            splitter.target_dir = base_path + path_separator;
            selection.message_counter = 0;
            splitter.overflow_counter = 1;
            if (!options.numbering) clear_registry();
        }
        run_state.last_reported = 0;

        SplitResult result = SplitResult::OPEN_FAILED;  // a folder too deep to list
        if (file.listed_as == Listed::MAILBOX)
            result = mailbox_too_large(file.size) ? SplitResult::FILE_TOO_LARGE
                                                  : split_mailbox(mailbox_path, base_path, options.separator_policy);
        if (result == SplitResult::STOP_AFTER_MATCH) break;
        if (result == SplitResult::CANCELLED || result == SplitResult::STOP_AFTER_CREATE_ERROR ||
            result == SplitResult::STOP_AFTER_WRITE_ERROR) {
            cancelled = true;
            break;
        }
        advance_progress();
        if (result == SplitResult::END_OF_FILE) continue;

        ++run_state.error_count;
        if (const std::string question = question_for(result); !question.empty()) {
            std::string subject = result == SplitResult::DIRECTORY_ERROR ? splitter.target_dir : mailbox_path;
            if (file.listed_as == Listed::FOLDER_TOO_DEEP) subject += path_separator;
            if (!ask_continue(format_text(question.c_str(), subject))) {
                cancelled = true;
                break;
            }
        }
    }

    std::string summary;
    if (options.no_ask) {
        if (cancelled) summary = std::string(MSG_USER_CANCELLED) + "\n";
        summary += format_text(format_text(MSG_ERROR_COUNT, std::to_string(run_state.error_count)).c_str(), "");
    }
    return {summary, run_state.error_count > 0 || cancelled ? 2 : 0};
}
