// The run: settings, the matching mailbox files, one split per file, the summary.
#include "app/run.h"

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

// Windows treats "*.*" and a name without a dot as the same pattern family; on POSIX
// a dot is an ordinary character, so the pattern is left as the user gave it.
bool windows_patterns() { return path_separator == '\\'; }

// The name up to its last "."; a name without a dot stays whole, and so does one
// that starts with its only dot (".inbox"), which would otherwise name no sub-directory.
std::string base_name(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

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

std::optional<MailboxList> list_mailbox_files(const std::string& spec) {
    std::string pattern = spec;
    if (windows_patterns() && name_part(pattern).find('.') == std::string::npos) pattern += ".";
    const DirListing listing = list_dir(pattern);
    if (!listing || listing->empty()) return std::nullopt;

    MailboxList list;
    clear_registry();
    for (const DirEntry& entry : *listing) {
        if (entry.attributes.find('d') != std::string::npos) continue;
        run_state.total_bytes += entry.size;
        list.files.push_back({entry.name, entry.attributes, entry.size});
        if (!list.base_name_clash && register_name(base_name(entry.name)) > 1) list.base_name_clash = true;
    }
    clear_registry();
    return list;
}

RunOutcome run_all() {
    const std::string ini = settings_path();
    load_settings(ini);
    if (std::optional<std::string> error = check_name_budget())
        abort_with_message(settings_error_text(ini, *error), 3);

    const std::optional<MailboxList> list = list_mailbox_files(run_state.spec_path);
    if (!list) {
        const char* text = has_wildcard(run_state.spec_path) ? MSG_NO_MATCH : MSG_NOT_FOUND;
        abort_with_message(format_text(text, run_state.spec_path), 1);
    }
    set_bytes_per_percent(static_cast<double>(run_state.total_bytes) / 100.0);

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
        run_state.current_file_name = file.name;
        run_state.current_file_size = file.size;
        update_crash_texts();

        std::string base_path = output_base;
        if (options.use_subdirs) {
            base_path = output_dir + (list->base_name_clash ? file.name : base_name(file.name));
            splitter.target_dir = base_path + path_separator;
            selection.message_counter = 0;
            splitter.overflow_counter = 1;
            if (!options.numbering) clear_registry();
        }
        run_state.last_reported = 0;

        const std::string mailbox_path = run_state.spec_dir + file.name;
        const SplitResult result = mailbox_too_large(file.size)
                                       ? SplitResult::FILE_TOO_LARGE
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
            const std::string& subject =
                result == SplitResult::DIRECTORY_ERROR ? splitter.target_dir : mailbox_path;
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
