#include "app/log.h"

#include <gtest/gtest.h>

#include "tests/app/app_test_support.h"

namespace {

std::tm moment(int year, int month, int day, int weekday, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_wday = weekday;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(LogTimestamp, GermanWeekdaysFromMonday) {
    EXPECT_EQ("Montag 2007-03-05, 14:02:09", format_timestamp(moment(2007, 3, 5, 1, 14, 2, 9)));
    EXPECT_EQ("Sonntag 2007-03-04, 00:00:00", format_timestamp(moment(2007, 3, 4, 0, 0, 0, 0)));
    EXPECT_EQ("Samstag 2100-12-31, 23:59:59", format_timestamp(moment(2100, 12, 31, 6, 23, 59, 59)));
    const char* names[] = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    for (int w = 0; w < 7; ++w)
        EXPECT_EQ(0u, format_timestamp(moment(2024, 1, 1, w, 0, 0, 0)).find(std::string(names[w]) + " ")) << w;
}

TEST(LogTimestamp, NowHasTheFixedShape) {
    const std::string stamp = timestamp_text();
    const std::size_t blank = stamp.find(' ');
    ASSERT_NE(std::string::npos, blank);
    EXPECT_EQ(blank + 21, stamp.size()) << stamp;  // " yyyy-mm-dd, hh:mm:ss"
    EXPECT_EQ(", ", stamp.substr(blank + 11, 2));
}

TEST(LogBlocks, HeadListsEveryArgumentAsGiven) {
    EXPECT_EQ(
        "parcelo 0.68\nKommandozeilen-Parameter:\n   C:\\Post\\*.MBX\n   c:\\out dir\n   /P\n"
        "Beginn: Montag 2007-03-05, 14:02:09\n",
        log_head_block({"parcelo.exe", "C:\\Post\\*.MBX", "c:\\out dir", "/P"}, "Montag 2007-03-05, 14:02:09"));
}

TEST(LogBlocks, EndHasSixtyMinusSigns) {
    EXPECT_EQ("Ende: Dienstag 2007-03-06, 01:02:03\n" + std::string(60, '-') + "\n",
              log_end_block("Dienstag 2007-03-06, 01:02:03"));
}

class LogFileTest : public ::testing::Test {
protected:
    ScratchDir scratch{"log-file"};
    std::string path = scratch.file("parcelo.log");
    void SetUp() override {
        reset_app_state();
        set_log_path(path);
        set_log_arguments({"parcelo", "in", "out", "/p"});
    }
    void TearDown() override { reset_app_state(); }
};

TEST_F(LogFileTest, NothingBeforeOpen) {
    write_log_text("lost");
    close_log();
    EXPECT_FALSE(log_is_open());
    EXPECT_EQ(nullptr, log_file());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LogFileTest, OneBlockPerRunAppended) {
    write_file(path, "earlier run\n");
    open_log();
    ASSERT_TRUE(log_is_open());
    write_log_text("Fehler beim Lesen der Datei 'x'.");
    write_log_raw("Syntaxfehler beim Aufruf des Programms.\n");
    close_log();
    EXPECT_FALSE(log_is_open());

    const std::string log = read_text_file(path);
    EXPECT_EQ(0u, log.find("earlier run\nparcelo 0.68\nKommandozeilen-Parameter:\n   in\n   out\n   /p\nBeginn: "))
        << log;
    const std::size_t body = log.find("\nFehler beim Lesen der Datei 'x'.\nSyntaxfehler beim Aufruf des Programms.\nEnde: ");
    EXPECT_NE(std::string::npos, body) << log;
    EXPECT_EQ(log.size() - 62, log.rfind("\n" + std::string(60, '-') + "\n")) << log;
}

TEST_F(LogFileTest, ClosedForGood) {
    open_log();
    close_log();
    const std::string once = read_file(path);
    open_log();
    write_log_text("after the end");
    EXPECT_FALSE(log_is_open());
    EXPECT_EQ(once, read_file(path));
}

TEST_F(LogFileTest, UnopenableLogIsSilent) {
    set_log_path(scratch.file("missing-dir/parcelo.log"));
    open_log();
    EXPECT_FALSE(log_is_open());
    write_log_text("nothing");
    close_log();
}

}  // namespace
