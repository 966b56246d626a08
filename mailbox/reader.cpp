#include "mailbox/reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "mailbox/body_path.h"
#include "mailbox/engine.h"
#include "message/header_fields.h"
#include "platform/crash.h"
#include "platform/failure_reasons.h"
#include "platform/file_system.h"

namespace {

// Big blocks keep the number of read calls small. Only read_line makes the buffer grow, for
// a separator line or a header line longer than a block; the body path takes a block at a
// time, so a window message is pumped and a cancel seen at least once per block.
constexpr std::size_t BLOCK_SIZE = 512 * 1024;
constexpr std::size_t NOTHING = std::numeric_limits<std::size_t>::max();

// Bytes that are never zero-filled and that grow in place where the C library can
// (large blocks are remapped, not copied), so a line of hundreds of megabytes needs
// little more memory than its own size.
struct ByteBuffer {
    char* bytes = nullptr;
    std::size_t length = 0;

    char* data() { return bytes; }
    std::size_t size() const { return length; }
    char& operator[](std::size_t k) { return bytes[k]; }
    bool resize(std::size_t wanted) {
        void* moved = std::realloc(bytes, wanted);
        if (!moved) return false;
        bytes = static_cast<char*>(moved);
        length = wanted;
        return true;
    }
};

struct MailboxReader {
    std::FILE* handle = nullptr;
    ByteBuffer buffer;
    std::size_t begin = 0;  // bytes not yet handed out lie in [begin, end)
    std::size_t end = 0;
    LineScan scan;                  // over [buffer, end), renewed by every read
    ByteScan ctrl_z;
    std::size_t patched = NOTHING;  // where read_line wrote LF over a CR, for unread_line
    std::uint64_t bytes_read = 0;   // file offset of buffer[end]
    std::uint64_t last_length = 0;
    std::size_t unpumped = 0;       // bytes read since the last window message
    bool at_end = false;
    bool read_error = false;
    bool in_long_line = false;      // long_line_piece is in the middle of a line
    std::uint64_t fail_after = std::numeric_limits<std::uint64_t>::max();
    std::size_t most = std::numeric_limits<std::size_t>::max();
};
MailboxReader reader;

// After every read, since bytes may have moved: the searches start again.
void forget_scans() {
    const char* end = reader.buffer.data() + reader.end;
    reader.scan = {end, reader.at_end && !reader.read_error, {end, end}, {end, end}};
    reader.ctrl_z = {end, end};
}

char* at(std::size_t k) { return reader.buffer.data() + k; }

[[noreturn]] void out_of_memory() { raise_unexpected_failure("mailbox reader: no memory for a line"); }

bool resize_buffer(std::size_t wanted) { return wanted <= reader.most && reader.buffer.resize(wanted); }

// Moves the bytes not yet handed out to the front of the buffer.
void compact() {
    if (reader.begin == 0) return;
    std::memmove(reader.buffer.data(), reader.buffer.data() + reader.begin, reader.end - reader.begin);
    reader.end -= reader.begin;
    reader.begin = 0;
    reader.patched = NOTHING;
}

// Gives back what a very long line made the buffer grow to, once it is behind us.
void shrink() {
    if (reader.buffer.size() > BLOCK_SIZE && reader.end < BLOCK_SIZE / 2) reader.buffer.resize(BLOCK_SIZE);
}

// Room for more of a line that fills the buffer. Each growth adds at least a quarter of what
// is there, so rescanning a long line stays linear, and the buffer stays within a quarter and
// a block of the longest line.
void grow() {
    if (reader.buffer.size() - reader.end >= reader.end / 4) return;
    if (!resize_buffer(reader.end + std::max(reader.end / 4, BLOCK_SIZE))) out_of_memory();
}

// How much of `wanted` a test lets the next read have before the failure it set; 0 when
// the failure is due now.
std::size_t allowed_by_test(std::size_t wanted) {
    if (reader.bytes_read >= reader.fail_after) return 0;
    return static_cast<std::size_t>(std::min<std::uint64_t>(wanted, reader.fail_after - reader.bytes_read));
}

// Reads at most `wanted` bytes to the end of the buffer. false when no more is to be read
// now: at the end of the file, after a read error, or before a failure a test set.
bool read_block(std::size_t wanted) {
    const bool failing = reader.fail_after != std::numeric_limits<std::uint64_t>::max();
    if (failing) {
        wanted = allowed_by_test(wanted);
        if (wanted == 0) {
            forget_failure();
            reader.read_error = reader.at_end = true;
            return false;
        }
    }
    std::size_t got = std::fread(reader.buffer.data() + reader.end, 1, wanted, reader.handle);
    reader.end += got;
    reader.bytes_read += got;
    reader.unpumped += got;
    if (got < wanted) {
        reader.at_end = true;
        if (std::ferror(reader.handle)) {
            note_failure();
            reader.read_error = true;
        }
        return false;
    }
    return !failing;  // the failure comes with the next read, as it would from the disk
}

// Moves what is left to the front and reads more, a block at a time so that a long line
// read whole still lets the window work; with `for_line`, first makes room for a line that
// fills the buffer. false: nothing more came.
bool refill(bool for_line) {
    if (reader.at_end) return false;
    compact();
    shrink();
    if (for_line) grow();
    const std::size_t before = reader.end;
    for (bool more = true; more && reader.end < reader.buffer.size();) {
        more = read_block(std::min(reader.buffer.size() - reader.end, BLOCK_SIZE));
        if (reader.unpumped >= BLOCK_SIZE) pump_window();
    }
    forget_scans();
    return reader.end > before;
}

LineCut cut_at(std::size_t from, std::size_t limit) { return cut_line(reader.scan, at(from), at(limit)); }

// The line at the reading position, as far as the body path may look.
LineCut cut_ahead() {
    if (!reader.handle || reader.read_error) return {};
    return cut_at(reader.begin, reader.begin + std::min(reader.end - reader.begin, BLOCK_SIZE));
}

// read_line hands a line ending in CR out with LF written over that CR; this puts the CR
// back and hands the same line out once more with the next read_line. Valid only right after
// read_line: nothing is read in between, so the line is still where it was.
void unread_line() {
    if (reader.last_length == 0) return;
    reader.begin -= reader.last_length;
    if (reader.patched != NOTHING) reader.buffer[reader.patched] = '\r';
    reader.patched = NOTHING;
    reader.last_length = 0;
}

}  // namespace

bool open_mailbox(const std::string& path) {
    close_mailbox();
    reader.begin = reader.end = 0;
    reader.bytes_read = 0;
    reader.last_length = 0;
    reader.patched = NOTHING;
    reader.unpumped = 0;
    reader.at_end = false;
    reader.read_error = false;
    reader.in_long_line = false;
    if (reader.buffer.size() != BLOCK_SIZE && !resize_buffer(BLOCK_SIZE)) out_of_memory();
    forget_scans();

    forget_failure();
    std::FILE* file = open_file(path, "rb");
    if (!file) return false;
    if (!lock_whole_file(file)) {
        std::fclose(file);
        return false;
    }
    // We read whole blocks into our own buffer; a second buffer in stdio only costs copies.
    std::setvbuf(file, nullptr, _IONBF, 0);
    reader.handle = file;
    return true;
}

void close_mailbox() {
    if (!reader.handle) return;
    unlock_whole_file(reader.handle);
    std::fclose(reader.handle);
    reader.handle = nullptr;
    reader.begin = reader.end = 0;
    forget_scans();
    if (reader.buffer.size() > BLOCK_SIZE) reader.buffer.resize(BLOCK_SIZE);
}

bool read_line(std::string_view& line) {
    reader.last_length = 0;
    reader.patched = NOTHING;
    while (reader.handle && !reader.read_error) {
        LineCut cut = cut_at(reader.begin, reader.end);
        if (cut.raw == 0) {
            if (refill(true)) continue;
            if (reader.read_error || !reader.at_end || reader.begin == reader.end) break;
            continue;  // the end of the file is known now: the last line is unterminated
        }
        char* start = reader.buffer.data() + reader.begin;
        std::size_t length = cut.length;
        if (cut.raw > cut.length) {
            // Handed out with one LF: a CR end is overwritten (see unread_line).
            if (start[length] == '\r') {
                start[length] = '\n';
                reader.patched = reader.begin + length;
            }
            ++length;
        }
        reader.begin += cut.raw;
        reader.last_length = cut.raw;
        line = std::string_view(start, length);
        return true;
    }
    // A read error leaves nothing worth handing out: the splitter drops the mailbox.
    if (reader.read_error) {
        reader.begin = reader.end = 0;
        forget_scans();
    }
    return false;
}

bool mailbox_read_error() { return reader.read_error; }

std::uint64_t mailbox_position() { return reader.bytes_read - (reader.end - reader.begin); }

std::uint64_t last_line_length() { return reader.last_length; }

BodyAhead body_ahead() {
    if (!reader.handle || reader.read_error) return {};
    return {at(reader.begin), at(reader.begin + std::min(reader.end - reader.begin, BLOCK_SIZE)), &reader.scan};
}

std::size_t ctrl_z_ahead() {
    std::size_t ahead = std::min(reader.end - reader.begin, BLOCK_SIZE);
    return std::min<std::size_t>(find_ahead(reader.ctrl_z, 0x1A, at(reader.begin), at(reader.end)) - at(reader.begin), ahead);
}

void consume_ahead(std::size_t bytes) {
    reader.begin += bytes;
    reader.last_length = 0;
    reader.patched = NOTHING;
}

bool read_ahead() {
    if (!reader.handle || reader.read_error || reader.end - reader.begin >= BLOCK_SIZE) return false;
    if (cut_ahead().raw != 0) return false;
    bool was_at_end = reader.at_end;
    return refill(false) || reader.at_end != was_at_end;
}

bool long_line_piece(MailboxLayout layout, LinePiece& piece) {
    if (!reader.handle) return false;
    piece = LinePiece{};
    if (reader.in_long_line) {
        LineCut cut = cut_ahead();
        while (cut.raw == 0 && read_ahead()) cut = cut_ahead();
        if (cut.raw != 0) {
            piece = {{reader.buffer.data() + reader.begin, cut.length}, false, true, cut.raw > cut.length};
            reader.in_long_line = false;
            consume_ahead(cut.raw);
            return true;
        }
    } else if (cut_ahead().raw != 0 || reader.end - reader.begin < BLOCK_SIZE || reader.read_error) {
        return false;
    }
    // The buffer is full without a line end; at the end of the file the line is over.
    if (reader.end - reader.begin < BLOCK_SIZE || reader.read_error) {
        piece.last = true;
        reader.in_long_line = false;
        return true;
    }
    std::size_t length = BLOCK_SIZE;
    if (may_be_half_crlf(reader.scan, at(reader.begin + length - 1))) --length;
    piece.text = {reader.buffer.data() + reader.begin, length};
    if (!reader.in_long_line) {
        if (may_start_message(piece.text, layout)) return false;  // read_line holds it whole
        piece.first = true;
        reader.in_long_line = true;
    }
    consume_ahead(length);
    return true;
}

void pump_window() {
    reader.unpumped = 0;
    engine_host.pump();
}

void fail_reads_after(std::uint64_t bytes) { reader.fail_after = bytes; }

void limit_buffer(std::size_t bytes) { reader.most = bytes; }

bool from_line(std::string_view line) {
    if (!may_start_message(line, MailboxLayout::MBOX) || line.size() <= 5 || line.back() != '\n') return false;
    std::size_t first = line.find_first_not_of(" \t", 5);
    return line[first] != ':';
}

bool fox_line(std::string_view line) {
    return may_start_message(line, MailboxLayout::FOX) && line.size() == FOX_TEXT.size() + 1 && line.back() == '\n';
}

bool separator_line(std::string_view line, MailboxLayout layout) {
    return layout == MailboxLayout::MBOX ? from_line(line) : fox_line(line);
}

std::optional<MailboxLayout> detect_layout(std::string_view first_line) {
    if (from_line(first_line)) return MailboxLayout::MBOX;
    if (fox_line(first_line)) return MailboxLayout::FOX;
    return std::nullopt;
}

// A separator line ends the block, and is left for the next read_line, where no valid
// header can be under way: in the binary layout, or when the block did not begin with a
// field. Otherwise a body line such as "From the desk of ..." would swallow the real
// separator after it and merge two messages.
HeaderBlock read_header(MailboxLayout layout) {
    HeaderBlock block;
    std::string_view line;
    if (!read_line(line)) return block;
    if (separator_line(line, layout)) {
        unread_line();
        return block;
    }
    block.text.assign(line);
    block.first_colon = field_colon(line);
    bool separator_ends = layout == MailboxLayout::FOX || block.first_colon <= 1;

    while (read_line(line)) {
        pump_window();
        if (!engine_host.running()) {
            block.text.clear();
            return block;
        }
        if (separator_ends && separator_line(line, layout)) {
            unread_line();
            break;
        }
        block.text.append(line);
        ++block.line_count;
        if (line == "\n") break;
    }
    return block;
}

// A field line first is enough. Asking for Date and From as well merged every message
// without one (drafts, messages a mail program saved itself) into the one before, while a
// raw message quoted in a body carries both anyway.
bool header_is_valid(const HeaderBlock& block) { return block.first_colon > 1; }
