// What the mailbox engine reports reaches the display, the run state and the user here.
#include "app/engine_host.h"

#include "app/messages.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "mailbox/engine.h"
#include "platform/file_system.h"
#include "ui/progress.h"

namespace {

// The engine says how far into the mailbox it is; the display wants the bytes since last time.
void progress_to(std::uint64_t position) {
    show_progress(position - run_state.last_reported);
    run_state.last_reported = position;
}

bool still_running() { return run_state.running; }

bool report_file(const FileResult& failed) {
    ++run_state.error_count;
    switch (failed.problem) {
        case FileProblem::DISK_FULL:
            abort_with_message(with_abort_suffix(format_text(MSG_DISK_FULL, volume_label(failed.directory))), 3);
        case FileProblem::CREATE: return ask_continue(with_reason(format_text(MSG_CREATE_FILE, failed.path), failed.reason));
        default: return ask_continue(with_reason(format_text(MSG_WRITE_FILE, failed.path), failed.reason));
    }
}

}  // namespace

void set_up_engine() {
    engine_settings = {settings.file_extension, options.numbering, run_state.output_dir, writer_count()};
    engine_host = {show_names, progress_to, pump_one_message, still_running, report_file};
}
