#include "app/options.h"

#include <gtest/gtest.h>

#include "app/messages.h"
#include "platform/text.h"
#include "tests/app/app_test_support.h"

namespace {

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override { reset_app_state(); }
    void TearDown() override { reset_app_state(); }

    static void parse(std::vector<std::string> switches) {
        std::vector<std::string> args{"parcelo", "in.mbx", "out"};
        args.insert(args.end(), switches.begin(), switches.end());
        parse_options(args);
    }
};

TEST_F(OptionsTest, DefaultsWithTwoPaths) {
    parse({});
    EXPECT_FALSE(options.syntax_error);
    EXPECT_FALSE(options.no_ask);
    EXPECT_FALSE(options.start_minimised);
    EXPECT_EQ(SeparatorPolicy::STRICT, options.separator_policy);
    EXPECT_FALSE(options.numbering);
    EXPECT_TRUE(options.use_subdirs);
    EXPECT_EQ(MessageIdFilter::NONE, options.message_id_filter);
}

TEST_F(OptionsTest, FewerThanTwoPathsIsASyntaxError) {
    parse_options({"parcelo"});
    EXPECT_TRUE(options.syntax_error);
    reset_app_state();
    parse_options({"parcelo", "in.mbx"});
    EXPECT_TRUE(options.syntax_error);
}

TEST_F(OptionsTest, SwitchesIgnoreCase) {
    parse({"/I", "/F", "/N", "/D", "/Message-Id=ABC123"});
    EXPECT_FALSE(options.syntax_error);
    EXPECT_TRUE(options.start_minimised);
    EXPECT_EQ(SeparatorPolicy::LENIENT, options.separator_policy);
    EXPECT_TRUE(options.numbering);
    EXPECT_FALSE(options.use_subdirs);
    EXPECT_EQ(MessageIdFilter::ALL_MATCHES, options.message_id_filter);
    EXPECT_EQ("abc123", options.message_id);
}

TEST_F(OptionsTest, PositionalPathsAreNeverSwitches) {
    parse_options({"parcelo", "/p", "/d"});
    EXPECT_FALSE(options.syntax_error);
    EXPECT_FALSE(options.no_ask);
    EXPECT_TRUE(options.use_subdirs);
}

TEST_F(OptionsTest, RepeatedAndUnknownSwitchesAreSyntaxErrors) {
    for (const std::vector<std::string>& switches :
         {std::vector<std::string>{"/i", "/I"}, {"/f", "/f"}, {"/n", "/N"}, {"/d", "/d"},
          {"/Message-ID=a", "/message-id=b"}, {"/px"}, {"/d=1"}, {"-px"}, {"/"}, {""}, {"/mindate"}}) {
        reset_app_state();
        parse(switches);
        EXPECT_TRUE(options.syntax_error) << switches.front();
    }
}

TEST_F(OptionsTest, SyntaxErrorDoesNotStopParsing) {
    parse({"/x", "/n"});
    EXPECT_TRUE(options.syntax_error);
    EXPECT_TRUE(options.numbering);
}

TEST_F(OptionsTest, MessageIdWithBangStopsAfterFirst) {
    parse({"/Message-ID=<Abc@Host>!"});
    EXPECT_EQ(MessageIdFilter::STOP_AFTER_FIRST, options.message_id_filter);
    EXPECT_EQ("<abc@host>", options.message_id);
}

TEST_F(OptionsTest, MessageIdKeepsInnerBangs) {
    parse({"/message-id=a!b!!"});
    EXPECT_EQ(MessageIdFilter::STOP_AFTER_FIRST, options.message_id_filter);
    EXPECT_EQ("a!b!", options.message_id);
}

TEST_F(OptionsTest, ValidDates) {
    parse({"/MINDATE=2007-01-01", "/maxdate=2100-12-31"});
    EXPECT_FALSE(options.syntax_error);
    ASSERT_TRUE(options.has_min_date);
    EXPECT_EQ(2007, options.min_date.year);
    EXPECT_EQ(1, options.min_date.month);
    EXPECT_EQ(1, options.min_date.day);
    ASSERT_TRUE(options.has_max_date);
    EXPECT_EQ(2100, options.max_date.year);
    EXPECT_EQ(12, options.max_date.month);
    EXPECT_EQ(31, options.max_date.day);
}

TEST_F(OptionsTest, DateGivenTwiceIsASyntaxError) {
    parse({"/MinDate=2007-1-1", "/MinDate=2008-1-1"});
    EXPECT_TRUE(options.syntax_error);
    EXPECT_EQ(2007, options.min_date.year);
}

using OptionsDeathTest = OptionsTest;

TEST_F(OptionsDeathTest, InvalidDatesEndTheRun) {
    for (const char* argument : {"/MinDate=", "/MinDate=2007-13-01", "/MinDate=1970-01-01", "/MaxDate=2007-02-29"}) {
        const std::string value = std::string(argument).substr(9);
        EXPECT_EXIT(
            {
                print_boxes_at_exit();
                parse({argument});
            },
            ::testing::ExitedWithCode(3), "BOX<Ung.ltiges Datum '" + value + "'\\.\nProgramm abgebrochen\\.>")
            << argument;
    }
}

TEST_F(OptionsDeathTest, InvalidDateQuotesTheUserSpelling) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            parse({"/MinDate=Heute"});
        },
        ::testing::ExitedWithCode(3), "Datum 'Heute'");
}

TEST_F(OptionsDeathTest, BangAloneIsAnInvalidMessageId) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            parse({"/Message-ID=!"});
        },
        ::testing::ExitedWithCode(3), "BOX<Ung.ltige Message-ID '!'\\.\nProgramm abgebrochen\\.>");
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            parse({"/Message-ID="});
        },
        ::testing::ExitedWithCode(3), "BOX<Ung.ltige Message-ID ''");
}

TEST_F(OptionsDeathTest, BadDateIsReportedAfterASyntaxError) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            parse({"/unknown", "/MaxDate=x"});
        },
        ::testing::ExitedWithCode(3), "Datum 'x'");
}

TEST_F(OptionsDeathTest, UsageBoxWithoutP) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            show_usage();
        },
        ::testing::ExitedWithCode(3), "BOX<parcelo 0\\.68");
}

// The log as a /p run in a child process left it.
class OptionsLogTest : public OptionsTest {
protected:
    ScratchDir scratch{"options-log"};
    std::string log_path = scratch.file("parcelo.log");
    void SetUp() override {
        OptionsTest::SetUp();
        set_log_path(log_path);
    }
};

TEST_F(OptionsLogTest, InvalidDateAfterPGoesToTheLog) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            parse({"/p", "/MinDate=2007-13-01"});
        },
        ::testing::ExitedWithCode(3), "^$");
    const std::string log = read_text_file(log_path);
    EXPECT_NE(std::string::npos, log.find("   /MinDate=2007-13-01\nBeginn: ")) << log;
    EXPECT_NE(std::string::npos, log.find(external_text("\nUng\xFCltiges Datum '2007-13-01'.\nProgramm abgebrochen.\nEnde: "))) << log;
}

TEST_F(OptionsLogTest, InvalidDateBeforePIsABox) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            parse({"/MinDate=2007-13-01", "/p"});
        },
        ::testing::ExitedWithCode(3), "BOX<Ung.ltiges Datum");
    EXPECT_FALSE(std::filesystem::exists(log_path));
}

TEST_F(OptionsLogTest, SecondPLogsTheSyntaxError) {
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            parse({"/p", "/P"});
            ASSERT_TRUE(options.syntax_error);
            show_usage();
        },
        ::testing::ExitedWithCode(3), "^$");
    const std::string log = read_text_file(log_path);
    EXPECT_NE(std::string::npos, log.find("   /P\nBeginn: ")) << log;
    EXPECT_NE(std::string::npos, log.find("\nSyntaxfehler beim Aufruf des Programms.\nDoppelter Parameter '/P'.\nEnde: "))
        << log;
    EXPECT_EQ(std::string::npos, log.find("Fehler.\n")) << "no error count line";
}

TEST(UsageText, ExactLines) {
    const std::string expected =
        "parcelo 0.68    (c) parcelo-Team\n"
        "\n"
        "Teilt Mailbox-Dateien im mbox-Format in einzelne E-Mail-Dateien auf.\n"
        "F\xFCr jede mbox-Datei wird normalerweise ein eigenes Unterverzeichnis erstellt.\n"
        "\n"
        "  Aufruf:      parcelo  <Dateispezifikation>  <Ausgabeverzeichnis>  [Optionen]\n"
        "\n"
        "( Beispiel:    parcelo  c:\\daten\\*.mbx  c:\\temp\\ )\n"
        "\n"
        "ACHTUNG:  Vorhandene gleichnamige E-Mail-Dateien werden \xFC"
        "berschrieben !\n"
        "\n"
        "Optionen:\n"
        "/p" + std::string(26, ' ') + "Im Falle eines Fehlers fragt das Programm nicht den\n" +
        std::string(29, ' ') + "Benutzer, sondern versucht automatisch fortzufahren.\n"
        "/i" + std::string(27, ' ') + "Das Programm startet als Icon in der Taskleiste.\n"
        "/n" + std::string(26, ' ') + "Als Namen der erzeugten E-Mail-Dateien werden laufende\n" +
        std::string(29, ' ') + "Nummern verwendet.\n"
        "/d" + std::string(26, ' ') + "Alle Mails werden ins Ausgabeverzeichnis entpackt (ohne\n" +
        std::string(29, ' ') + "Unterverzeichnisse).\n"
        "/MinDate=...        untere Datumsgrenze\n"
        "/MaxDate=...       obere Datumsgrenze\n"
        "/Message-ID=...  eindeutiger Kennzeichner einer Nachricht";
    EXPECT_EQ(expected, windows_usage_text());
}

}  // namespace
