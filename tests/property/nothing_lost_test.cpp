// Many generated mailboxes through the real splitter: every line lands in the file it
// belongs to, in order, and only separators and lone-dot last lines go missing.
#include <cstdio>

#include "tests/mailbox/scratch.h"
#include "tests/property/mailbox_generator.h"
#include "tests/property/mailbox_model.h"

namespace {

constexpr int MAILBOXES = 30;

class NothingLost : public MailboxTest {
protected:
    void SetUp() override {
        MailboxTest::SetUp();
        options.numbering = true;
        options.no_ask = true;
    }

    SplitResult split(const std::string& bytes, SeparatorPolicy policy) {
        std::filesystem::remove_all(dir_ / "box");
        splitter = SplitterState{};
        splitter.target_dir = path("box") + path_separator;
        selection = SelectionState{};
        run_state.last_reported = 0;
        reset_held_line();
        return split_mailbox(write_file("box.mbx", bytes), path("box"), policy);
    }

    // The numbered files 00000001.eml, 00000002.eml, ... and nothing else.
    std::vector<std::string> numbered_files() const {
        std::vector<std::string> files;
        if (!exists("box")) return files;
        std::size_t count = files_in("box");
        for (std::size_t n = 1; n <= count; ++n) {
            char name[24];
            std::snprintf(name, sizeof name, "box/%08zu.eml", n);
            if (!exists(name)) {
                ADD_FAILURE() << "the files are not numbered 1 to " << count;
                break;
            }
            files.push_back(read_file(name));
        }
        return files;
    }

    // Splits `bytes` and holds the files against the model; false after the first failure.
    bool check(const std::string& bytes, SeparatorPolicy policy, model::Policy expected_policy,
               const std::string& what) {
        model::Split expected = model::split(bytes, expected_policy);
        SplitResult result = split(bytes, policy);
        if (expected.outcome == model::Outcome::UNKNOWN_FORMAT) {
            EXPECT_EQ(SplitResult::UNKNOWN_FORMAT, result) << what;
            EXPECT_FALSE(exists("box")) << what;
            return !testing::Test::HasFailure();
        }
        EXPECT_EQ(SplitResult::END_OF_FILE, result) << what;
        std::vector<std::string> files = numbered_files();
        std::string mismatch = model::rebuild_mismatch(expected, files);
        EXPECT_EQ("", mismatch) << what;
        if (mismatch.empty()) {
            EXPECT_EQ(expected.files, files) << what;
        }
        return !testing::Test::HasFailure();
    }
};

std::string seed_text(const char* kind, std::uint32_t seed) { return std::string(kind) + " seed " + std::to_string(seed); }

}  // namespace

TEST_F(NothingLost, LenientKeepsEveryLineButTheDroppedSeparators) {
    for (std::uint32_t seed = 1; seed <= MAILBOXES; ++seed) {
        generator::Random random(seed);
        std::string box = generator::mailbox(random, {});
        if (!check(box, SeparatorPolicy::LENIENT, model::Policy::LENIENT, seed_text("lenient", seed))) break;
    }
}

TEST_F(NothingLost, StrictKeepsFromLinesWithoutAHeaderInPlace) {
    for (std::uint32_t seed = 1; seed <= MAILBOXES; ++seed) {
        generator::Random random(seed + 1000);
        std::string box = generator::mailbox(random, {});
        if (!check(box, SeparatorPolicy::STRICT, model::Policy::STRICT, seed_text("strict", seed))) break;
    }
}

TEST_F(NothingLost, BinarySeparatorsSplitUnderEveryPolicy) {
    generator::Shape shape;
    shape.layout = generator::Layout::FOX;
    for (std::uint32_t seed = 1; seed <= MAILBOXES; ++seed) {
        generator::Random random(seed + 2000);
        std::string box = generator::mailbox(random, shape);
        SeparatorPolicy policy = seed % 2 ? SeparatorPolicy::STRICT : SeparatorPolicy::LENIENT;
        if (!check(box, policy, model::Policy::PLAIN, seed_text("binary", seed))) break;
    }
}

TEST_F(NothingLost, BodyFromLinesNeverMergeOrDropMessages) {
    // Once a "From " line without a header after it could swallow the real separator that
    // follows, and with it the next message, written or skipped.
    for (generator::Layout layout : {generator::Layout::MBOX, generator::Layout::FOX}) {
        for (std::uint32_t seed = 1; seed <= MAILBOXES; ++seed) {
            generator::Random random(seed + (layout == generator::Layout::MBOX ? 4000 : 5000));
            generator::KnownMailbox box = generator::known_mailbox(random, layout);
            int first_day = 1 + static_cast<int>(random.below(28));
            for (bool filtered : {false, true}) {
                options.has_min_date = filtered;
                options.min_date = {2024, 1, first_day};
                fake_ui.progress_bytes = 0;
                run_state.error_count = 0;
                std::vector<std::string> expected;
                for (std::size_t m = 0; m < box.files.size(); ++m)
                    if (!filtered || box.days[m] >= first_day) expected.push_back(box.files[m]);
                std::string what = seed_text(layout == generator::Layout::MBOX ? "mbox" : "binary", seed) +
                                   (filtered ? " from day " + std::to_string(first_day) : "");
                EXPECT_EQ(SplitResult::END_OF_FILE, split(box.bytes, SeparatorPolicy::STRICT)) << what;
                EXPECT_EQ(expected, numbered_files()) << what;
                // Progress reaches the last separator exactly, though lines were read twice.
                EXPECT_EQ(box.starts.back(), fake_ui.progress_bytes) << what;
                EXPECT_EQ(0, run_state.error_count) << what;  // the writer's byte check held
                if (HasFailure()) return;
            }
        }
    }
}

// Mailboxes of several reader buffers, with lines across every buffer edge and lines
// longer than a buffer, in the body and in a header: whole runs of body lines are copied
// at once, and must come out as line by line.
TEST_F(NothingLost, MailboxesLargerThanTheReaderBuffer) {
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        generator::Random random(seed + 6000);
        generator::Shape shape;
        shape.max_body_lines = 2000;
        shape.layout = seed == 4 ? generator::Layout::FOX : generator::Layout::MBOX;
        std::string box = generator::mailbox(random, shape);
        while (box.size() < 1'500'000) box += "\n" + generator::mailbox(random, shape);
        for (std::size_t at : {box.size() / 3, box.size() / 2}) {
            std::size_t line_start = box.find('\n', at) + 1;
            box.insert(line_start, std::string(600'000 + at % 7, 'x') + "\n");
        }
        model::Policy expected = seed == 4 ? model::Policy::PLAIN : model::Policy::STRICT;
        if (!check(box, SeparatorPolicy::STRICT, expected, seed_text("large", seed))) break;
    }
}

TEST_F(NothingLost, ModelAgreesWithHandWrittenCases) {
    // The model itself must be right, or the properties above prove nothing.
    std::string box = "From a\nDate: x\nFrom: y\n\nbody\nFrom b\nno header\n\n.\nFrom c\nDate: x\nFrom: y\n\n.";
    model::Split lenient = model::split(box, model::Policy::LENIENT);
    ASSERT_EQ(3u, lenient.files.size());
    EXPECT_EQ("Date: x\r\nFrom: y\r\n\r\nbody\r\n", lenient.files[0]);
    EXPECT_EQ("From b\r\nno header\r\n\r\n", lenient.files[1]);  // the lone dot at its end is gone
    EXPECT_EQ("Date: x\r\nFrom: y\r\n\r\n", lenient.files[2]);
    model::Split strict = model::split(box, model::Policy::STRICT);
    ASSERT_EQ(2u, strict.files.size());
    EXPECT_EQ("Date: x\r\nFrom: y\r\n\r\nbody\r\nFrom b\r\nno header\r\n\r\n", strict.files[0]);
    EXPECT_EQ((std::vector<std::size_t>{0, 1, 1, 1, 1, 1, 1, 1, 0, 0, 2, 2, 2, 0}), strict.home);
    // A header block that began with a field runs to the first empty line, over any
    // "From " line on the way.
    model::Split swallowed = model::split(
        "From a\nDate: x\nFrom: y\n\nFrom b\nX-Status: RO\nFrom c\nDate: x\nFrom: y\n\nz\n", model::Policy::LENIENT);
    ASSERT_EQ(2u, swallowed.files.size());
    EXPECT_EQ("X-Status: RO\r\nFrom c\r\nDate: x\r\nFrom: y\r\n\r\nz\r\n", swallowed.files[1]);
    // Unless it began with a field, it ends before a separator line.
    model::Split desk = model::split("From a\nDate: x\nFrom: y\n\nFrom the desk\nmore\nFrom c\nDate: x\nFrom: y\n\nz\n",
                                     model::Policy::STRICT);
    ASSERT_EQ(2u, desk.files.size());
    EXPECT_EQ("Date: x\r\nFrom: y\r\n\r\nFrom the desk\r\nmore\r\n", desk.files[0]);
    std::string fox = model::fox_separator_line();
    EXPECT_EQ(2u, model::split(fox + "Subject: a\n" + fox + "Subject: b\n", model::Policy::PLAIN).files.size());
    EXPECT_EQ(model::Outcome::UNKNOWN_FORMAT, model::split("From a\nno header\n", model::Policy::STRICT).outcome);
    EXPECT_EQ(model::Outcome::UNKNOWN_FORMAT, model::split("\nFrom a\n", model::Policy::LENIENT).outcome);
    EXPECT_EQ((std::vector<std::string>{"a\n", "\n", "b\n", "c"}), model::lines_of("a\r\r\nb\rc"));
}

TEST_F(NothingLost, ReadErrorKeepsOnlyWholeMessages) {
    for (std::uint32_t seed = 1; seed <= MAILBOXES / 2; ++seed) {
        generator::Random random(seed + 3000);
        std::string box = generator::mailbox(random, {});
        SeparatorPolicy policy = seed % 3 == 0 ? SeparatorPolicy::STRICT : SeparatorPolicy::LENIENT;
        model::Split expected =
            model::split(box, policy == SeparatorPolicy::STRICT ? model::Policy::STRICT : model::Policy::LENIENT);
        std::uint64_t cut = random.below(static_cast<std::uint32_t>(box.size()));
        fail_reads_after(cut);
        SplitResult result = split(box, policy);
        fail_reads_after(std::numeric_limits<std::uint64_t>::max());
        std::string what = seed_text("read error", seed) + " after " + std::to_string(cut) + " bytes";
        if (expected.outcome == model::Outcome::UNKNOWN_FORMAT && result == SplitResult::UNKNOWN_FORMAT) continue;
        EXPECT_EQ(SplitResult::OPEN_FAILED, result) << what;
        // Whatever was written is whole: the first files of the mailbox, byte for byte.
        std::vector<std::string> files = numbered_files();
        ASSERT_LE(files.size(), expected.files.size()) << what;
        for (std::size_t n = 0; n < files.size(); ++n) EXPECT_EQ(expected.files[n], files[n]) << what << ", file " << n + 1;
        if (HasFailure()) break;
    }
}
