#include "message/header_fields.h"

#include <gtest/gtest.h>

#include "app/options.h"
#include "app/settings.h"
#include "message/file_names.h"
#include "tests/message/windows_name.h"

namespace {

class SelectMessage : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        options = Options{};
        settings = Settings{};
        selection = SelectionState{};
        clear_registry();
    }
    static std::string block(const std::string& date, const std::string& extra = "") {
        return "Date: " + date + "\nFrom: a@b\n" + extra + "\n";
    }
};

}  // namespace

TEST(FieldColon, NamesOfVisibleBytes) {
    EXPECT_EQ(8u, field_colon("Subject: x"));
    EXPECT_EQ(9u, field_colon("Subject : x"));
    EXPECT_EQ(9u, field_colon("Subject\t: x"));
    EXPECT_EQ(2u, field_colon("a:"));
    EXPECT_EQ(7u, field_colon("X-Odd!:"));
    for (const char* line : {"X Y: z", ": z", " a: b", "\ta: b", "S\xFC" "bject: x", "no colon", "", "Sub\x7Fject: x"})
        EXPECT_EQ(0u, field_colon(line)) << line;
    EXPECT_EQ(0u, field_colon(std::string_view("Sub\0ject: x", 12)));
    EXPECT_EQ(5u, field_colon(std::string_view("Date:\0\xFF", 7)));  // the value is not looked at
}

TEST(FieldEnd, FoldedFields) {
    std::string_view text = "A: 1\n\tmore\n more\nB: 2\nC";
    EXPECT_EQ(17u, field_end(text, 1));
    EXPECT_EQ(22u, field_end(text, 18));
    EXPECT_EQ(0u, field_end(text, 23));   // no LF after "C"
    EXPECT_EQ(0u, field_end(text, 99));
    EXPECT_EQ(5u, field_end("A: 1\n", 1));
    EXPECT_EQ(0u, field_end("A: 1\n ", 1));  // the fold runs to the end without a LF
    EXPECT_EQ(0u, field_end("", 1));
}

TEST(ParseHeader, TableOfFields) {
    HeaderTable t = parse_header("Subject : first\n\tsecond  \r\nDate :x\nnot a field\n\nbody?");
    ASSERT_EQ(4u, t.size());
    EXPECT_EQ("subject", t[0].name);
    EXPECT_EQ(" first\n\tsecond", t[0].value);
    EXPECT_EQ("date", t[1].name);
    EXPECT_EQ("x", t[1].value);
    EXPECT_EQ("", t[2].name);
    EXPECT_EQ("not a field", t[2].value);
    EXPECT_EQ("", t[3].name);  // the empty line that ends the block
    EXPECT_TRUE(parse_header("").empty());
    EXPECT_TRUE(parse_header("Subject: no line end").empty());
}

TEST(HeaderValue, FirstOccurrenceWins) {
    HeaderTable t = parse_header("Subject: a\nSUBJECT: b\nX:\n\n");
    EXPECT_EQ("a", header_value(t, "subject"));
    EXPECT_EQ("", header_value(t, "x"));
    EXPECT_EQ("", header_value(t, "date"));
    EXPECT_EQ("", header_value(t, ""));  // non-field lines are never found
    EXPECT_EQ("first\n\tsecond", header_value(parse_header("Subject:  \tfirst\n\tsecond\n"), "subject"));
}

TEST(MessageIdOf, OneBracketEachSide) {
    auto id = [](const std::string& field) { return message_id_of(parse_header(field + "\n")); };
    EXPECT_EQ("abc.host", id("Message-ID: <ABC.Host>"));
    EXPECT_EQ("abc", id("Message-ID: abc"));
    EXPECT_EQ("", id("Message-ID: <>"));
    EXPECT_EQ("", id("Message-ID: >"));
    EXPECT_EQ("<a>", id("Message-ID: <<a>>"));
    EXPECT_EQ("abc.host> (comment)", id("Message-ID: <abc.host> (comment)"));
    EXPECT_EQ("", id("Subject: x"));
}

TEST_F(SelectMessage, DateLimitsApplyToTheUtcDay) {
    options.has_min_date = true;
    options.min_date = {2024, 1, 1};
    EXPECT_TRUE(select_message(block("Sun, 31 Dec 2023 23:30:00 -0100")));
    EXPECT_FALSE(select_message(block("Mon, 01 Jan 2024 00:30:00 +0100")));
    EXPECT_FALSE(select_message("From: a@b\n\n"));  // no date: 1980-01-01
    EXPECT_EQ(1, selection.message_counter);

    options = Options{};
    options.has_max_date = true;
    options.max_date = {2024, 1, 1};
    EXPECT_TRUE(select_message(block("Mon, 01 Jan 2024 23:59:59 +0000")));
    EXPECT_FALSE(select_message(block("Tue, 02 Jan 2024 00:00:00 +0000")));
    EXPECT_FALSE(select_message(block("Mon, 01 Feb 2024 00:00:00 +0000")));
    EXPECT_FALSE(select_message(block("Mon, 01 Jan 2025 00:00:00 +0000")));
    EXPECT_TRUE(select_message(block("Sun, 31 Dec 2023 00:00:00 +0000")));
}

TEST_F(SelectMessage, MessageIdFilter) {
    options.message_id_filter = MessageIdFilter::ALL_MATCHES;
    options.message_id = "abc@host";
    EXPECT_FALSE(select_message(block("1 Jan 2024 10:00 +0000", "Message-ID: <other@host>\n")));
    std::optional<MessageInfo> info = select_message(block("1 Jan 2024 10:00 +0000", "Message-ID: <ABC@Host>\n"));
    ASSERT_TRUE(info);
    EXPECT_EQ("abc@host", info->message_id);
    EXPECT_FALSE(selection.stop_after_match);

    options.message_id_filter = MessageIdFilter::STOP_AFTER_FIRST;
    EXPECT_TRUE(select_message(block("1 Jan 2024 10:00 +0000", "Message-ID: <abc@host>\n")));
    EXPECT_TRUE(selection.stop_after_match);

    options.message_id = "<abc@host>";  // brackets given on the command line never match
    EXPECT_FALSE(select_message(block("1 Jan 2024 10:00 +0000", "Message-ID: <abc@host>\n")));
}

TEST_F(SelectMessage, RunningNumbersCountOnlySelected) {
    options.numbering = true;
    options.has_min_date = true;
    options.min_date = {2024, 1, 1};
    EXPECT_EQ("00000001", select_message(block("1 Jan 2024 10:00 +0000"))->file_name);
    EXPECT_FALSE(select_message(block("1 Jan 2023 10:00 +0000")));
    EXPECT_EQ("00000002", select_message(block("1 Jan 2024 10:00 +0000", "Subject: ignored\n"))->file_name);
    std::optional<MessageInfo> third = select_message(block("1 Jan 2024 10:00 +0000"));
    EXPECT_EQ("00000003", third->file_name);
    EXPECT_EQ("", third->subject);
    selection.message_counter = 123456788;
    EXPECT_EQ("123456789", select_message(block("1 Jan 2024 10:00 +0000"))->file_name);
}

TEST_F(SelectMessage, NamesFromTheSubject) {
    std::optional<MessageInfo> info =
        select_message(block("Mon, 01 Jan 2024 10:00:00 +0100", "Subject: =?utf-8?q?Gr=C3=BC=C3=9Fe?=\n"));
    ASSERT_TRUE(info);
    EXPECT_EQ("Gr\xFC\xDF" "e", info->subject);
    EXPECT_EQ("Gr\xFC\xDF" "e_582148001", info->file_name);
    EXPECT_EQ(1, info->zone_hours);
    EXPECT_EQ(9, info->date.hour);
    EXPECT_EQ("", info->message_id);

    EXPECT_EQ("[no subject]_002100000", select_message("\n")->file_name);
    EXPECT_EQ("[no subject]_002100000[2]", select_message("Subject:\n\n")->file_name);
    EXPECT_EQ("a b_002100000", select_message("Subject: a\n b\n\n")->file_name);
    EXPECT_EQ("x_002100000", select_message("Date : \nSubject: x\nSubject: y\n\n")->file_name);
    EXPECT_EQ(5, selection.message_counter);
}

// Blocks stitched from the pieces that trip parsers: whatever comes out must
// still be a name Windows can create, within the budget plus suffix and counter.
TEST_F(SelectMessage, HostileBlocksStillGiveUsableNames) {
    const std::string_view pieces[] = {"=?", "?=", "?q?", "?B?", "utf-8", "=C3", "=A4", "w6Q=", "\"", ":",
                                       "\n", "\n ", " ", "\t", "Date: ", "Subject: ", "Re: ", "NUL.",
                                       std::string_view("\0", 1), "\xFF", "\x80", "/", "*", "<>", "..",
                                       "1 Jan 2024 10:00 -0530", "x"};
    unsigned seed = 12345;
    for (int round = 0; round < 3000; ++round) {
        std::string text = "Subject: ";
        int count = static_cast<int>(seed % 40);
        for (int k = 0; k < count; ++k) {
            seed = seed * 1103515245u + 12345u;
            text += pieces[(seed >> 16) % std::size(pieces)];
        }
        std::optional<MessageInfo> info = select_message(text + "\n\n");
        ASSERT_TRUE(info);
        const std::string& name = info->file_name;
        std::size_t end = name.back() == ']' ? name.rfind('[') : name.size();  // without the counter
        ASSERT_GE(end, 11u) << name;
        ASSERT_LE(end, 46u + 10u) << text;
        ASSERT_EQ('_', name[end - 10]) << name;
        ASSERT_TRUE(is_windows_file_name(name + settings.file_extension)) << name;
    }
}
