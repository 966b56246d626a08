// A read error in the middle of a mailbox, seen from the whole run: it must not pass as the
// end of the mailbox. It is counted and asked like a mailbox that cannot be opened, the
// files already written stay, and the next mailbox is split as usual.
#include <gtest/gtest.h>

#include <limits>

#include "app/messages.h"
#include "app/run.h"
#include "mailbox/reader.h"
#include "message/file_names.h"
#include "message/header_fields.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "tests/app/app_test_support.h"

namespace {

std::string mail(int n) {
    return "From a@b Mon Jan  1 10:00:00 2024\nDate: Mon, 01 Jan 2024 10:00:00 +0000\nFrom: a@b\nSubject: s" +
           std::to_string(n) + "\n\nbody " + std::to_string(n) + "\n";
}

class ReadErrorRun : public ::testing::Test {
protected:
    ScratchDir source{"read-error-source"};
    ScratchDir output{"read-error-output"};

    void SetUp() override {
        reset_app_state();
        selection = SelectionState{};
        clear_registry();
        options.numbering = true;
        run_state.spec_dir = source.path.string() + path_separator;
        run_state.spec_path = run_state.spec_dir + "*.mbx";
        run_state.output_dir = output.path.string() + path_separator;
        write_file(source.file("a.mbx"), mail(1) + mail(2) + mail(3));
        // Shorter than where reading fails, so only a.mbx meets the error.
        write_file(source.file("b.mbx"), "From x\nDate: x\nFrom: y\n\nz\n");
        fail_reads_after(mail(1).size() + mail(2).size() - 3);  // inside the body of message 2
    }
    void TearDown() override {
        fail_reads_after(std::numeric_limits<std::uint64_t>::max());
        reset_app_state();
        selection = SelectionState{};
    }
    std::string out(const std::string& box, int n) const {
        char name[24];
        std::snprintf(name, sizeof name, "%08d.eml", n);
        return read_file((output.path / box / name).string());
    }
};

}  // namespace

TEST_F(ReadErrorRun, IsAskedCountedAndKeepsTheFinishedFiles) {
    const RunOutcome outcome = run_all();
    EXPECT_EQ(2, outcome.exit_code);
    EXPECT_EQ(1, run_state.error_count);
    ASSERT_EQ(1u, fake_ui.boxes.size());
    EXPECT_EQ(format_text(MSG_READ_ERROR, run_state.spec_dir + "a.mbx") + QUESTION_SUFFIX, fake_ui.boxes[0]);
    // Message 1 was whole before the error; message 2 was cut off and must not be there.
    EXPECT_EQ("Date: Mon, 01 Jan 2024 10:00:00 +0000\r\nFrom: a@b\r\nSubject: s1\r\n\r\nbody 1\r\n", out("a", 1));
    EXPECT_FALSE(std::filesystem::exists(output.path / "a" / "00000002.eml"));
    EXPECT_EQ("Date: x\r\nFrom: y\r\n\r\nz\r\n", out("b", 1));
    // The bar still reaches the end of both mailboxes.
    EXPECT_EQ(run_state.total_bytes, fake_ui.progress_bytes);
}

TEST_F(ReadErrorRun, WithPItIsALogLine) {
    ScratchDir temp{"read-error-log"};
    set_log_path(temp.file("parcelo.log"));
    options.no_ask = true;
    open_log();
    const RunOutcome outcome = run_all();
    close_log();
    EXPECT_EQ("1 Fehler.", outcome.summary);
    EXPECT_EQ(2, outcome.exit_code);
    EXPECT_TRUE(fake_ui.boxes.empty());
    std::string expected = format_text(MSG_READ_ERROR, run_state.spec_dir + "a.mbx");
    EXPECT_NE(std::string::npos, read_text_file(temp.file("parcelo.log")).find(external_text(expected) + "\n"));
}

TEST_F(ReadErrorRun, AnsweringNoEndsTheRunAsCancelled) {
    fake_ui.answer_yes = false;
    const RunOutcome outcome = run_all();
    EXPECT_EQ(2, outcome.exit_code);
    EXPECT_EQ(1u, fake_ui.boxes.size());
    EXPECT_FALSE(std::filesystem::exists(output.path / "b"));
}
