#include "mailbox/splitter.h"

#include "app/run.h"
#include "mailbox/writer.h"
#include "platform/file_system.h"
#include "ui/progress.h"

SplitterState splitter;

namespace {

// The mailbox ended; a read error must not look like its normal end.
SplitResult end_of_mailbox() {
    return mailbox_read_error() ? SplitResult::OPEN_FAILED : SplitResult::END_OF_FILE;
}

void report_progress() {
    show_progress(splitter.message_start - run_state.last_reported);
    run_state.last_reported = splitter.message_start;
}

SplitResult closed(SplitResult result) {
    close_mailbox();
    return result;
}

}  // namespace

SplitResult split_mailbox(const std::string& mailbox_path, const std::string& base_path,
                          SeparatorPolicy mbox_policy) {
    show_names(mailbox_path, splitter.target_dir);
    if (!open_mailbox(mailbox_path)) return SplitResult::OPEN_FAILED;

    std::string_view first;
    if (!read_line(first)) return closed(end_of_mailbox());
    std::optional<MailboxLayout> layout = detect_layout(first);
    if (!layout) return closed(SplitResult::UNKNOWN_FORMAT);
    splitter.layout = *layout;
    splitter.policy = *layout == MailboxLayout::MBOX ? mbox_policy : SeparatorPolicy::PLAIN;
    splitter.message_start = 0;

    splitter.current_header = read_header(splitter.layout);
    if (!run_state.running) return closed(SplitResult::CANCELLED);
    if (mailbox_read_error()) return closed(SplitResult::OPEN_FAILED);
    // The first separator line is never written, whatever the policy.
    if (splitter.policy == SeparatorPolicy::STRICT && !header_is_valid(splitter.current_header))
        return closed(SplitResult::UNKNOWN_FORMAT);

    splitter.current_info = select_message(splitter.current_header.text);
    while (!splitter.current_info) {
        SplitResult skipped = skip_message();
        if (skipped != SplitResult::MESSAGE_DONE) return closed(skipped);
        report_progress();
        splitter.current_info = select_message(splitter.current_header.text);
    }

    SplitResult result = process_messages(splitter.target_dir);
    while (result == SplitResult::DIRECTORY_FULL) {
        ++splitter.overflow_counter;
        splitter.target_dir = base_path + "_" + std::to_string(splitter.overflow_counter) + path_separator;
        show_names("", splitter.target_dir);
        result = process_messages(splitter.target_dir);
    }
    return closed(result);
}

SplitResult process_messages(const std::string& directory) {
    // Made only now, so a mailbox without a selected message leaves no directory; with
    // its parents, which a folder tree's mailboxes need.
    if (make_dirs_below(run_state.output_dir, directory) != 0) return SplitResult::DIRECTORY_ERROR;
    SplitResult result = write_message(*splitter.current_info, directory);
    while (result == SplitResult::MESSAGE_DONE) {
        report_progress();
        splitter.current_info = select_message(splitter.current_header.text);
        result = splitter.current_info ? write_message(*splitter.current_info, directory) : skip_message();
    }
    return result;
}

namespace {

// skip_message's part of the body path: past the lines ahead that cannot start a message,
// looking at line starts only. false when the next line needs the line path.
bool skip_plain_lines() {
    BodyAhead ahead = body_ahead();
    if (!ahead.scan) return false;
    LineScan scan = *ahead.scan;  // kept in registers through the loop
    const MailboxLayout layout = splitter.layout;
    const char* at = ahead.begin;
    for (;;) {
        LineCut cut = cut_line(scan, at, ahead.limit);
        if (cut.raw == 0 || may_start_message({at, cut.length}, layout)) break;
        at += cut.raw;
    }
    *ahead.scan = scan;
    if (at == ahead.begin) return false;
    consume_ahead(at - ahead.begin);
    return true;
}

}  // namespace

SplitResult skip_message() {
    std::string_view line;
    LinePiece piece;
    for (;;) {
        if (long_line_piece(splitter.layout, piece) || skip_plain_lines()) {
            pump_window();
            if (!run_state.running) return SplitResult::CANCELLED;
            continue;
        }
        if (read_ahead()) continue;
        if (!read_line(line)) break;
        BoundaryDecision decision = check_separator(line);
        if (!run_state.running) return SplitResult::CANCELLED;
        if (decision == BoundaryDecision::BOUNDARY)
            return mailbox_read_error() ? SplitResult::OPEN_FAILED : SplitResult::MESSAGE_DONE;
    }
    return end_of_mailbox();
}

BoundaryDecision check_separator(std::string_view line) {
    if (!separator_line(line, splitter.layout)) {
        pump_window();
        return BoundaryDecision::NO_SEPARATOR;
    }
    splitter.message_start = mailbox_position() - last_line_length();
    splitter.separator_line.assign(line);
    splitter.current_header = read_header(splitter.layout);
    if (header_is_valid(splitter.current_header) || splitter.policy == SeparatorPolicy::PLAIN)
        return BoundaryDecision::BOUNDARY;
    if (splitter.policy == SeparatorPolicy::STRICT) return BoundaryDecision::NOT_A_BOUNDARY;

    // Lenient: the new message keeps its separator line in front of the header.
    HeaderBlock& header = splitter.current_header;
    if (!header.text.empty()) ++header.line_count;
    header.text.insert(0, splitter.separator_line);
    return BoundaryDecision::BOUNDARY;
}
