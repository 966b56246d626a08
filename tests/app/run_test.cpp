#include "app/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/mailbox_files.h"
#include "app/messages.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "tests/app/app_test_support.h"

namespace {

const std::string GOOD_MAILBOX =
    "From a@example.org Mon Jan  1 10:00:00 2007\n"
    "Date: Mon, 1 Jan 2007 10:00:00 +0000\n"
    "From: a@example.org\n"
    "Subject: Hallo\n"
    "\n"
    "Body\n";
const std::string BAD_MAILBOX = "no mailbox here\n";

class RunTest : public ::testing::Test {
protected:
    ScratchDir source{"run-source"};
    ScratchDir output{"run-output"};

    void SetUp() override {
        reset_app_state();
        run_state.spec_dir = source.path.string() + path_separator;
        run_state.spec_path = run_state.spec_dir + "*.mbx";
        run_state.output_dir = output.path.string() + path_separator;
    }
    void TearDown() override { reset_app_state(); }
};

TEST_F(RunTest, ListingSkipsDirectoriesAndSumsSizes) {
    write_file(source.file("a.mbx"), GOOD_MAILBOX);
    write_file(source.file("b.mbx"), "12345");
    std::filesystem::create_directory(source.file("sub.mbx"));
    const std::optional<MailboxList> list = list_mailbox_files(run_state.spec_path);
    ASSERT_TRUE(list);
    EXPECT_EQ(2u, list->files.size());
    EXPECT_FALSE(list->base_name_clash);
    EXPECT_EQ(GOOD_MAILBOX.size() + 5, run_state.total_bytes);
}

TEST_F(RunTest, ListingFindsBaseNameClashesWithoutCase) {
    write_file(source.file("inbox.mbx"), "");
    write_file(source.file("INBOX.txt"), "");
    const std::optional<MailboxList> list = list_mailbox_files(run_state.spec_dir + "*.*");
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->base_name_clash);
}

TEST_F(RunTest, NothingMatches) { EXPECT_FALSE(list_mailbox_files(run_state.spec_path)); }

TEST_F(RunTest, CleanRunWithP) {
    write_file(source.file("inbox.mbx"), GOOD_MAILBOX);
    options.no_ask = true;
    const RunOutcome outcome = run_all();
    EXPECT_EQ("0 Fehler.", outcome.summary);
    EXPECT_EQ(0, outcome.exit_code);
    EXPECT_TRUE(std::filesystem::is_directory(output.path / "inbox"));
    EXPECT_DOUBLE_EQ(GOOD_MAILBOX.size() / 100.0, fake_ui.bytes_per_percent);
    EXPECT_EQ(GOOD_MAILBOX.size(), fake_ui.progress_bytes);  // the bar ends at the total
}

TEST_F(RunTest, CleanRunWithoutPEndsSilently) {
    write_file(source.file("inbox.mbx"), GOOD_MAILBOX);
    const RunOutcome outcome = run_all();
    EXPECT_EQ("", outcome.summary);
    EXPECT_EQ(0, outcome.exit_code);
    EXPECT_TRUE(fake_ui.boxes.empty());
}

TEST_F(RunTest, ErrorsAreCountedAndTheRunGoesOnWithP) {
    write_file(source.file("a.mbx"), BAD_MAILBOX);
    write_file(source.file("b.mbx"), BAD_MAILBOX);
    options.no_ask = true;
    const RunOutcome outcome = run_all();
    EXPECT_EQ("2 Fehler.", outcome.summary);
    EXPECT_EQ(2, outcome.exit_code);
    EXPECT_TRUE(fake_ui.boxes.empty());
    EXPECT_EQ(2 * BAD_MAILBOX.size(), fake_ui.progress_bytes);
}

TEST_F(RunTest, AnsweringNoStopsTheRun) {
    write_file(source.file("a.mbx"), BAD_MAILBOX);
    write_file(source.file("b.mbx"), BAD_MAILBOX);
    fake_ui.answer_yes = false;
    const RunOutcome outcome = run_all();
    EXPECT_EQ(2, outcome.exit_code);
    ASSERT_EQ(1u, fake_ui.boxes.size());
    EXPECT_EQ(0u, fake_ui.boxes[0].find("Unbekanntes Dateiformat '" + run_state.spec_dir)) << fake_ui.boxes[0];
    EXPECT_EQ(1, run_state.error_count);
}

TEST_F(RunTest, AnsweringYesGoesOn) {
    write_file(source.file("a.mbx"), BAD_MAILBOX);
    write_file(source.file("b.mbx"), BAD_MAILBOX);
    const RunOutcome outcome = run_all();
    EXPECT_EQ(2, outcome.exit_code);
    EXPECT_EQ(2u, fake_ui.boxes.size());
}

TEST_F(RunTest, CancelBeforeTheNextFile) {
    write_file(source.file("a.mbx"), GOOD_MAILBOX);
    write_file(source.file("b.mbx"), GOOD_MAILBOX);
    options.no_ask = true;
    run_state.running = false;
    const RunOutcome outcome = run_all();
    EXPECT_EQ("Abbruch durch den Benutzer.\n0 Fehler.", outcome.summary);
    EXPECT_EQ(2, outcome.exit_code);
    EXPECT_TRUE(std::filesystem::is_empty(output.path));
}

TEST_F(RunTest, DWritesStraightIntoTheOutputDirectory) {
    write_file(source.file("a.mbx"), GOOD_MAILBOX);
    write_file(source.file("b.mbx"), GOOD_MAILBOX);
    options.use_subdirs = false;
    options.numbering = true;
    EXPECT_EQ(0, run_all().exit_code);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(output.path)) {
        EXPECT_TRUE(entry.is_regular_file()) << entry.path();
        ++files;
    }
    EXPECT_EQ(2, files);
}

TEST_F(RunTest, NameStartingWithItsDotKeepsASubDirectory) {
    write_file(source.file(".inbox"), GOOD_MAILBOX);
    run_state.spec_path = run_state.spec_dir + ".inbox";
    EXPECT_EQ(0, run_all().exit_code);
    EXPECT_TRUE(std::filesystem::is_directory(output.path / ".inbox"));
}

// Sub-folders meet their mailbox's directory; clashes count per folder and only among mailboxes.
TEST_F(RunTest, TreeMirrorsFoldersIntoTheOutput) {
    for (const char* folder : {"Inbox.sbd/Work.sbd", "Lists.old.sbd", "out"})
        std::filesystem::create_directories(source.path / folder);
    for (const char* mailbox : {"Inbox", "Inbox.sbd/Work", "Inbox.sbd/Work.sbd/2019", "Inbox.sbd/a.mbx",
                                "Inbox.sbd/a.txt", "Lists.old", "Lists.old.sbd/x", "c.mbx", "out/x"})
        write_file(source.file(mailbox), GOOD_MAILBOX);
    // The output of an earlier run inside the tree is not read again, however it is written.
    run_state.output_dir = source.file("Inbox.sbd") + path_separator + ".." + path_separator + "out" + path_separator;
    // Folders that meet in the output: the later mailbox must not write over the first.
    for (const char* folder : {"Archiv", "Archiv.sbd"}) {
        std::filesystem::create_directories(source.path / folder);
        write_file(source.file(std::string(folder) + "/m"), GOOD_MAILBOX);
    }
    write_file(source.file("c.idx"), BAD_MAILBOX);
    const std::optional<MailboxList> list =
        list_mailbox_files(run_state.spec_dir + (path_separator == '/' ? "*" : "*.*"), true);
    ASSERT_TRUE(list);
    std::set<std::string> found, archived;
    for (const MailboxFile& file : list->files) {
        if (file.folder.starts_with("Archiv"))
            archived.insert(file.target);
        else
            found.insert(file.folder + file.name + (file.listed_as == Listed::MAILBOX ? " > " + file.target : " skipped"));
    }
    const std::string shared = std::string("Archiv") + path_separator + "m";
    EXPECT_EQ((std::set<std::string>{shared, shared + "[2]"}), archived);
    std::set<std::string> expected;
    for (std::string line : {"Inbox > Inbox", "Inbox.sbd/Work > Inbox/Work",
                             "Inbox.sbd/Work.sbd/2019 > Inbox/Work/2019", "Inbox.sbd/a.mbx > Inbox/a.mbx",
                             "Inbox.sbd/a.txt > Inbox/a.txt", "Lists.old > Lists.old",
                             "Lists.old.sbd/x > Lists.old/x", "c.mbx > c", "c.idx skipped"}) {
        std::replace(line.begin(), line.end(), '/', path_separator);
        expected.insert(line);
    }
    EXPECT_EQ(expected, found);
}

// A folder whose listing would pass the path limit is an error of its own, not a crash.
TEST_F(RunTest, TreeTooDeepToListIsAnError) {
    if (path_separator == '\\') GTEST_SKIP() << "Windows cannot make such paths to begin with";
    std::filesystem::path deep = source.path;
    while (deep.string().size() < LONGEST_LISTED_PATH) deep /= std::string(40, 'f');
    std::filesystem::create_directories(deep);
    write_file((deep / "inbox").string(), GOOD_MAILBOX);
    options.whole_tree = options.no_ask = true;
    run_state.spec_path = run_state.spec_dir + "*";
    const RunOutcome outcome = run_all();
    EXPECT_EQ("1 Fehler.", outcome.summary);
    EXPECT_EQ(2, outcome.exit_code);
}

using RunDeathTest = RunTest;

TEST_F(RunDeathTest, NoMatchEndsWithOne) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            run_all();
        },
        ::testing::ExitedWithCode(1), "BOX<Keine Datei passend zu '.*\\*\\.mbx' gefunden\\.>");
    run_state.spec_path = run_state.spec_dir + "none.mbx";
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            run_all();
        },
        ::testing::ExitedWithCode(1), "BOX<Datei '.*none\\.mbx' nicht gefunden\\.>");
}

}  // namespace
