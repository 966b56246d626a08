#pragma once
// A second, deliberately plain account of where every mailbox line must end up: which
// message file receives it, or why it is dropped. It shares no code with the splitter, so
// the property tests and the fuzzers can hold the real thing against it.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace model {

enum class Policy { PLAIN, LENIENT, STRICT };
enum class Outcome { DONE, EMPTY, UNKNOWN_FORMAT };

// Lines as the reader hands them out: CR LF, a lone CR and a lone LF each end a line and
// become one LF; only the last line of a file may lack it.
inline std::vector<std::string> lines_of(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t stop = bytes.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            lines.emplace_back(bytes.substr(start));
            break;
        }
        lines.push_back(std::string(bytes.substr(start, stop - start)) + "\n");
        start = stop + (bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

inline bool mbox_separator(std::string_view line) {
    if (line.size() <= 5 || line.substr(0, 5) != "From " || line.back() != '\n') return false;
    std::size_t k = 5;
    while (line[k] == ' ' || line[k] == '\t') ++k;
    return line[k] != ':';
}

inline const std::string& fox_separator_line() {
    static const std::string line = "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S\n";
    return line;
}

// The 1-based colon of a header field line, 0 for any other line.
inline std::size_t colon_of(std::string_view line) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return 0;
    std::size_t k = 0;
    while (k < colon && static_cast<unsigned char>(line[k]) >= 33) {
        if (static_cast<unsigned char>(line[k]) > 126) return 0;
        ++k;
    }
    if (k == 0) return 0;
    for (; k < colon; ++k)
        if (line[k] != ' ' && line[k] != '\t') return 0;
    return colon + 1;
}

// A stretch of lines [first, end) that the writer takes in one piece.
struct Item {
    std::size_t first = 0, end = 0;
};

struct Message {
    std::vector<Item> items;
};

struct Split {
    Outcome outcome = Outcome::DONE;
    std::vector<std::string> lines;
    std::vector<Message> messages;
    // For every line: the 1-based message it lands in, or 0 when it is dropped.
    std::vector<std::size_t> home;
    // The bytes each message file must hold.
    std::vector<std::string> files;
};

struct Header {
    Item item;
    bool valid = false;
};

// The block after a separator: its first line whatever it is, then up to and including
// the first empty line. A separator line is never part of it when the block cannot become
// valid (in the binary layout, or when its first line is no field line); the block ends
// before it and the separator is looked at on its own.
inline Header read_header(const std::vector<std::string>& lines, std::size_t at, bool mbox) {
    Header header;
    header.item = {at, at};
    auto separator = [&](const std::string& line) {
        return mbox ? mbox_separator(line) : line == fox_separator_line();
    };
    if (at == lines.size() || separator(lines[at])) return header;
    std::size_t first_colon = colon_of(lines[at]);
    bool separator_ends = !mbox || first_colon == 0;
    std::size_t k = at + 1;
    while (k < lines.size()) {
        if (separator_ends && separator(lines[k])) break;
        if (lines[k++] == "\n") break;
    }
    header.item.end = k;
    header.valid = first_colon > 1;
    return header;
}

inline std::string text_of(const std::vector<std::string>& lines, Item item) {
    std::string text;
    for (std::size_t k = item.first; k < item.end; ++k) text += lines[k];
    return text;
}

inline std::string on_disk(std::string_view text) {
    std::string bytes;
    for (char c : text) {
        if (c == '\x1A') bytes += "<EOF>";
        else if (c == '\n') bytes += "\r\n";
        else bytes += c;
    }
    return bytes;
}

// What reaches the disk: Ctrl-Z spelt out, every LF as CR LF, a lone dot (or nothing) at
// the very end left out, and a line end after an unterminated last line.
inline std::string file_bytes(const std::vector<std::string>& lines, const Message& message,
                              std::vector<std::size_t>& home) {
    std::string text;
    for (std::size_t i = 0; i < message.items.size(); ++i) {
        std::string piece = text_of(lines, message.items[i]);
        bool last = i + 1 == message.items.size();
        if (last && (piece.empty() || piece == "." || piece == ".\n")) {
            for (std::size_t k = message.items[i].first; k < message.items[i].end; ++k) home[k] = 0;
            continue;
        }
        if (last && piece.back() != '\n') piece += '\n';
        text += piece;
    }
    return on_disk(text);
}

// `mbox_policy` applies to "From " mailboxes; the other layout always splits at every separator.
inline Split split(std::string_view bytes, Policy mbox_policy) {
    Split result;
    result.lines = lines_of(bytes);
    const std::vector<std::string>& lines = result.lines;
    result.home.assign(lines.size(), 0);
    if (lines.empty()) {
        result.outcome = Outcome::EMPTY;
        return result;
    }
    bool mbox = mbox_separator(lines[0]);
    if (!mbox && lines[0] != fox_separator_line()) {
        result.outcome = Outcome::UNKNOWN_FORMAT;
        return result;
    }
    Policy policy = mbox ? mbox_policy : Policy::PLAIN;
    auto is_separator = [&](const std::string& line) {
        return mbox ? mbox_separator(line) : line == fox_separator_line();
    };

    Header header = read_header(lines, 1, mbox);
    if (policy == Policy::STRICT && !header.valid) {
        result.outcome = Outcome::UNKNOWN_FORMAT;
        return result;
    }
    std::vector<Message>& messages = result.messages;
    messages.push_back({{header.item}});
    std::size_t k = header.item.end;
    while (k < lines.size()) {
        std::size_t at = k++;
        if (!is_separator(lines[at])) {
            messages.back().items.push_back({at, at + 1});
            continue;
        }
        Header next = read_header(lines, k, mbox);
        k = next.item.end;
        if (next.valid || policy == Policy::PLAIN) {
            messages.push_back({{next.item}});
        } else if (policy == Policy::STRICT) {
            messages.back().items.push_back({at, at + 1});
            messages.back().items.push_back(next.item);
        } else {
            messages.push_back({{{at, next.item.end}}});
        }
    }
    for (std::size_t m = 0; m < messages.size(); ++m)
        for (const Item& item : messages[m].items)
            for (std::size_t line = item.first; line < item.end; ++line) result.home[line] = m + 1;
    for (std::size_t m = 0; m < messages.size(); ++m)
        result.files.push_back(file_bytes(lines, messages[m], result.home));
    return result;
}

// A message file cut into its lines, each with its CR LF.
inline std::vector<std::string> lines_of_file(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t stop = bytes.find("\r\n", start);
        std::size_t end = stop == std::string_view::npos ? bytes.size() : stop + 2;
        lines.emplace_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

// Rebuilds the mailbox from its message files: walks the input lines in order and takes
// each from the file the model names, or accepts that it was dropped. Empty when every
// line was found where it belongs and every file was used up; else what went wrong.
inline std::string rebuild_mismatch(const Split& expected, const std::vector<std::string>& files) {
    if (files.size() != expected.messages.size())
        return "expected " + std::to_string(expected.messages.size()) + " files, found " + std::to_string(files.size());
    std::vector<std::vector<std::string>> file_lines;
    for (const std::string& file : files) file_lines.push_back(lines_of_file(file));
    std::vector<std::size_t> taken(files.size(), 0);
    for (std::size_t k = 0; k < expected.lines.size(); ++k) {
        std::size_t m = expected.home[k];
        if (m == 0) continue;
        std::string want = expected.lines[k];
        if (want.back() != '\n') want += '\n';
        want = on_disk(want);
        const std::vector<std::string>& got = file_lines[m - 1];
        if (taken[m - 1] >= got.size() || got[taken[m - 1]] != want)
            return "line " + std::to_string(k + 1) + " is not where it belongs in file " + std::to_string(m);
        ++taken[m - 1];
    }
    for (std::size_t m = 0; m < files.size(); ++m)
        if (taken[m] != file_lines[m].size()) return "file " + std::to_string(m + 1) + " holds lines from nowhere";
    return {};
}

}  // namespace model
