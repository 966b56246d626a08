#include "mailbox/splitter.h"

#include <bit>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "mailbox/engine.h"
#include "mailbox/writer.h"
#include "platform/file_system.h"

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

#if defined(__x86_64__) || defined(__i386__)
// The first place in [at, stop) where a separator's first byte stands with its fifth four
// bytes on, or where fewer than 68 bytes are left before `end`. The fifth byte of "From "
// is not in base64 and seldom follows a capital F in text, so most blocks pass at once.
__attribute__((target("avx2"))) const char* next_candidate_wide(const char* at, const char* stop,
                                                                const char* end, char first, char fifth) {
    const __m256i firsts = _mm256_set1_epi8(first), fifths = _mm256_set1_epi8(fifth);
    while (at < stop && end - at >= 68) {
        __m256i h0 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), firsts),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 4)), fifths));
        __m256i h1 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32)), firsts),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 36)), fifths));
        __m256i any = _mm256_or_si256(h0, h1);
        if (_mm256_testz_si256(any, any)) {
            at += 64;
            continue;
        }
        std::uint64_t all = static_cast<std::uint32_t>(_mm256_movemask_epi8(h0)) |
                            static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(h1))) << 32;
        return at + std::countr_zero(all);
    }
    return at;
}

// Just after the last CR or LF before `p`, or `begin` if there is none.
__attribute__((target("avx2"))) const char* after_last_line_end(const char* begin, const char* p) {
    const __m256i lfs = _mm256_set1_epi8('\n'), crs = _mm256_set1_epi8('\r');
    while (p - begin >= 32) {
        __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p - 32));
        auto ends = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, lfs), _mm256_cmpeq_epi8(bytes, crs))));
        if (ends != 0) return p - std::countl_zero(ends);
        p -= 32;
    }
    while (p > begin && p[-1] != '\n' && p[-1] != '\r') --p;
    return p;
}

// Where the lines ahead that end before `limit` have all been passed, as cut_line cuts them:
// after the last line end, unless that is a CR that may be the first half of CR LF.
const char* after_whole_lines(const LineScan& scan, const char* begin, const char* limit) {
    if (scan.at_end && limit == scan.end) return limit;
    const char* p = after_last_line_end(begin, limit);
    if (p == begin) return begin;
    if (p[-1] == '\n') return p;
    if (p < scan.end) return p + (*p == '\n');
    // A CR at the end of what was read: its line is not done; the one before it is.
    return after_last_line_end(begin, p - 1);
}

bool wide_search() {
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return supported;
}

// The same place as after_plain_lines, found by looking only at line starts that may begin
// a separator instead of at every line end.
const char* after_plain_lines_wide(const BodyAhead& ahead, MailboxLayout layout) {
    const std::string_view text = layout == MailboxLayout::FOX ? FOX_TEXT : std::string_view("From ");
    const char* const end = ahead.scan->end;
    const char* at = ahead.begin;
    while (at < ahead.limit) {
        at = next_candidate_wide(at, ahead.limit, end, text[0], text[4]);
        if (at >= ahead.limit) break;
        if (*at == text[0] && end - at > 4 && at[4] == text[4]) {
            // A line start before the limit comes after whole lines only. The separator's
            // text holds no line end, so the bytes read tell as much as the line itself; and
            // a line that does not end before the limit is left to the line path anyway.
            bool line_start = at == ahead.begin || at[-1] == '\n' || at[-1] == '\r';
            if (line_start && may_start_message({at, static_cast<std::size_t>(end - at)}, layout)) return at;
        }
        ++at;
    }
    return after_whole_lines(*ahead.scan, ahead.begin, ahead.limit);
}
#endif

// skip_message's part of the body path: past the lines ahead that cannot start a message.
// false when the next line needs the line path.
bool skip_plain_lines() {
    BodyAhead ahead = body_ahead();
    if (!ahead.scan) return false;
#if defined(__x86_64__) || defined(__i386__)
    const char* at = wide_search() ? after_plain_lines_wide(ahead, splitter.layout)
                                   : after_plain_lines(ahead, splitter.layout);
#else
    const char* at = after_plain_lines(ahead, splitter.layout);
#endif
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
