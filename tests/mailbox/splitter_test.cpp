#include "tests/mailbox/scratch.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/crash.h"

namespace {

const std::string FOX = "\x10\x10\x10\x10\x10\x10\x10\x11\x11\x11\x11\x11\x11S\n";

std::string header(int n, const std::string& day = "01") {
    return "Date: Mon, " + day + " Jan 2024 10:00:00 +0000\nFrom: a@b\nSubject: s" + std::to_string(n) + "\n\n";
}
std::string message(int n, const std::string& day = "01") {
    return "From a@b Mon Jan  1 10:00:00 2024\n" + header(n, day) + "body " + std::to_string(n) + "\n";
}
std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

class SplitterTest : public MailboxTest {
protected:
    void SetUp() override {
        MailboxTest::SetUp();
        options.numbering = true;
        splitter.target_dir = path("box") + path_separator;
    }
    SplitResult split(const std::string& bytes, SeparatorPolicy policy = SeparatorPolicy::STRICT) {
        return split_mailbox(write_file("box.mbx", bytes), path("box"), policy);
    }
    std::string out(int n, const std::string& folder = "box") const {
        char name[16];
        std::snprintf(name, sizeof name, "%08d.eml", n);
        return read_file(folder + "/" + name);
    }
};

}  // namespace

TEST_F(SplitterTest, EachMessageGetsItsFileWithCrLfEnds) {
    std::string box = message(1) + message(2) + message(3);
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box));
    EXPECT_EQ(3u, files_in("box"));
    EXPECT_EQ(crlf(header(1) + "body 1\n"), out(1));
    EXPECT_EQ(crlf(header(3) + "body 3\n"), out(3));
    // Progress runs to the start of the last separator; the driver reports the rest.
    std::uint64_t last_start = box.size() - message(3).size();
    EXPECT_EQ(last_start, fake_ui.progress_bytes);
    EXPECT_EQ(last_start, run_state.last_reported);
    EXPECT_EQ(path("box.mbx"), fake_ui.source);
    EXPECT_EQ(splitter.target_dir, fake_ui.target);
}

TEST_F(SplitterTest, CrOnlyAndCrLfMailboxesGiveTheSameFiles) {
    std::string box = message(1) + message(2);
    std::string cr = box;
    for (char& c : cr)
        if (c == '\n') c = '\r';
    EXPECT_EQ(SplitResult::END_OF_FILE, split(cr));
    EXPECT_EQ(crlf(header(2) + "body 2\n"), out(2));

    splitter.message_start = run_state.last_reported = fake_ui.progress_bytes = 0;
    selection.message_counter = 0;
    EXPECT_EQ(SplitResult::END_OF_FILE, split(crlf(box)));
    EXPECT_EQ(crlf(header(2) + "body 2\n"), out(2));
    EXPECT_EQ(crlf(message(1)).size(), fake_ui.progress_bytes);
}

TEST_F(SplitterTest, FromLinesInTheBodyUnderEachPolicy) {
    // The block read after the body's "From " line must end before the next message.
    std::string body_from = "From here on, text\nmore\n\n";
    std::string box = message(1) + body_from + message(2);
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box, SeparatorPolicy::STRICT));
    EXPECT_EQ(2u, files_in("box"));
    EXPECT_EQ(crlf(header(1) + "body 1\n" + body_from), out(1));

    std::filesystem::remove_all(dir_ / "box");
    selection.message_counter = 0;
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box, SeparatorPolicy::LENIENT));
    EXPECT_EQ(3u, files_in("box"));
    EXPECT_EQ(crlf(header(1) + "body 1\n"), out(1));
    EXPECT_EQ(crlf(body_from), out(2));  // the new message starts with its "From " line
    EXPECT_EQ(crlf(header(2) + "body 2\n"), out(3));
}

TEST_F(SplitterTest, StrictSplitsWhereAFieldLineFollowsABodyFromLine) {
    // A header without Date and From is still a header: the message is not merged.
    std::string inside = "From me\nSubject: no date, no from\n\nstill body\n";
    EXPECT_EQ(SplitResult::END_OF_FILE, split(message(1) + inside + message(2)));
    EXPECT_EQ(3u, files_in("box"));
    EXPECT_EQ(crlf(header(1) + "body 1\n"), out(1));
    EXPECT_EQ(crlf("Subject: no date, no from\n\nstill body\n"), out(2));
    EXPECT_EQ(crlf(header(2) + "body 2\n"), out(3));
}

TEST_F(SplitterTest, StrictBoundariesNeedOnlyAFieldLineFirst) {
    const std::string separator = "From a@b Mon Jan  1 10:00:00 2024\n";
    const std::string no_date = "From: a@b\nSubject: draft\n\nbody\n";
    const std::string no_from = "Date: Mon, 01 Jan 2024 10:00:00 +0000\nSubject: saved\n\nbody\n";
    const std::string desk = "From the desk of X\nmore\n";
    const std::string first = header(1) + "body 1\n", second = header(2) + "body 2\n";
    const struct {
        const char* name;
        std::string box;
        std::vector<std::string> files;
    } cases[] = {
        {"no Date", message(1) + separator + no_date + message(2), {first, no_date, second}},
        {"no From", message(1) + separator + no_from, {first, no_from}},
        {"first message without Date", separator + no_date + message(2), {no_date, second}},
        {"body line then text", message(1) + desk + message(2), {first + desk, second}},
        {"quoted raw message", message(1) + "Forwarded:\n" + message(3) + message(2),
         {first + "Forwarded:\n", header(3) + "body 3\n", second}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir_ / "box");
        selection.message_counter = 0;
        EXPECT_EQ(SplitResult::END_OF_FILE, split(c.box)) << c.name;
        EXPECT_EQ(c.files.size(), files_in("box")) << c.name;
        for (std::size_t k = 0; k < c.files.size(); ++k)
            EXPECT_EQ(crlf(c.files[k]), out(static_cast<int>(k) + 1)) << c.name << ", file " << k + 1;
    }
}

TEST_F(SplitterTest, FirstHeaderMustBeValidOnlyUnderStrict) {
    std::string box = "From x\nno header\n\nbody\n" + message(2);
    EXPECT_EQ(SplitResult::UNKNOWN_FORMAT, split(box));
    EXPECT_FALSE(exists("box"));
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box, SeparatorPolicy::LENIENT));
    EXPECT_EQ(crlf("no header\n\nbody\n"), out(1));  // no separator in front
}

TEST_F(SplitterTest, FoxSeparatorsAlwaysSplitAndAreNeverWritten) {
    std::string box = crlf(FOX + "Subject: a\n\nx\n" + FOX + "no header\n\n" + FOX);
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box, SeparatorPolicy::STRICT));
    EXPECT_EQ(3u, files_in("box"));
    EXPECT_EQ(crlf("Subject: a\n\nx\n"), out(1));
    EXPECT_EQ(crlf("no header\n\n"), out(2));
    EXPECT_EQ("", out(3));  // the separator as the last line: an empty message
}

TEST_F(SplitterTest, UnknownAndEmptyFiles) {
    EXPECT_EQ(SplitResult::UNKNOWN_FORMAT, split("\n" + message(1)));
    EXPECT_EQ(SplitResult::UNKNOWN_FORMAT, split("Date: x\n"));
    EXPECT_EQ(SplitResult::END_OF_FILE, split(""));
    EXPECT_FALSE(exists("box"));
    EXPECT_EQ(SplitResult::OPEN_FAILED, split_mailbox(path("missing"), path("box"), SeparatorPolicy::STRICT));
}

TEST_F(SplitterTest, NothingSelectedMakesNoDirectory) {
    options.has_min_date = true;
    options.min_date = {2024, 1, 2};
    std::string box = message(1) + message(2);
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box));
    EXPECT_FALSE(exists("box"));
    EXPECT_EQ(box.size() - message(2).size(), fake_ui.progress_bytes);

    // Skipped messages use up no number.
    EXPECT_EQ(SplitResult::END_OF_FILE, split(message(1) + message(2, "02") + message(3) + message(4, "03")));
    EXPECT_EQ(2u, files_in("box"));
    EXPECT_EQ(crlf(header(2, "02") + "body 2\n"), out(1));
    EXPECT_EQ(crlf(header(4, "03") + "body 4\n"), out(2));
}

TEST_F(SplitterTest, StopsAfterTheWantedMessage) {
    options.message_id_filter = MessageIdFilter::STOP_AFTER_FIRST;
    options.message_id = "two@x";
    std::string two = "From a\nDate: 1 Jan 2024\nFrom: b\nMessage-ID: <TWO@x>\n\nbody\n";
    EXPECT_EQ(SplitResult::STOP_AFTER_MATCH, split(message(1) + two + two + message(3)));
    EXPECT_EQ(1u, files_in("box"));
    EXPECT_EQ(crlf(two.substr(7)), out(1));
}

TEST_F(SplitterTest, LastMessageWithoutLineEndGetsOne) {
    EXPECT_EQ(SplitResult::END_OF_FILE, split(message(1) + "From x\n" + header(2) + "end"));
    EXPECT_EQ(crlf(header(2) + "end\n"), out(2));
}

TEST_F(SplitterTest, UncreatableDirectoryIsReported) {
    splitter.target_dir = path("no/such/box") + path_separator;
    EXPECT_EQ(SplitResult::DIRECTORY_ERROR,
              split_mailbox(write_file("box.mbx", message(1)), path("no/such/box"), SeparatorPolicy::STRICT));
}

TEST_F(SplitterTest, CancelEndsTheFileAtEveryStage) {
    // One pump per header line after the first and per body line: 1-3 the first
    // header, 4 the body of message 1, 5-7 the next header, 8 the body of message 2.
    std::string box = message(1) + message(2) + message(3);
    struct Stage {
        int pumps;
        bool skipping;
        std::size_t files;
    };
    for (Stage stage : {Stage{2, false, 0}, Stage{4, true, 0}, Stage{8, false, 1}}) {
        std::filesystem::remove_all(dir_ / "box");
        run_state.running = true;
        fake_ui = FakeUi{};
        selection.message_counter = 0;
        options.has_min_date = stage.skipping;
        options.min_date = {2030, 1, 1};
        fake_ui.on_pump = [stage] {
            if (fake_ui.pumps == stage.pumps) run_state.running = false;
        };
        EXPECT_EQ(SplitResult::CANCELLED, split(box)) << stage.pumps;
        EXPECT_EQ(stage.files, exists("box") ? files_in("box") : 0) << stage.pumps;
    }
    EXPECT_EQ(crlf(header(1) + "body 1\n"), out(1));  // the message being written is gone
    // The mailbox was closed on the way out: it can be replaced.
    EXPECT_EQ(0, delete_file(path("box.mbx")));
}

TEST_F(SplitterTest, ReadErrorDropsTheMailboxButKeepsWhatWasWritten) {
    std::string box = message(1) + message(2) + message(3);
    fail_reads_after(message(1).size() + message(2).size() - 3);
    EXPECT_EQ(SplitResult::OPEN_FAILED, split(box));
    EXPECT_EQ(1u, files_in("box"));
    EXPECT_EQ(crlf(header(1) + "body 1\n"), out(1));

    // Failing inside the next header: where message 1 ends is unknown, so it goes too.
    std::filesystem::remove_all(dir_ / "box");
    selection.message_counter = 0;
    fail_reads_after(message(1).size() + 40);
    EXPECT_EQ(SplitResult::OPEN_FAILED, split(box));
    EXPECT_EQ(0u, files_in("box"));

    // While skipping, and before the first line.
    std::filesystem::remove_all(dir_ / "box");
    options.has_min_date = true;
    options.min_date = {2030, 1, 1};
    fail_reads_after(message(1).size() + 10);
    EXPECT_EQ(SplitResult::OPEN_FAILED, split(box));
    fail_reads_after(0);
    EXPECT_EQ(SplitResult::OPEN_FAILED, split(box));
    EXPECT_FALSE(exists("box"));
}

// A body line longer than the reader's buffer goes out in pieces as it comes, written or
// skipped: the buffer never grows for it (here that would end the run as out of memory), and
// the file is what copying line by line gives: Ctrl-Z marks and CR LF or lone CR ends across
// piece edges, and the unterminated last line with its added line end.
TEST_F(SplitterTest, LongBodyLinesGoOutInPieces) {
    constexpr std::size_t BLOCK = 512 * 1024;
    limit_buffer(BLOCK);
    std::string ctrl_z(1'300'000, 'x'), crlf_at_edge(BLOCK - 1, 'y'), cr_at_edge(BLOCK - 1, 'z'), last(700'000, 'w');
    ctrl_z[BLOCK - 1] = '\x1A';
    std::string box = message(1) + ctrl_z + "\n" + crlf_at_edge + "\r\n" + cr_at_edge + "\rshort\n" +
                      message(2, "02") + last;
    std::string first = crlf(header(1) + "body 1\n") + ctrl_z.substr(0, BLOCK - 1) + "<EOF>" +
                        ctrl_z.substr(BLOCK) + "\r\n" + crlf_at_edge + "\r\n" + cr_at_edge + "\r\nshort\r\n";
    std::string second = crlf(header(2, "02") + "body 2\n") + last + "\r\n";
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box));
    EXPECT_TRUE(out(1) == first);
    EXPECT_TRUE(out(2) == second);
    EXPECT_EQ(0, run_state.error_count);  // the byte check held

    std::filesystem::remove_all(dir_ / "box");
    selection.message_counter = 0;
    options.has_min_date = true;
    options.min_date = {2024, 1, 2};
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box));
    EXPECT_TRUE(out(1) == second);
}

// A skipped body is passed by looking at line starts only: the next separator is still
// found after any line end, with non-separator "F" lines before it, and where it lies
// at or across the end of what one read brought. The same with the wide search and without.
TEST_F(SplitterTest, SkippedBodyEndsAtTheNextSeparator) {
    constexpr std::size_t BLOCK = 512 * 1024;
    options.has_min_date = true;
    options.min_date = {2024, 1, 2};
    for (bool wide : {true, false}) {
        use_wide_search(wide);
        for (std::string end : {"\n", "\r", "\r\n"}) {
            auto ends = [&end](std::string text) {
                std::string out;
                for (char c : text) out += c == '\n' ? end : std::string(1, c);
                return out;
            };
            std::string skipped = ends(message(1) + "From the desk\nFri, 5\nxFrom a@b Mon Jan  1 10:00:00 2024\n");
            for (std::size_t at : {std::size_t{0}, BLOCK - 70, BLOCK - 4, BLOCK - 1, BLOCK, BLOCK + 1}) {
                std::string filler;
                while (skipped.size() + filler.size() + end.size() < at) filler += "Fxyz ";
                if (at != 0) filler = filler.substr(0, at - skipped.size() - end.size()) + end;
                std::filesystem::remove_all(dir_ / "box");
                selection.message_counter = 0;
                EXPECT_EQ(SplitResult::END_OF_FILE, split(skipped + filler + ends(message(2, "02"))));
                EXPECT_EQ(1u, files_in("box")) << wide << " " << end.size() << " " << at;
                EXPECT_EQ(crlf(header(2, "02") + "body 2\n"), out(1)) << wide << " " << end.size() << " " << at;
            }
        }
    }
}

// A line that must be held whole (here a header line) and does not fit in memory is an
// unexpected failure, not a file that could not be read.
TEST_F(SplitterTest, NoMemoryForALineIsAnUnexpectedFailure) {
    std::string report = path("ex.err");
    std::string box = "From a@b Mon Jan  1 10:00:00 2024\nX-Long: " + std::string(2'000'000, 's') + "\n" + header(1);
    EXPECT_EXIT(
        {
            install_crash_handler(report, [](int) { std::_Exit(42); });
            limit_buffer(1'000'000);
            split(box);
        },
        testing::ExitedWithCode(42), "");
    EXPECT_NE(std::string::npos, read_file("ex.err").find("no memory"));
}

// The window is served at least once per block read, while a line held whole is read, and
// after it, though the buffer grew for it.
TEST_F(SplitterTest, WindowPumpedAtLeastOncePerBlock) {
    std::string separator_like = "From " + std::string(3'000'000, 'f') + "\n\n";  // no header follows
    std::string lines;
    while (lines.size() < 3'000'000) lines += "a short body line\n";
    std::string box = message(1) + separator_like + lines;
    std::vector<std::uint64_t> pumped_at;
    fake_ui.on_pump = [&pumped_at] { pumped_at.push_back(mailbox_position()); };
    EXPECT_EQ(SplitResult::END_OF_FILE, split(box));
    std::uint64_t line_start = message(1).size(), after = line_start + separator_like.size();
    EXPECT_LE(5, std::count(pumped_at.begin(), pumped_at.end(), line_start));
    std::uint64_t last = after;
    for (std::uint64_t at : pumped_at) {
        if (at <= after) continue;
        EXPECT_LE(at - last, 512u * 1024 + 18);
        last = at;
    }
    EXPECT_LE(box.size() - last, 512u * 1024 + 18);
}
