#include "mailbox/writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "mailbox/body_path.h"
#include "mailbox/engine.h"
#include "mailbox/queued_files.h"
#include "mailbox/splitter.h"
#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace {

// One buffer for the message being written: a typical message reaches the disk
// in a single write call, or goes to a writer thread in the buffer itself.
constexpr std::size_t OUTPUT_SIZE = WRITE_BLOCK;

struct Output {
    std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(OUTPUT_SIZE);
    std::size_t used = 0;
    std::uint64_t written = 0;  // the bytes the writes of this file confirmed
    std::string* collected = nullptr;  // not null: the file goes to a writer thread, whole
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

void emit(std::FILE* out, const char* data, std::size_t size) {
    if (output.collected) {
        output.collected->append(data, size);  // counted once it goes to the file
    } else {
        // A short write is noted at once: its reason is the one the user gets.
        std::size_t done = std::fwrite(data, 1, size, out);
        if (done < size) note_failure();
        output.written += done;
    }
}

void flush_output(std::FILE* out) {
    if (output.used > 0) emit(out, output.bytes.get(), output.used);
    output.used = 0;
}

// At a message's end the rest of the buffer goes out, unless it is the whole message for
// a writer thread: then the buffer itself goes to the thread.
void end_output(std::FILE* out) {
    if (output.collected && output.collected->empty()) return;
    flush_output(out);
}

void put(std::FILE* out, const char* data, std::size_t size) {
    if (output.used + size > OUTPUT_SIZE) {
        flush_output(out);
        if (size > OUTPUT_SIZE) {
            emit(out, data, size);
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

// The text of one line and CR LF into room known to hold them; returns where it ends.
inline char* copy_line(char* to, const char* text, std::size_t length) {
    std::memcpy(to, text, length);
    to[length] = '\r';
    to[length + 1] = '\n';
    return to + length + 2;
}

// The text of one line, then CR LF. Small enough to be inlined into the loop that runs once
// per line; a line that does not fit goes out through put.
inline void put_line(std::FILE* out, const char* text, std::size_t length) {
    if (OUTPUT_SIZE - output.used < length + 2) {
        put(out, text, length);
        put(out, "\r\n", 2);
        return;
    }
    char* const base = output.bytes.get();
    output.used = copy_line(base + output.used, text, length) - base;
}

// Every LF goes out as CR LF, whatever the mailbox used. Returns the size of the text
// with its Ctrl-Z marks, LF counted once.
std::uint64_t put_text(std::FILE* out, std::string_view text) {
    std::uint64_t size = text.size();
    bool ctrl_z = std::memchr(text.data(), 0x1A, text.size()) != nullptr;
    while (!text.empty()) {
        const void* lf = std::memchr(text.data(), '\n', text.size());
        std::size_t length = lf ? static_cast<const char*>(lf) - text.data() : text.size();
        if (!lf) {
            size += ctrl_z ? put_without_ctrl_z(out, text) : (put(out, text.data(), length), 0);
            break;
        }
        if (ctrl_z) {
            size += put_without_ctrl_z(out, text.substr(0, length));
            put(out, "\r\n", 2);
        } else {
            put_line(out, text.data(), length);
        }
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

// What write_line does with the line held when another follows it.
std::uint64_t release_held(std::FILE* out) {
    if (!held.present) return 0;
    if (held.waiting) put_text(out, std::string_view(held.text, held.length));
    return held.size + 1;
}

// The ordinary body lines ahead in the reader's buffer, in one pass: what write_line and
// check_separator would do line by line, for lines that cannot start a message, hold no
// Ctrl-Z and are not the droppable lone dot. A line ending in CR LF goes out as it stands,
// a run of them in one copy; any other line end becomes CR LF. Returns false when the next
// line needs the line path.
bool write_plain_lines(std::FILE* out, std::uint64_t& expected) {
    BodyAhead ahead = body_ahead();
    if (!ahead.scan) return false;
    LineScan scan = *ahead.scan;  // kept in registers through the loop
    const MailboxLayout layout = splitter.layout;
    // A line with Ctrl-Z does not end before this limit: the line path takes it, as it
    // takes the unterminated last line and the lines it decides on.
    const char* const limit = std::min(ahead.limit, ahead.begin + ctrl_z_ahead());
    auto plain = [layout](const LineCut& cut, const char* line) {
        return cut.raw != cut.length && !may_start_message({line, cut.length}, layout) &&
               !(cut.length == 1 && line[0] == '.');
    };
    const char* at = ahead.begin;
    LineCut cut = cut_line(scan, at, limit);
    if (!plain(cut, at)) {
        *ahead.scan = scan;
        return false;
    }
    expected += release_held(out);
    const char* run = at;   // [run, at): CR LF lines not yet copied
    std::size_t ends = 0;   // line ends that became CR LF here
    std::size_t last = 0;
    char* const base = output.bytes.get();
    char* to = base + output.used;
    do {
        if (cut.raw - cut.length != 2) {
            if (at > run || static_cast<std::size_t>(base + OUTPUT_SIZE - to) < cut.length + 2) {
                output.used = to - base;
                put(out, run, at - run);
                put_line(out, at, cut.length);
                to = base + output.used;
            } else {
                to = copy_line(to, at, cut.length);
            }
            run = at + cut.raw;
            ++ends;
        }
        last = cut.length;
        at += cut.raw;
        cut = cut_line(scan, at, limit);
    } while (plain(cut, at));
    output.used = to - base;
    *ahead.scan = scan;
    put(out, run, at - run);
    // The last line stays held, as write_line would leave it.
    expected += (at - ahead.begin) + ends - (last + 2);
    held = {true, false, true, last + 1, {}, 0};
    consume_ahead(at - ahead.begin);
    return true;
}

// A line too long for the reader's buffer goes out piece by piece.
void write_piece(std::FILE* out, const LinePiece& piece, std::uint64_t& expected) {
    if (piece.first) {
        expected += release_held(out);
        held = {true, false, false, 0, {}, 0};
    }
    held.size += put_without_ctrl_z(out, piece.text) + piece.text.size();
    if (piece.last && piece.terminated) {
        put(out, "\r\n", 2);
        held.size += 1;
        held.terminated = true;
    }
}

std::FILE* open_message_file(const std::string& path) {
    std::FILE* out = open_file(path, "wb");
    if (out) std::setvbuf(out, nullptr, _IONBF, 0);  // our own buffer does the collecting
    return out;
}

// The output file is gone: the message must not survive half written.
void discard_file(std::FILE* out, const std::string& path) {
    output.used = 0;
    output.collected = nullptr;
    if (out) {
        std::fclose(out);
        delete_file(path);
    }
    reset_held_line();
}

// Closes the file after checking that every expected byte reached it, and stamps it with the
// message's date. A file the drive had no room for is removed.
FileProblem finish_file(std::FILE* out, const std::string& path, const std::string& directory,
                        std::uint64_t expected, const DateTime& date) {
    // Nothing is buffered in stdio, so what the writes confirmed is all that reached the file.
    std::int64_t missing = static_cast<std::int64_t>(expected - output.written);
    bool failed = std::ferror(out) != 0;
    // Stamped through the open file, before closing it: one open per message file.
    bool time_failed = missing == 0 && !failed && set_modified_time(out, date) == -1;
    if (std::fclose(out) != 0) {
        note_failure();
        failed = true;
    }
    // An error the byte count cannot show must not pass as success.
    if (failed && missing == 0) missing = 1;

    if (missing == 0) return time_failed ? FileProblem::WRITE : FileProblem::NONE;
    return short_file_problem(path, directory, missing);
}

SplitResult creation_failed(const std::string& path, const std::string& directory, const std::string& name) {
    std::string reason = last_failure_reason();  // before the look at the directory
    FileResult failed{creation_problem(path, directory, name), path, directory, reason};
    if (failed.problem == FileProblem::DIRECTORY_FULL) return SplitResult::DIRECTORY_FULL;
    if (!settle_file(failed)) return SplitResult::STOP_AFTER_CREATE_ERROR;
    return skip_message();  // read past, not written
}

// A message larger than a block: once every file before it is settled, it is written here
// as it comes, as by a single writer, so memory stays flat.
std::optional<SplitResult> write_here(std::FILE*& out, std::string& collected, const std::string& path,
                                      const std::string& directory, const std::string& name) {
    output.collected = nullptr;
    std::optional<SplitResult> stopped = settle_queued_files();
    if (!stopped) {
        out = open_message_file(path);
        if (out) {
            output.written = 0;
            emit(out, collected.data(), collected.size());  // a short write notes its reason
            std::string().swap(collected);
            return std::nullopt;
        }
    }
    output.used = 0;
    reset_held_line();
    return stopped ? *stopped : creation_failed(path, directory, name);
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
        if (end) end_output(out);
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
    end_output(out);
    return expected;
}

bool on_fat_volume(const std::string& directory) {
    const std::string file_system = upper_case(volume_info(directory).file_system_name);
    return file_system == "FAT" || file_system == "FAT32";
}

// Why a file could not be created: a drive without room, a FAT directory without a free
// entry (not counted as an error; the next overflow directory takes the message), or else.
FileProblem creation_problem(const std::string& path, const std::string& directory, const std::string& name) {
    if (path_kind(path) == PathKind::MISSING) {
        if (disk_free(directory).available == 0) return FileProblem::DISK_FULL;
        if (on_fat_volume(directory) && directory.size() > 3 && fat_entries_needed(directory, name) > 0x10000)
            return FileProblem::DIRECTORY_FULL;
    }
    return FileProblem::CREATE;
}

// Bytes missing within the free space: the write failed for another reason and the file
// stays. More than is free: the drive is full, and nothing of the file stays.
FileProblem short_file_problem(const std::string& path, const std::string& directory, std::int64_t missing) {
    if (missing <= disk_free(directory).available) return FileProblem::WRITE;
    delete_file(path);
    return FileProblem::DISK_FULL;
}

bool settle_file(const FileResult& result) {
    if (result.problem == FileProblem::NONE || result.problem == FileProblem::DIRECTORY_FULL) return true;
    return engine_host.report(result);
}

SplitResult write_message(const MessageInfo& info, const std::string& directory) {
    std::string name = info.file_name + engine_settings.file_extension;
    std::string path = directory + name;
    std::string collected;  // the whole file, when a writer thread writes it
    std::FILE* out = nullptr;
    if (writing_on_threads(directory)) {
        output.collected = &collected;
    } else {
        out = open_message_file(path);
        if (!out) return creation_failed(path, directory, name);
    }
    output.written = 0;
    forget_failure();

    const HeaderBlock& header = splitter.current_header;
    std::uint64_t expected = write_header(out, header);
    SplitResult result = SplitResult::END_OF_FILE;
    std::string_view line;
    LinePiece piece;
    for (;;) {
        // More than a block: written here, once the files before it are settled. Room is
        // kept for the CR LF that may still end the message once its end is found.
        if (output.collected && (!collected.empty() || output.used > OUTPUT_SIZE - 2))
            if (std::optional<SplitResult> stopped = write_here(out, collected, path, directory, name)) return *stopped;
        bool moved = long_line_piece(splitter.layout, piece);
        if (moved) write_piece(out, piece, expected);
        else moved = write_plain_lines(out, expected);
        if (moved) {
            pump_window();
            if (!engine_host.running()) {
                discard_file(out, path);
                return SplitResult::CANCELLED;
            }
            continue;
        }
        if (read_ahead()) continue;
        if (!read_line(line)) break;
        BoundaryDecision decision = check_separator(line);
        if (!engine_host.running()) {
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

    if (output.collected) {
        output.collected = nullptr;
        WriteJob job{std::move(path), std::exchange(output.bytes, spare_block()), std::exchange(output.used, 0),
                     date_to_file_time(info.date)};
        if (std::optional<SplitResult> stopped = hand_over(std::move(job))) return *stopped;
    } else if (FileProblem problem = finish_file(out, path, directory, expected, info.date);
               // The paths are copied only for a file that failed.
               problem != FileProblem::NONE && !settle_file({problem, path, directory, last_failure_reason()})) {
        return SplitResult::STOP_AFTER_WRITE_ERROR;
    }
    if (selection.stop_after_match) return SplitResult::STOP_AFTER_MATCH;
    // The file is whole, but what follows it in the mailbox could not be read.
    if (read_failed) return SplitResult::OPEN_FAILED;
    return result;
}

std::uint64_t fat_entries_needed(const std::string& directory, const std::string& file_name) {
    std::uint64_t used = count_dir_slots(directory + "*.*");
    if (engine_settings.numbering) {
        char number[16];
        std::snprintf(number, sizeof number, "%08d", selection.message_counter - 1);
        used += count_dir_slots(directory + number + engine_settings.file_extension);
    } else {
        used += (file_name.size() + 12) / 13 + 1;
    }
    return used;
}
