#include "app/messages.h"

#include <gtest/gtest.h>

#include "platform/crash.h"
#include "tests/app/app_test_support.h"

namespace {

TEST(FormatText, ReplacesTheFirstPlaceholderOnly) {
    EXPECT_EQ("Datei 'a.mbx' nicht gefunden.", format_text(MSG_NOT_FOUND, "a.mbx"));
    EXPECT_EQ("Doppelter Name in Zeile 12.", format_text("Doppelter Name in Zeile %d.", "12"));
    EXPECT_EQ("7 Fehler%s.", format_text(MSG_ERROR_COUNT, "7"));
    EXPECT_EQ("7 Fehler.", format_text(format_text(MSG_ERROR_COUNT, "7").c_str(), ""));
    EXPECT_EQ("no placeholder", format_text("no placeholder", "x"));
    EXPECT_EQ("100%", format_text("%s%", "100"));
}

TEST(FormatText, ArgumentBytesStayAsTheyAre) {
    EXPECT_EQ("Datei '%d %s %n \xFC\x01' nicht gefunden.", format_text(MSG_NOT_FOUND, "%d %s %n \xFC\x01"));
    EXPECT_EQ(std::string("x '\0y'", 6), format_text("x '%s'", std::string("\0y", 2)));
}

TEST(FormatText, TooLargeNamesTheLimitBeforeThePath) {
    EXPECT_EQ("Die Datei 'a %d.mbx' ist zu gro\xDF (> 2 GiB).", format_text(too_large_format(2).c_str(), "a %d.mbx"));
    EXPECT_EQ("Die Datei 'a' ist zu gro\xDF (> 1000000 GiB).", format_text(too_large_format(1000000).c_str(), "a"));
}

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { reset_app_state(); }
    void TearDown() override { reset_app_state(); }
};

TEST_F(MessagesTest, QuestionWithoutP) {
    fake_ui.answer_yes = false;
    EXPECT_FALSE(ask_continue("Fehler beim Lesen der Datei 'x'."));
    fake_ui.answer_yes = true;
    EXPECT_TRUE(ask_continue("Unbekanntes Dateiformat 'y'."));
    ASSERT_EQ(2u, fake_ui.boxes.size());
    EXPECT_EQ("Fehler beim Lesen der Datei 'x'.\n\nM\xF6" "chten Sie fortfahren?", fake_ui.boxes[0]);
}

TEST_F(MessagesTest, QuestionWithPIsLoggedAndContinues) {
    ScratchDir scratch{"messages-ask"};
    set_log_path(scratch.file("parcelo.log"));
    options.no_ask = true;
    open_log();
    fake_ui.answer_yes = false;
    EXPECT_TRUE(ask_continue("Fehler beim Lesen der Datei 'x'."));
    EXPECT_TRUE(fake_ui.boxes.empty());
    reset_log();
    EXPECT_NE(std::string::npos, read_text_file(scratch.file("parcelo.log")).find("\nFehler beim Lesen der Datei 'x'.\n"));
}

TEST_F(MessagesTest, CrashBlock) {
    run_state.current_file_name = "inbox.mbx";
    run_state.current_file_size = 4294967301ull;
    EXPECT_EQ("------------\nparcelo 0.68\nFehler beim Verarbeiten der Datei 'inbox.mbx' (4294967301 bytes).\n",
              crash_block());
    reset_run_state();
    EXPECT_EQ("------------\nparcelo 0.68\nFehler beim Verarbeiten der Datei '' (0 bytes).\n", crash_block());
}

using MessagesDeathTest = MessagesTest;

TEST_F(MessagesDeathTest, AbortShowsTheTextAndExits) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            abort_with_message("Datei 'x' nicht gefunden.", 1);
        },
        ::testing::ExitedWithCode(1), "BOX<Datei 'x' nicht gefunden\\.>");
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            abort_with_message("", 0);
        },
        ::testing::ExitedWithCode(0), "^$");
}

TEST_F(MessagesDeathTest, AbortWithPClosesTheLog) {
    ScratchDir scratch{"messages-abort"};
    const std::string log = scratch.file("parcelo.log");
    set_log_path(log);
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            options.no_ask = true;
            open_log();
            abort_with_message("Abbruch durch den Benutzer.\n0 Fehler.", 2);
        },
        ::testing::ExitedWithCode(2), "^$");
    const std::string text = read_text_file(log);
    EXPECT_NE(std::string::npos, text.find("\nAbbruch durch den Benutzer.\n0 Fehler.\nEnde: ")) << text;
}

TEST_F(MessagesDeathTest, CrashAppendsItsBlock) {
    ScratchDir scratch{"messages-crash"};
    const std::string report = scratch.file("ex.err");
    write_file(report, "diagnostics\n");
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            run_state.crash_file_path = report;
            run_state.crash_message = format_text(MSG_CRASH, report);
            install_crash_handler(report, crash);
            run_state.current_file_name = "b.mbx";
            run_state.current_file_size = 12;
            crash(0);
        },
        ::testing::ExitedWithCode(3), "BOX<Ein unerwarteter Fehler ist aufgetreten, siehe Datei '.*ex\\.err'\\.>");
    EXPECT_EQ("diagnostics\n------------\nparcelo 0.68\nFehler beim Verarbeiten der Datei 'b.mbx' (12 bytes).\n",
              read_text_file(report));
}

}  // namespace
