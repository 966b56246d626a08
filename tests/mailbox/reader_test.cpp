#include "tests/mailbox/scratch.h"

#include <random>
#include <vector>

namespace {

struct Line {
    std::string text;
    std::uint64_t raw;       // last_line_length
    std::uint64_t position;  // mailbox_position after it
    bool operator==(const Line&) const = default;
};

std::vector<Line> read_all(const std::string& file) {
    std::vector<Line> lines;
    EXPECT_TRUE(open_mailbox(file));
    std::string_view line;
    while (read_line(line)) lines.push_back({std::string(line), last_line_length(), mailbox_position()});
    EXPECT_EQ(0u, last_line_length());
    close_mailbox();
    return lines;
}

// The plain byte-by-byte reading we compare the block reader with.
std::vector<Line> reference_lines(const std::string& bytes) {
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t stop = bytes.find_first_of("\r\n", at);
        if (stop == std::string::npos) {
            lines.push_back({bytes.substr(at), bytes.size() - at, bytes.size()});
            break;
        }
        std::size_t next = stop + 1;
        if (bytes[stop] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
        lines.push_back({bytes.substr(at, stop - at) + "\n", next - at, next});
        at = next;
    }
    return lines;
}

HeaderBlock header_of(const std::string& file, MailboxLayout layout = MailboxLayout::MBOX) {
    EXPECT_TRUE(open_mailbox(file));
    std::string_view separator;
    EXPECT_TRUE(read_line(separator));
    HeaderBlock block = read_header(layout);
    close_mailbox();
    return block;
}

// The block after the first line, and the lines after it as read_line hands them out.
struct HeaderAndRest {
    HeaderBlock block;
    std::uint64_t position = 0;  // mailbox_position right after the block
    std::vector<Line> rest;
};

HeaderAndRest header_and_rest(const std::string& file, MailboxLayout layout = MailboxLayout::MBOX) {
    HeaderAndRest result;
    EXPECT_TRUE(open_mailbox(file));
    std::string_view line;
    EXPECT_TRUE(read_line(line));
    result.block = read_header(layout);
    result.position = mailbox_position();
    while (read_line(line)) result.rest.push_back({std::string(line), last_line_length(), mailbox_position()});
    close_mailbox();
    return result;
}

}  // namespace

using ReaderTest = MailboxTest;

TEST_F(ReaderTest, LineEndsBecomeOneLfAndRawLengthsStayExact) {
    auto lines = read_all(write_file("ends", "a\nbb\r\nccc\rd\r\r\ne"));
    std::vector<Line> expected{{"a\n", 2, 2}, {"bb\n", 4, 6},  {"ccc\n", 4, 10},
                               {"d\n", 2, 12}, {"\n", 2, 14}, {"e", 1, 15}};
    EXPECT_EQ(expected, lines);
}

TEST_F(ReaderTest, CrOnlyFileIsCutAtEveryCr) {
    auto lines = read_all(write_file("cr", "From x\rA: b\r\rbody\r"));
    std::vector<Line> expected{{"From x\n", 7, 7}, {"A: b\n", 5, 12}, {"\n", 1, 13}, {"body\n", 5, 18}};
    EXPECT_EQ(expected, lines);
}

TEST_F(ReaderTest, EmptyFileEndsAtOnceWithoutError) {
    EXPECT_TRUE(read_all(write_file("empty", "")).empty());
    EXPECT_FALSE(mailbox_read_error());
    EXPECT_FALSE(open_mailbox(path("missing")));
}

TEST_F(ReaderTest, LongLinesAndBufferEdgesMatchByteReading) {
    // A line end straddling a block edge, lines longer than a block, CR-only stretches.
    std::mt19937 random(7);
    for (int round = 0; round < 3; ++round) {
        std::string bytes;
        while (bytes.size() < 2'500'000) {
            int kind = random() % 10;
            std::size_t run = kind == 0 ? random() % 1'200'000 : random() % 200;
            bytes.append(run, static_cast<char>('a' + round));
            const char* ends[] = {"\n", "\r", "\r\n", "\r\r\n", "\n\r"};
            bytes += ends[random() % 5];
        }
        if (round == 1) bytes.pop_back();
        std::string name = "random" + std::to_string(round);
        EXPECT_TRUE(reference_lines(bytes) == read_all(write_file(name, bytes))) << name;
    }
    // CR as the last byte of a first block of any power-of-two size, its LF in the next.
    std::string edges(1 << 23, 'e');
    for (std::size_t size = 1 << 12; size <= 1 << 22; size <<= 1) {
        edges[size - 1] = '\r';
        edges[size] = '\n';
    }
    EXPECT_TRUE(reference_lines(edges) == read_all(write_file("edges", edges)));
}

TEST_F(ReaderTest, FileWithoutLineEndIsOneLine) {
    std::string bytes(3'000'000, 'x');
    auto lines = read_all(write_file("one", bytes));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(bytes, lines[0].text);
    EXPECT_EQ(bytes.size(), lines[0].raw);
}

TEST_F(ReaderTest, ReadErrorIsNotTheEndOfTheFile) {
    std::string file = write_file("box", std::string(10, 'a') + "\n" + std::string(10, 'b') + "\n");
    fail_reads_after(15);
    ASSERT_TRUE(open_mailbox(file));
    std::string_view line;
    EXPECT_TRUE(read_line(line));
    EXPECT_EQ(std::string(10, 'a') + "\n", line);
    EXPECT_FALSE(read_line(line));
    EXPECT_TRUE(mailbox_read_error());
    EXPECT_FALSE(read_line(line));
    close_mailbox();

    fail_reads_after(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(2u, read_all(file).size());
    EXPECT_FALSE(mailbox_read_error());
}

TEST_F(ReaderTest, FromLine) {
    EXPECT_TRUE(from_line("From \n"));
    EXPECT_TRUE(from_line("From a@b Mon Jan  1 00:00:00 2024\n"));
    EXPECT_TRUE(from_line("From  a:\n"));
    EXPECT_FALSE(from_line("From    :\n"));
    EXPECT_FALSE(from_line("From \t:x\n"));
    EXPECT_FALSE(from_line("From: a@b\n"));
    EXPECT_FALSE(from_line("from a@b\n"));
    EXPECT_FALSE(from_line("From a@b"));  // the unterminated last line
    EXPECT_FALSE(from_line("From\n"));
    EXPECT_FALSE(from_line(">From a\n"));
}

TEST_F(ReaderTest, FoxLineAndLayout) {
    const std::string fox = "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S";
    auto lines = read_all(write_file("fox", fox + "\r\nA: b\r\n" + fox + "\r" + fox));
    ASSERT_EQ(4u, lines.size());
    EXPECT_TRUE(fox_line(lines[0].text));
    EXPECT_TRUE(fox_line(lines[2].text));
    EXPECT_FALSE(fox_line(lines[3].text));  // no line end
    EXPECT_FALSE(fox_line(fox + "x\n"));

    EXPECT_EQ(MailboxLayout::MBOX, detect_layout("From \n"));
    EXPECT_EQ(MailboxLayout::FOX, detect_layout(lines[0].text));
    EXPECT_EQ(std::nullopt, detect_layout("\n"));
    EXPECT_EQ(std::nullopt, detect_layout("Date: x\n"));
    EXPECT_EQ(std::nullopt, detect_layout("From x"));
}

TEST_F(ReaderTest, HeaderBlockRunsToTheFirstEmptyLine) {
    HeaderBlock block = header_of(write_file("box", "From x\nDate: 1\nFrom: a\n Folded: no\n\nbody\n"));
    EXPECT_EQ("Date: 1\nFrom: a\n Folded: no\n\n", block.text);
    EXPECT_EQ(4, block.line_count);
    EXPECT_EQ(5u, block.first_colon);
    EXPECT_TRUE(header_is_valid(block));

    // An empty first line is not the end: the block goes on to the next empty line.
    block = header_of(write_file("empty_first", "From x\n\nDate: 1\nFrom: a\n\nbody\n"));
    EXPECT_EQ("\nDate: 1\nFrom: a\n\n", block.text);
    EXPECT_EQ(0u, block.first_colon);
    EXPECT_FALSE(header_is_valid(block));

    // The separator as the last line.
    block = header_of(write_file("last", "From x\n"));
    EXPECT_EQ("", block.text);
    EXPECT_EQ(1, block.line_count);
    EXPECT_FALSE(header_is_valid(block));

    // The end of the file ends the block too, unterminated line included.
    block = header_of(write_file("eof", "From x\r\nSubject: s\r\nDate: 1"));
    EXPECT_EQ("Subject: s\nDate: 1", block.text);
    EXPECT_EQ(2, block.line_count);
}

TEST_F(ReaderTest, HeaderValidity) {
    // A field line first is all it takes; which fields follow does not matter.
    const struct {
        const char* box;
        bool valid;
    } cases[] = {
        {"From x\nDATE : 1\nFROM: a\n\n", true},
        {"From x\nDate: 1\nTo: a\n\n", true},
        {"From x\nSubject: no date, no from\n\n", true},
        {"From x\nX-GM-THRID: 1\n\n", true},
        {"From x\n X: 1\nDate: 1\nFrom: a\n\n", false},
        {"From x\nnot a field\nDate: 1\nFrom: a\n\n", false},
        {"From x\n: z\nDate: 1\n\n", false},
        {"From x\n\nDate: 1\nFrom: a\n\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.valid, header_is_valid(header_of(write_file("box", c.box)))) << c.box;
    // Field lines do not end the block early; the empty line does.
    HeaderBlock block = header_of(write_file("folded", "From x\nDate: 1\nFrom: a\n\tb\n\nbody\n"));
    EXPECT_EQ("Date: 1\nFrom: a\n\tb\n\n", block.text);
}

TEST_F(ReaderTest, CancelWhileReadingTheHeader) {
    std::string file = write_file("box", "From x\nDate: 1\nFrom: a\nTo: b\n\n");
    fake_ui.on_pump = [] {
        if (fake_ui.pumps == 2) run_state.running = false;
    };
    HeaderBlock block = header_of(file);
    EXPECT_EQ("", block.text);
    EXPECT_EQ(2, fake_ui.pumps);
}

TEST_F(ReaderTest, SeparatorEndsABlockThatCannotBeValid) {
    // Not begun with a field: the separator is left for the next read_line, at its own
    // offset, whatever line end it has.
    for (std::string end : {"\n", "\r\n", "\r"}) {
        std::string separator = "From c@d Mon Jan  1 10:00:00 2024" + end;
        std::string before = "From x" + end + "more" + end;
        auto got = header_and_rest(write_file("desk", before + separator + "Date: 1" + end));
        EXPECT_EQ("more\n", got.block.text);
        EXPECT_EQ(1, got.block.line_count);
        EXPECT_EQ(0u, got.block.first_colon);
        EXPECT_EQ(before.size(), got.position);
        std::vector<Line> rest{{"From c@d Mon Jan  1 10:00:00 2024\n", separator.size(), before.size() + separator.size()},
                               {"Date: 1\n", 7 + end.size(), before.size() + separator.size() + 7 + end.size()}};
        EXPECT_EQ(rest, got.rest);
    }

    // An empty first line or a colon first cannot make a valid block either.
    EXPECT_EQ("\n", header_and_rest(write_file("empty", "From x\n\nFrom y\n\n")).block.text);
    EXPECT_EQ(": z\nDate: 1\n", header_and_rest(write_file("colon", "From x\n: z\nDate: 1\nFrom y\n")).block.text);

    // A separator right after the separator: an empty block.
    auto twice = header_and_rest(write_file("twice", "From x\r\nFrom y\r\nbody\r\n"));
    EXPECT_EQ("", twice.block.text);
    EXPECT_EQ(1, twice.block.line_count);
    EXPECT_EQ(8u, twice.position);
    EXPECT_EQ((std::vector<Line>{{"From y\n", 8, 16}, {"body\n", 6, 22}}), twice.rest);
}

TEST_F(ReaderTest, BlockBegunWithAFieldReadsOnOverSeparators) {
    // It may still become valid, as "From " lines inside some headers show.
    std::string box = "From x\nX-Status: RO\nFrom c@d Mon Jan  1 10:00:00 2024\nDate: 1\nFrom: a\n\nbody\n";
    HeaderBlock block = header_of(write_file("status", box));
    EXPECT_EQ("X-Status: RO\nFrom c@d Mon Jan  1 10:00:00 2024\nDate: 1\nFrom: a\n\n", block.text);
    EXPECT_TRUE(header_is_valid(block));
    // Look-alikes never end a block.
    EXPECT_EQ("x\nFrom: a\nFrom  : b\n\n", header_of(write_file("alike", "From x\nx\nFrom: a\nFrom  : b\n\nz\n")).text);
}

TEST_F(ReaderTest, BinarySeparatorAlwaysEndsTheBlock) {
    const std::string fox = "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S";
    auto got = header_and_rest(write_file("fox", fox + "\r\nDate: 1\r\nFrom: a\r\n" + fox + "\r\nx\r\n"),
                               MailboxLayout::FOX);
    EXPECT_EQ("Date: 1\nFrom: a\n", got.block.text);
    EXPECT_TRUE(header_is_valid(got.block));
    EXPECT_EQ(34u, got.position);
    ASSERT_EQ(2u, got.rest.size());
    EXPECT_EQ((Line{fox + "\n", 16, 50}), got.rest[0]);

    EXPECT_EQ("", header_and_rest(write_file("empty", fox + "\n" + fox + "\n"), MailboxLayout::FOX).block.text);
    // A "From " line is no separator here.
    EXPECT_EQ("x\nFrom y\n\n", header_of(write_file("from", fox + "\nx\nFrom y\n\nz\n"), MailboxLayout::FOX).text);
}
