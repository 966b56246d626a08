#include "mailbox/splitter.h"

#include "mailbox/body_path.h"
#include "mailbox/engine.h"
#include "mailbox/queued_files.h"
#include "mailbox/writer.h"
#include "platform/file_system.h"
#include "platform/wide_search.h"

SplitterState splitter;

namespace {

// The mailbox ended; a read error must not look like its normal end.
SplitResult end_of_mailbox() {
    return mailbox_read_error() ? SplitResult::OPEN_FAILED : SplitResult::END_OF_FILE;
}

void report_progress() { engine_host.progress(splitter.message_start); }

SplitResult closed(SplitResult result) {
    close_mailbox();
    return result;
}

}  // namespace

SplitResult split_mailbox(const std::string& mailbox_path, const std::string& base_path,
                          SeparatorPolicy mbox_policy) {
    engine_host.show_names(mailbox_path, splitter.target_dir);
    if (!open_mailbox(mailbox_path)) return SplitResult::OPEN_FAILED;

    std::string_view first;
    if (!read_line(first)) return closed(end_of_mailbox());
    std::optional<MailboxLayout> layout = detect_layout(first);
    if (!layout) return closed(SplitResult::UNKNOWN_FORMAT);
    splitter.layout = *layout;
    splitter.policy = *layout == MailboxLayout::MBOX ? mbox_policy : SeparatorPolicy::PLAIN;
    splitter.message_start = 0;

    splitter.current_header = read_header(splitter.layout);
    if (!engine_host.running()) return closed(SplitResult::CANCELLED);
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
        engine_host.show_names("", splitter.target_dir);
        result = process_messages(splitter.target_dir);
    }
    return closed(result);
}

SplitResult process_messages(const std::string& directory) {
    // Made only now, so a mailbox without a selected message leaves no directory; with
    // its parents, which a folder tree's mailboxes need.
    if (make_dirs_below(engine_settings.output_dir, directory) != 0) return SplitResult::DIRECTORY_ERROR;
    SplitResult result = write_message(*splitter.current_info, directory);
    while (result == SplitResult::MESSAGE_DONE) {
        report_progress();
        splitter.current_info = select_message(splitter.current_header.text);
        result = splitter.current_info ? write_message(*splitter.current_info, directory) : skip_message();
    }
    // Files still with the writer threads count before whatever ended this mailbox.
    if (std::optional<SplitResult> stopped = settle_queued_files()) return *stopped;
    return result;
}

namespace {

// Lines cut one by one; for processors without the wide search below.
const char* after_plain_lines(const BodyAhead& ahead, MailboxLayout layout) {
    LineScan scan = *ahead.scan;  // kept in registers through the loop
    const char* at = ahead.begin;
    for (;;) {
        LineCut cut = cut_line(scan, at, ahead.limit);
        if (cut.raw == 0 || may_start_message({at, cut.length}, layout)) break;
        at += cut.raw;
    }
    *ahead.scan = scan;
    return at;
}

bool wide_search_allowed = true;

// The same place as after_plain_lines, found by looking only at line starts that may begin
// a separator instead of at every line end.
const char* after_plain_lines_wide(const WideSearch& wide, const BodyAhead& ahead, MailboxLayout layout) {
    const std::string_view prefix = separator_prefix(layout);
    const char* const end = ahead.scan->end;
    const char* at = ahead.begin;
    while (at < ahead.limit) {
        at = wide.find_pair(at, ahead.limit, end, prefix[0], prefix[4]);
        if (at >= ahead.limit) break;
        if (*at == prefix[0] && end - at > 4 && at[4] == prefix[4]) {
            // A line start before the limit comes after whole lines only. The separator's
            // text holds no line end, so the bytes read tell as much as the line itself; and
            // a line that does not end before the limit is left to the line path anyway.
            bool line_start = at == ahead.begin || at[-1] == '\n' || at[-1] == '\r';
            if (line_start && may_start_message({at, static_cast<std::size_t>(end - at)}, layout)) return at;
        }
        ++at;
    }
    return after_whole_lines(wide, *ahead.scan, ahead.begin, ahead.limit);
}

// skip_message's part of the body path: past the lines ahead that cannot start a message.
// false when the next line needs the line path.
bool skip_plain_lines() {
    BodyAhead ahead = body_ahead();
    if (!ahead.scan) return false;
    const WideSearch* wide = wide_search_allowed ? wide_search() : nullptr;
    const char* at = wide ? after_plain_lines_wide(*wide, ahead, splitter.layout)
                          : after_plain_lines(ahead, splitter.layout);
    if (at == ahead.begin) return false;
    consume_ahead(at - ahead.begin);
    return true;
}

}  // namespace

void use_wide_search(bool allowed) { wide_search_allowed = allowed; }

SplitResult skip_message() {
    std::string_view line;
    LinePiece piece;
    for (;;) {
        if (long_line_piece(splitter.layout, piece) || skip_plain_lines()) {
            pump_window();
            if (!engine_host.running()) return SplitResult::CANCELLED;
            continue;
        }
        if (read_ahead()) continue;
        if (!read_line(line)) break;
        BoundaryDecision decision = check_separator(line);
        if (!engine_host.running()) return SplitResult::CANCELLED;
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
