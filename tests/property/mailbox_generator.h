#pragma once
// Random but repeatable mailboxes full of the shapes that trip splitters: "From " lines in
// bodies, headers without Date or From, folded and odd field names, lone dots, Ctrl-Z, NUL
// and 8-bit bytes, mixed line ends and a last line without one.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace generator {

// mt19937 yields the same numbers everywhere; the standard distributions do not, so we
// take remainders ourselves.
struct Random {
    explicit Random(std::uint32_t seed) : engine(seed) {}
    std::uint32_t below(std::uint32_t n) { return n == 0 ? 0 : engine() % n; }
    bool percent(std::uint32_t p) { return below(100) < p; }
    template <class T>
    const T& pick(const std::vector<T>& items) { return items[below(static_cast<std::uint32_t>(items.size()))]; }
    std::mt19937 engine;
};

enum class Layout { MBOX, FOX };

struct Shape {
    Layout layout = Layout::MBOX;
    int max_messages = 8;
    int max_body_lines = 8;
    bool hostile_subjects = false;  // subjects made of what file names cannot hold
};

inline std::string fox_separator() { return "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S"; }

inline std::string random_bytes(Random& random, std::size_t count, bool any_byte) {
    static const std::string plain = "abcdefghijklmnopqrstuvwxyz ABCXYZ 0123456789 .,;:-_=?<>\"'/\\|*";
    std::string text;
    for (std::size_t k = 0; k < count; ++k) {
        if (any_byte) {
            char c = static_cast<char>(random.below(256));
            if (c != '\r' && c != '\n') text += c;
        } else {
            text += plain[random.below(static_cast<std::uint32_t>(plain.size()))];
        }
    }
    return text;
}

inline std::string hostile_subject(Random& random) {
    static const std::vector<std::string> subjects = {
        "CON", "con", "NUL", "nul.txt", "COM1", "LPT9", "AUX .x", "PRN. Termin", "CONIN$", "COM\xB9",
        "..", ".", "...", " . ", "a.", "a ", "?*", "<>:\"/\\|", "..\\..\\x", "../../x", "Re: Re: AW:",
        "\t\t", "Hallo", "HALLO", "hallo", "H\xC4LLO", "h\xE4llo", "\x01\x02\x1F", "=?utf-8?q?=2E=2E?=",
        "=?utf-8?b?Q09O?=", "=?utf-8?q?a=2Fb?=", std::string(300, 'x'), std::string(200, '.'),
        std::string(150, ' ') + "y", "\xFF\xFE", std::string("nul\0x", 5)};
    std::string subject = random.pick(subjects);
    if (random.percent(20)) subject += random_bytes(random, random.below(6), true);
    return subject;
}

struct Builder {
    Random& random;
    Shape shape;
    std::string text;

    // Mostly LF; CR LF and a lone CR appear too, mixed within one file.
    void end_line() {
        std::uint32_t r = random.below(100);
        text += r < 70 ? "\n" : r < 90 ? "\r\n" : "\r";
    }
    void line(const std::string& content) {
        text += content;
        end_line();
    }

    std::string date() {
        static const std::vector<std::string> dates = {
            "Mon, 01 Jan 2024 10:00:00 +0100", "1 Jan 2024 10:00 -0530", "Tue, 31 Dec 2024 23:30:00 -0100",
            "Thu, 29 Feb 2024 12:00:00 EST", "Mon, 01 Jan 99 10:00:00 +0000", "garbage", "",
            "Sun, 31 Dec 2023 23:30:00 -0100", "01 Jan 1980 00:30 +0100"};
        return random.pick(dates);
    }

    std::string subject() {
        if (shape.hostile_subjects) return hostile_subject(random);
        static const std::vector<std::string> subjects = {"Hallo", "Re: Hallo", "Frage: \"A/B\" <wichtig>",
                                                          "=?utf-8?q?Gr=C3=BC=C3=9Fe?=", "", "Teil 1.2 final"};
        return random.pick(subjects);
    }

    // A header block; `valid` ones start with a field. Date and From may be missing in any.
    void header(bool valid) {
        std::vector<std::string> fields;
        if (random.percent(80)) fields.push_back("Date: " + date());
        if (random.percent(80)) fields.push_back("From: someone@example.org");
        fields.push_back("Subject: " + subject());
        if (random.percent(30)) fields.push_back("Message-ID: <" + std::to_string(random.below(5)) + "@x>");
        if (random.percent(20)) fields.push_back("X-Folded: first\n\tsecond");
        if (random.percent(10)) fields.push_back("Date-Received: x");
        if (random.percent(10)) fields.push_back("Fromage: y");
        if (random.percent(10)) fields.push_back("DATE : Mon, 01 Jan 2024 10:00:00 +0000");
        for (std::size_t k = fields.size(); k > 1; --k) std::swap(fields[k - 1], fields[random.below(static_cast<std::uint32_t>(k))]);
        if (!valid) {
            static const std::vector<std::string> first = {" leading: blank", "not a field", "", ".", "X Y: z", ": z"};
            fields.insert(fields.begin(), random.pick(first));
        }
        for (const std::string& field : fields) {
            std::size_t fold = field.find('\n');
            if (fold == std::string::npos) line(field);
            else {
                line(field.substr(0, fold));
                line(field.substr(fold + 1));
            }
        }
        if (!random.percent(5)) line("");  // a header block may also run on into the body
    }

    std::string separator() {
        if (shape.layout == Layout::FOX) return fox_separator();
        static const std::vector<std::string> separators = {
            "From someone@example.org Mon Jan  1 10:00:00 2024", "From ", "From -", "From \tx", "From  x:y"};
        return random.pick(separators);
    }

    // Lines that look like separators but are not, and body lines of every kind.
    void body_line() {
        std::uint32_t r = random.below(100);
        static const std::vector<std::string> look_alikes = {
            ">From someone", "from someone", "From:", "From  : x", "From", "From\tx", "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11",
            "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S ", "From someone Mon Jan  1 10:00:00 2024"};
        if (r < 10) line("");
        else if (r < 18) line(".");
        else if (r < 30) line(random.pick(look_alikes));
        else if (r < 36) line(std::string("a\x1A") + "b\x1A");
        else if (r < 44) line(random_bytes(random, random.below(40), true));
        else if (r < 46) line(random_bytes(random, 2000 + random.below(6000), false));
        else if (r < 52) {
            // A separator inside a body: with a valid header after it, a real boundary
            // under every policy; without, it splits only under /f.
            line(separator());
            header(random.percent(40));
        } else {
            line(random_bytes(random, random.below(70), false));
        }
    }

    std::string build() {
        int messages = 1 + static_cast<int>(random.below(static_cast<std::uint32_t>(shape.max_messages)));
        for (int m = 0; m < messages; ++m) {
            line(separator());
            header(m == 0 ? !random.percent(5) : random.percent(80));
            int body = static_cast<int>(random.below(static_cast<std::uint32_t>(shape.max_body_lines + 1)));
            for (int k = 0; k < body; ++k) body_line();
        }
        // The last line may lack its line end, or be a lone dot.
        if (random.percent(15)) text += ".";
        else if (random.percent(15)) text += random_bytes(random, 1 + random.below(20), false);
        return text;
    }
};

// A mailbox whose messages all have a header with Date and From, and whose body "From "
// lines are each followed by a line that is no field line, so none of them can start a
// message: each message must come out as exactly one file. They sit anywhere, also in
// runs, right before the next separator and at the very end; in the binary layout headers
// may also lack their empty line.
struct KnownMailbox {
    std::string bytes;
    std::vector<std::string> files;  // the bytes each message's file must hold
    std::vector<int> days;           // each message's day in January 2024
    std::vector<std::size_t> starts; // the offset of each message's separator line
};

inline KnownMailbox known_mailbox(Random& random, Layout layout) {
    Builder builder{random, {}, {}};
    builder.shape.layout = layout;
    KnownMailbox box;
    static const std::vector<std::string> from_lines = {
        "From the desk of X", "From someone@example.org Mon Jan  1 10:00:00 2024", "From ", "From  x:y", "From -"};
    static const std::vector<std::string> no_fields = {"", "more", " leading: blank", "X Y: z", ": z", "From"};
    int messages = 1 + static_cast<int>(random.below(6));
    for (int m = 0; m < messages; ++m) {
        int day = 1 + static_cast<int>(random.below(28));
        std::vector<std::string> lines = {"Date: " + std::to_string(day) + " Jan 2024 12:00:00 +0000",
                                          "From: someone@example.org", "Subject: " + std::to_string(m + 1)};
        if (random.percent(50)) std::swap(lines[0], lines[1]);
        if (layout == Layout::MBOX || !random.percent(30)) lines.push_back("");
        int body = static_cast<int>(random.below(6));
        for (int k = 0; k < body; ++k) {
            if (random.percent(60)) {
                int run = 1 + static_cast<int>(random.below(3));
                for (int r = 0; r < run; ++r) lines.push_back(random.pick(from_lines));
                // The last "From " line of a message may be followed by the next separator.
                if (k + 1 < body || random.percent(50)) lines.push_back(random.pick(no_fields));
            } else {
                lines.push_back("text " + random_bytes(random, random.below(30), false));
            }
        }
        box.starts.push_back(builder.text.size());
        builder.line(builder.separator());
        std::string file;
        for (const std::string& line : lines) {
            // After a lone CR, the LF of an empty line would make one CR LF of the two.
            if (line.empty() && builder.text.back() == '\r') builder.text += '\r';
            else builder.line(line);
            file += line + "\r\n";
        }
        box.files.push_back(file);
        box.days.push_back(day);
    }
    box.bytes = builder.text;
    return box;
}

inline std::string mailbox(Random& random, const Shape& shape) {
    Builder builder{random, shape, {}};
    return builder.build();
}

}  // namespace generator
