#include "mailbox/writer.h"

#include <cstring>
#include <memory>

#include "app/messages.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "mailbox/reader.h"
#include "mailbox/splitter.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/progress.h"

namespace {

// One buffer for the message being written: a typical message reaches the disk
// in a single write call.
constexpr std::size_t OUTPUT_SIZE = 256 * 1024;

struct Output {
    std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(OUTPUT_SIZE);
    std::size_t used = 0;
    std::uint64_t written = 0;  // what the writes of this file confirmed: its position, without asking
};
Output output;

// The line written last is already in the buffer unless it could still be dropped: only
// "", "." and ".\n" are left out when they end a message, so only they wait here.
struct HeldLine {
    bool present = false;
    bool waiting = false;      // one of the droppable lines, not yet in the buffer
    bool terminated = false;   // ends in LF
    std::uint64_t size = 0;    // with Ctrl-Z spelt out, LF counted once
    char text[2] = {};         // a waiting line, at most ".\n"
    std::size_t length = 0;
};
HeldLine held;

void flush_output(std::FILE* out) {
    if (output.used > 0) output.written += std::fwrite(output.bytes.get(), 1, output.used, out);
    output.used = 0;
}

void put(std::FILE* out, const char* data, std::size_t size) {
    if (output.used + size > OUTPUT_SIZE) {
        flush_output(out);
        if (size > OUTPUT_SIZE) {
            output.written += std::fwrite(data, 1, size, out);
            return;
        }
    }
    std::memcpy(output.bytes.get() + output.used, data, size);
    output.used += size;
}

// Ctrl-Z ended files for old readers, so it is written out as a visible mark.
// Returns the bytes added by the marks.
std::uint64_t put_without_ctrl_z(std::FILE* out, std::string_view text) {
    std::uint64_t added = 0;
    while (const void* hit = std::memchr(text.data(), 0x1A, text.size())) {
        std::size_t length = static_cast<const char*>(hit) - text.data();
        put(out, text.data(), length);
        put(out, "<EOF>", 5);
        added += 4;
        text.remove_prefix(length + 1);
    }
    put(out, text.data(), text.size());
    return added;
}

void put_line_after_flush(std::FILE* out, const char* line, std::size_t length);

// One line of `length` bytes, its LF included, goes out with CR before the LF. Small
// enough to be inlined into the loops that run once per line.
inline void put_line(std::FILE* out, const char* line, std::size_t length) {
    if (OUTPUT_SIZE - output.used < length + 1) return put_line_after_flush(out, line, length);
    char* to = output.bytes.get() + output.used;
    std::memcpy(to, line, length - 1);
    to[length - 1] = '\r';
    to[length] = '\n';
    output.used += length + 1;
}

void put_line_after_flush(std::FILE* out, const char* line, std::size_t length) {
    flush_output(out);
    if (OUTPUT_SIZE < length + 1) {
        put(out, line, length - 1);
        put(out, "\r\n", 2);
    } else {
        put_line(out, line, length);
    }
}

// Every LF goes out as CR LF, whatever the mailbox used. Returns the size of the text
// with its Ctrl-Z marks, LF counted once.
std::uint64_t put_text(std::FILE* out, std::string_view text) {
    std::uint64_t size = text.size();
    if (text.empty()) return 0;
    if (!std::memchr(text.data(), 0x1A, text.size())) {
        const char* start = text.data();
        const char* const stop = start + text.size();
        while (const void* lf = std::memchr(start, '\n', stop - start)) {
            std::size_t length = static_cast<const char*>(lf) - start + 1;
            put_line(out, start, length);
            start += length;
        }
        put(out, start, stop - start);
        return size;
    }
    while (!text.empty()) {
        const void* hit = std::memchr(text.data(), '\n', text.size());
        if (!hit) {
            size += put_without_ctrl_z(out, text);
            break;
        }
        std::size_t length = static_cast<const char*>(hit) - text.data();
        size += put_without_ctrl_z(out, text.substr(0, length));
        put(out, "\r\n", 2);
        text.remove_prefix(length + 1);
    }
    return size;
}

void hold(std::FILE* out, std::string_view line) {
    held.present = true;
    held.terminated = !line.empty() && line.back() == '\n';
    held.waiting = line.empty() || line == "." || line == ".\n";
    if (held.waiting) {
        held.length = line.size();
        if (held.length > 0) std::memcpy(held.text, line.data(), held.length);
        held.size = held.length;
    } else {
        held.size = put_text(out, line);
    }
}

// The ordinary body lines ahead in the reader's buffer, in one pass: what write_line and
// check_separator would do line by line, for lines without CR or Ctrl-Z that can be neither
// a separator nor the droppable lone dot. Each goes out with CR before its LF. Returns false
// when the next line needs the line-by-line path; one window message is pumped per pass.
bool write_plain_lines(std::FILE* out, std::uint64_t& expected) {
    std::string_view text = plain_text_ahead(0x1A);
    const char* start = text.data();
    const char* const stop = start + text.size();
    const char* const first = start;
    std::size_t length = 0;
    while (start < stop) {
        const void* lf = std::memchr(start, '\n', stop - start);
        if (!lf) break;
        length = static_cast<const char*>(lf) - start + 1;
        if (may_be_separator(start, length) || (length == 2 && start[0] == '.')) break;

        if (held.present) {
            if (held.waiting) put_text(out, std::string_view(held.text, held.length));
            expected += held.size + 1;
        }
        held = {true, false, true, length, {}, 0};
        put_line(out, start, length);
        start += length;
    }
    if (start == first) return false;
    skip_text(start - first, held.size);
    pump_one_message();
    return true;
}

[[noreturn]] void abort_disk_full(const std::string& directory) {
    abort_with_message(format_text(MSG_DISK_FULL, volume_label(directory)) + ABORT_SUFFIX, 3);
}

// The output file is gone: the message must not survive half written.
void discard_file(std::FILE* out, const std::string& path) {
    output.used = 0;
    std::fclose(out);
    delete_file(path);
    reset_held_line();
}

SplitResult creation_failed(const std::string& path, const std::string& directory, const std::string& name) {
    if (path_kind(path) == PathKind::MISSING) {
        if (disk_free(directory).available == 0) {
            ++run_state.error_count;
            abort_disk_full(directory);
        }
        std::string file_system = upper_case(volume_info(directory).file_system_name);
        if ((file_system == "FAT" || file_system == "FAT32") && directory.size() > 3 &&
            fat_entries_needed(directory, name) > 0x10000)
            return SplitResult::DIRECTORY_FULL;
    }
    ++run_state.error_count;
    if (!ask_continue(format_text(MSG_CREATE_FILE, path))) return SplitResult::STOP_AFTER_CREATE_ERROR;
    return skip_message();
}

// The block goes out as one piece. An empty block, left by a separator right after a
// separator, adds nothing, not even a line end.
std::uint64_t write_header(std::FILE* out, const HeaderBlock& header) {
    if (header.text.empty()) return 0;
    return write_line(out, header.text) + header.line_count - 1;
}

}  // namespace

void reset_held_line() {
    held = HeldLine{};
    output.used = 0;  // nothing of an abandoned file may reach the next one
}

std::uint64_t write_line(std::FILE* out, std::string_view line, bool end) {
    if (!held.present) {
        if (end) flush_output(out);
        else hold(out, line);
        return 0;
    }
    if (!end) {
        if (held.waiting) put_text(out, std::string_view(held.text, held.length));
        std::uint64_t expected = held.size + 1;
        hold(out, line);
        return expected;
    }
    held.present = false;
    std::uint64_t expected = 0;
    if (!held.waiting) {
        expected = held.size + 1;
        if (!held.terminated) {
            put(out, "\r\n", 2);
            ++expected;
        }
    }
    flush_output(out);
    return expected;
}

SplitResult write_message(const MessageInfo& info, const std::string& directory) {
    std::string name = info.file_name + settings.file_extension;
    std::string path = directory + name;
    std::FILE* out = open_file(path, "wb");
    if (!out) return creation_failed(path, directory, name);
    std::setvbuf(out, nullptr, _IONBF, 0);  // our own buffer does the collecting
    output.written = 0;

    const HeaderBlock& header = splitter.current_header;
    std::uint64_t expected = write_header(out, header);
    SplitResult result = SplitResult::END_OF_FILE;
    std::string_view line;
    for (;;) {
        if (write_plain_lines(out, expected)) {
            if (!run_state.running) {
                discard_file(out, path);
                return SplitResult::CANCELLED;
            }
            continue;
        }
        if (!read_line(line)) break;
        BoundaryDecision decision = check_separator(line);
        if (!run_state.running) {
            discard_file(out, path);
            return SplitResult::CANCELLED;
        }
        if (decision == BoundaryDecision::BOUNDARY) {
            result = SplitResult::MESSAGE_DONE;
            break;
        }
        if (decision == BoundaryDecision::NOT_A_BOUNDARY) {
            // The separator and the header after it stay in this message.
            expected += write_line(out, splitter.separator_line);
            expected += write_header(out, header);
        } else {
            expected += write_line(out, line);
        }
    }
    bool read_failed = mailbox_read_error();
    if (read_failed && result == SplitResult::END_OF_FILE) {
        discard_file(out, path);
        return SplitResult::OPEN_FAILED;
    }
    expected += write_line(out, {}, true);

    // Nothing is buffered in stdio, so the count of written bytes is the file position.
    std::int64_t missing = static_cast<std::int64_t>(expected - output.written);
    bool failed = std::ferror(out) != 0;
    // Stamped through the open file, before closing it: one open per message file.
    bool time_failed = missing == 0 && !failed && set_modified_time(out, info.date) == -1;
    if (std::fclose(out) != 0) failed = true;
    // An error the position cannot show must not pass as success.
    if (failed && missing == 0) missing = 1;

    if (missing == 0) {
        if (time_failed) {
            ++run_state.error_count;
            if (!ask_continue(format_text(MSG_WRITE_FILE, path))) return SplitResult::STOP_AFTER_WRITE_ERROR;
        }
    } else {
        ++run_state.error_count;
        if (missing <= disk_free(directory).available) {
            if (!ask_continue(format_text(MSG_WRITE_FILE, path))) return SplitResult::STOP_AFTER_WRITE_ERROR;
        } else {
            delete_file(path);
            abort_disk_full(directory);
        }
    }
    if (selection.stop_after_match) return SplitResult::STOP_AFTER_MATCH;
    // The file is whole, but what follows it in the mailbox could not be read.
    if (read_failed) return SplitResult::OPEN_FAILED;
    return result;
}

std::uint64_t fat_entries_needed(const std::string& directory, const std::string& file_name) {
    std::uint64_t used = count_dir_slots(directory + "*.*");
    if (options.numbering) {
        char number[16];
        std::snprintf(number, sizeof number, "%08d", selection.message_counter - 1);
        used += count_dir_slots(directory + number + settings.file_extension);
    } else {
        used += (file_name.size() + 12) / 13 + 1;
    }
    return used;
}
