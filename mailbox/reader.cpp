#include "mailbox/reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "app/run.h"
#include "message/header_fields.h"
#include "platform/file_system.h"
#include "ui/progress.h"

namespace {

// Big blocks keep the number of read calls small; a line that nearly fills the buffer
// makes it grow, so a file without any line end is still read in one piece.
constexpr std::size_t BLOCK_SIZE = 512 * 1024;
constexpr std::size_t NOT_SCANNED = std::numeric_limits<std::size_t>::max();

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
    std::size_t begin = 0;        // bytes not yet handed out lie in [begin, end)
    std::size_t end = 0;
    std::size_t next_lf = NOT_SCANNED;  // first LF at or after begin; `end` when there is none
    std::size_t next_cr = NOT_SCANNED;
    std::size_t next_stop = NOT_SCANNED;  // of plain_text_ahead's stop byte
    char stop_byte = '\r';
    std::uint64_t bytes_read = 0;       // file offset of buffer[end]
    std::uint64_t last_length = 0;
    bool at_end = false;
    bool read_error = false;
    std::uint64_t fail_after = std::numeric_limits<std::uint64_t>::max();
};
MailboxReader reader;

void forget_scans() {
    reader.next_lf = NOT_SCANNED;
    reader.next_cr = NOT_SCANNED;
    reader.next_stop = NOT_SCANNED;
}

// A cached search: each byte is looked at about once however lines are cut,
// which matters for files that end their lines in CR only.
std::size_t find_byte(std::size_t& cached, char byte) {
    if (cached == NOT_SCANNED || cached < reader.begin) {
        const char* start = reader.buffer.data() + reader.begin;
        const void* hit = std::memchr(start, byte, reader.end - reader.begin);
        cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - reader.buffer.data())
                     : reader.end;
    }
    return cached;
}

// Moves what is left to the front and reads the next block. false: nothing more came.
bool refill() {
    if (reader.at_end) return false;
    if (reader.begin > 0) {
        std::memmove(reader.buffer.data(), reader.buffer.data() + reader.begin, reader.end - reader.begin);
        reader.end -= reader.begin;
        reader.begin = 0;
    }
    // Each read adds at least a quarter of what is there, so rescanning a long line stays
    // linear, and the buffer stays within a quarter and a block of the longest line.
    std::size_t room = reader.buffer.size() - reader.end;
    if (room < reader.end / 4 && !reader.buffer.resize(reader.end + std::max(reader.end / 4, BLOCK_SIZE))) {
        reader.read_error = true;  // no memory for the line: as if the rest could not be read
        reader.at_end = true;
        return false;
    }
    forget_scans();

    std::size_t wanted = reader.buffer.size() - reader.end;
    if (reader.fail_after != std::numeric_limits<std::uint64_t>::max()) {
        if (reader.bytes_read >= reader.fail_after) {
            reader.read_error = true;
            reader.at_end = true;
            return false;
        }
        wanted = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, reader.fail_after - reader.bytes_read));
    }
    std::size_t got = std::fread(reader.buffer.data() + reader.end, 1, wanted, reader.handle);
    reader.end += got;
    reader.bytes_read += got;
    if (got < wanted) {
        reader.at_end = true;
        if (std::ferror(reader.handle)) reader.read_error = true;
    }
    return got > 0;
}

// Hands the line just read out once more with the next read_line; the position goes back
// with it, so offsets stay exact for a line read twice.
void unread_line() {
    if (reader.last_length == 0) return;
    reader.begin -= reader.last_length;
    // A CR LF line end was cut by turning its CR into LF; a lone CR may stay LF.
    std::size_t after = reader.begin + reader.last_length;
    if (reader.last_length >= 2 && reader.buffer[after - 1] == '\n' && reader.buffer[after - 2] == '\n')
        reader.buffer[after - 2] = '\r';
    reader.last_length = 0;
    forget_scans();
}

bool is_separator(std::string_view line, MailboxLayout layout) {
    return layout == MailboxLayout::MBOX ? from_line(line) : fox_line(line);
}

// Only the first four letters count, so Date-Received and Fromage are seen too.
// No byte outside ASCII lower-cases into it, so an ASCII comparison does.
void note_date_or_from(std::string_view line, int& seen) {
    char name[4];
    for (std::size_t k = 0; k < 4; ++k) {
        char c = line[k];
        name[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    std::string_view lower(name, 4);
    if (lower == "date") seen |= 1;
    else if (lower == "from") seen |= 2;
}

}  // namespace

bool open_mailbox(const std::string& path) {
    close_mailbox();
    reader.begin = reader.end = 0;
    reader.bytes_read = 0;
    reader.last_length = 0;
    reader.at_end = false;
    reader.read_error = false;
    forget_scans();
    if (reader.buffer.size() != BLOCK_SIZE && !reader.buffer.resize(BLOCK_SIZE)) return false;

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
    // Give back what a very long line made the buffer grow to.
    if (reader.buffer.size() > BLOCK_SIZE) reader.buffer.resize(BLOCK_SIZE);
}

bool read_line(std::string_view& line) {
    if (!reader.handle || reader.read_error) {
        reader.last_length = 0;
        return false;
    }
    for (;;) {
        std::size_t lf = find_byte(reader.next_lf, '\n');
        std::size_t cr = find_byte(reader.next_cr, '\r');
        std::size_t stop = std::min(lf, cr);
        if (stop < reader.end) {
            // A CR at the end of the buffer may be the first half of CR LF.
            if (stop == cr && stop + 1 == reader.end && !reader.at_end) {
                refill();
                if (reader.read_error) break;
                continue;
            }
            char* start = reader.buffer.data() + reader.begin;
            std::size_t length = stop - reader.begin + 1;
            std::size_t raw = length;
            if (stop == cr) {
                reader.buffer[stop] = '\n';
                if (stop + 1 < reader.end && reader.buffer[stop + 1] == '\n') ++raw;
            }
            reader.begin += raw;
            reader.last_length = raw;
            line = std::string_view(start, length);
            return true;
        }
        if (!reader.at_end) {
            refill();
            if (reader.read_error) break;
            continue;
        }
        if (reader.begin == reader.end) break;
        // The unterminated last line of the file.
        line = std::string_view(reader.buffer.data() + reader.begin, reader.end - reader.begin);
        reader.last_length = reader.end - reader.begin;
        reader.begin = reader.end;
        return true;
    }
    // A read error leaves nothing worth handing out: the splitter drops the mailbox.
    reader.begin = reader.end = 0;
    forget_scans();
    reader.last_length = 0;
    return false;
}

std::string_view plain_text_ahead(char stop) {
    if (!reader.handle || reader.read_error) return {};
    if (stop != reader.stop_byte) {
        reader.stop_byte = stop;
        reader.next_stop = NOT_SCANNED;
    }
    std::size_t limit = std::min(find_byte(reader.next_cr, '\r'), find_byte(reader.next_stop, stop));
    return {reader.buffer.data() + reader.begin, limit - reader.begin};
}

void skip_text(std::size_t bytes, std::size_t last_line) {
    reader.begin += bytes;
    reader.last_length = last_line;
}

bool mailbox_read_error() { return reader.read_error; }

std::uint64_t mailbox_position() { return reader.bytes_read - (reader.end - reader.begin); }

std::uint64_t last_line_length() { return reader.last_length; }

void fail_reads_after(std::uint64_t bytes) { reader.fail_after = bytes; }

bool from_line(std::string_view line) {
    if (line.size() <= 5 || line.substr(0, 5) != "From " || line.back() != '\n') return false;
    std::size_t first = line.find_first_not_of(" \t", 5);
    return line[first] != ':';
}

bool fox_line(std::string_view line) {
    static constexpr std::string_view separator = "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S\n";
    return line == separator;
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
    if (is_separator(line, layout)) {
        unread_line();
        return block;
    }
    block.text.assign(line);
    block.first_colon = field_colon(line);
    if (block.first_colon > 4) note_date_or_from(line, block.seen);
    bool separator_ends = layout == MailboxLayout::FOX || block.first_colon <= 1;

    while (read_line(line)) {
        pump_one_message();
        if (!run_state.running) {
            block.text.clear();
            return block;
        }
        if (separator_ends && is_separator(line, layout)) {
            unread_line();
            break;
        }
        block.text.append(line);
        ++block.line_count;
        if (block.seen != 3 && field_colon(line) > 4) {
            note_date_or_from(line, block.seen);
            continue;
        }
        if (line == "\n") break;
    }
    return block;
}

bool header_is_valid(const HeaderBlock& block) { return block.first_colon > 1 && block.seen == 3; }
