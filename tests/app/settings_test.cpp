#include "app/settings.h"

#include <gtest/gtest.h>

#include "tests/app/app_test_support.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { reset_app_state(); }
    void TearDown() override { reset_app_state(); }

    // The error text of applying `text`, or "" when it applied cleanly.
    static std::string apply(std::string_view text) {
        return apply_settings(parse_settings_text(text)).value_or("");
    }
};

//--- reading

TEST_F(SettingsTest, SectionsAndEntriesAsWritten) {
    const SettingsFile file = parse_settings_text(
        "top line\n"
        "\n"
        "[MailFiles] trailing text\n"
        "; a comment\n"
        "  FileExtension \t=  txt \r\n"
        "no equals sign\n"
        "[other]\n");
    ASSERT_EQ(SettingsStatus::PARSED, file.status);
    ASSERT_EQ(3u, file.sections.size());
    EXPECT_EQ("", file.sections[0].name);
    ASSERT_EQ(1u, file.sections[0].entries.size());
    EXPECT_EQ("top line", file.sections[0].entries[0].value);
    EXPECT_EQ("MailFiles", file.sections[1].name);
    ASSERT_EQ(3u, file.sections[1].entries.size());
    EXPECT_EQ("", file.sections[1].entries[0].key);
    EXPECT_EQ("; a comment", file.sections[1].entries[0].value);
    EXPECT_EQ("FileExtension", file.sections[1].entries[1].key);
    EXPECT_EQ("txt", file.sections[1].entries[1].value);
    EXPECT_EQ("", file.sections[1].entries[2].key);
    EXPECT_EQ("no equals sign", file.sections[1].entries[2].value);
    EXPECT_EQ("other", file.sections[2].name);
    EXPECT_TRUE(file.sections[2].entries.empty());
}

TEST_F(SettingsTest, NoSection) {
    EXPECT_EQ(SettingsStatus::NO_SECTION, parse_settings_text("").status);
    EXPECT_EQ(SettingsStatus::NO_SECTION, parse_settings_text("; only a comment\n\n").status);
    EXPECT_EQ(SettingsStatus::NO_SECTION, parse_settings_text("fileextension=txt").status);
}

TEST_F(SettingsTest, LineNumbersCountBlankAndCommentLines) {
    SettingsFile file = parse_settings_text("; c\n\n[mailfiles]\n\n[mailfiles\n");
    EXPECT_EQ(SettingsStatus::INVALID_SECTION, file.status);
    EXPECT_EQ(5, file.line);
    file = parse_settings_text("\r\n\r\n[]\r\n");
    EXPECT_EQ(SettingsStatus::INVALID_SECTION, file.status);
    EXPECT_EQ(3, file.line);
}

TEST_F(SettingsTest, DuplicatesIgnoreCase) {
    SettingsFile file = parse_settings_text("[mailfiles]\nFileExtension=a\n; x\nfileextension=b\n");
    EXPECT_EQ(SettingsStatus::DUPLICATE_NAME, file.status);
    EXPECT_EQ(4, file.line);
    file = parse_settings_text("[MailFiles]\n[mailFILES]\n");
    EXPECT_EQ(SettingsStatus::DUPLICATE_NAME, file.status);
    EXPECT_EQ(2, file.line);
    // the same key in another section is no duplicate
    EXPECT_EQ(SettingsStatus::PARSED, parse_settings_text("[a]\nk=1\n[b]\nk=2\n").status);
}

TEST_F(SettingsTest, EmptyKeyWithEqualsCollidesWithAComment) {
    const SettingsFile file = parse_settings_text("[mailfiles]\n; note\n= value\n");
    EXPECT_EQ(SettingsStatus::DUPLICATE_NAME, file.status);
    EXPECT_EQ(3, file.line);
}

TEST_F(SettingsTest, SectionNamesAreNotTrimmed) {
    EXPECT_EQ("Unbekannter Abschnitt ' mailfiles '.", apply("[ mailfiles ]\n"));
    EXPECT_EQ("", apply("[mailfiles] extra\nfileextension=msg\n"));
    EXPECT_EQ(".msg", settings.file_extension);
}

TEST_F(SettingsTest, ByteOrderMarkIsSkipped) {
    // Through a real file: the POSIX build converts UTF-8 as it reads.
    ScratchDir scratch{"settings-bom"};
    write_file(scratch.file("parcelo.ini"), "\xEF\xBB\xBF[mailfiles]\nfileextension=txt\n");
    EXPECT_EQ("", apply_settings(read_settings_file(scratch.file("parcelo.ini"))).value_or(""));
    EXPECT_EQ(".txt", settings.file_extension);
}

// The same file as editors save it: UTF-8 with and without byte order mark, and cp1252.
TEST_F(SettingsTest, Utf8AndAnsiFilesReadAlike) {
    ScratchDir scratch{"settings-encodings"};
    const std::string path = scratch.file("parcelo.ini");
    const std::string utf8 = "[mailfiles]\nFileExtension = .m\xC3\xA4rz\nReplaceInFilename = \"\xC3\x9F_\"\n";
    for (const std::string& content : {"\xEF\xBB\xBF" + utf8, utf8,
                                       std::string("[mailfiles]\nFileExtension = .m\xE4rz\nReplaceInFilename = \"\xDF_\"\n")}) {
        reset_app_state();
        write_file(path, content);
        EXPECT_EQ("", apply_settings(read_settings_file(path)).value_or(""));
        EXPECT_EQ(".m\xE4rz", settings.file_extension);
        EXPECT_EQ("\xDF", settings.replace_from);
        EXPECT_EQ("_", settings.replace_to);
    }
    // A character the code page lacks (here a Cyrillic one) leaves its item unusable.
    write_file(path, "[mailfiles]\nFileExtension = .\xD0\xB6\n");
    EXPECT_EQ("Ung\xFCltige Dateierweiterung '.?'.", apply_settings(read_settings_file(path)).value_or(""));
}

TEST_F(SettingsTest, MissingFileOrDirectoryChangesNothing) {
    ScratchDir scratch{"settings-missing"};
    std::filesystem::create_directory(scratch.path / "folder.ini");
    for (const char* name : {"parcelo.ini", "folder.ini"}) {
        const SettingsFile file = read_settings_file(scratch.file(name));
        EXPECT_EQ(SettingsStatus::FILE_MISSING, file.status) << name;
        EXPECT_EQ("", apply_settings(file).value_or("")) << name;
    }
    EXPECT_EQ(".eml", settings.file_extension);
    EXPECT_EQ(7u, settings.prefixes_to_remove.size());
}

TEST_F(SettingsTest, ReadsTheFile) {
    ScratchDir scratch{"settings-read"};
    write_file(scratch.file("parcelo.ini"), "[MailFiles]\r\nFileExtension = txt\r\n");
    const SettingsFile file = read_settings_file(scratch.file("parcelo.ini"));
    ASSERT_EQ(SettingsStatus::PARSED, file.status);
    EXPECT_EQ("", apply_settings(file).value_or(""));
    EXPECT_EQ(".txt", settings.file_extension);
}

//--- applying

TEST_F(SettingsTest, ErrorTexts) {
    EXPECT_EQ("Keinen Abschnitt gefunden.", apply("; nothing\n"));
    EXPECT_EQ("Ung\xFCltiger Abschnitt in Zeile 2.", apply("\n[x\n"));
    EXPECT_EQ("Doppelter Name in Zeile 3.", apply("[a]\n[b]\n[A]\n"));
    EXPECT_EQ("Unbekannter Abschnitt 'Extra'.", apply("[mailfiles]\n[Extra]\n"));
    EXPECT_EQ("Unbekannter Schl\xFCssel 'Colour'.", apply("[mailfiles]\nColour=red\n"));
}

TEST_F(SettingsTest, UnknownSectionWinsOverAnEarlierUnknownKey) {
    EXPECT_EQ("Unbekannter Abschnitt 'z'.", apply("[mailfiles]\nbad=1\n[z]\n"));
}

TEST_F(SettingsTest, LinesBeforeTheFirstHeaderAreIgnored) {
    EXPECT_EQ("", apply("fileextension=txt\n[mailfiles]\n"));
    EXPECT_EQ(".eml", settings.file_extension);
}

TEST_F(SettingsTest, FileExtensionForms) {
    struct Case {
        const char* value;
        const char* extension;
    };
    for (const Case& c : {Case{"txt", ".txt"}, Case{"..msg", ".msg"}, Case{"", ""}, Case{".", ""},
                          Case{"...", ""}, Case{"TXT", ".TXT"}, Case{"a.b", ".a.b"}}) {
        reset_app_state();
        EXPECT_EQ("", apply(std::string("[mailfiles]\nfileextension=") + c.value + "\n"));
        EXPECT_EQ(c.extension, settings.file_extension) << c.value;
    }
}

TEST_F(SettingsTest, ExtensionsNoFileNameCanHoldAreRefused) {
    for (const char* value : {"../../evil", "..\\evil", "a/b", "e:ml", "txt.", "t*t", "e\x01l"}) {
        reset_app_state();
        EXPECT_EQ(std::string("Ung\xFCltige Dateierweiterung '") + value + "'.",
                  apply(std::string("[mailfiles]\nfileextension=") + value + "\n"));
    }
}

TEST_F(SettingsTest, PrefixListsWithQuotesAndCommas) {
    EXPECT_EQ("", apply("[mailfiles]\nPrefixesToRemove = Re:, \"Antw:\" , 'WG:', \"a,b\", 'x\"y'\n"));
    EXPECT_EQ((std::vector<std::string>{"re:", "antw:", "wg:", "a,b", "x\"y"}), settings.prefixes_to_remove);
}

TEST_F(SettingsTest, UnclosedQuoteRunsToTheEnd) {
    EXPECT_EQ("", apply("[mailfiles]\nprefixestoremove=re:,\"fw:,aw:\n"));
    EXPECT_EQ((std::vector<std::string>{"re:", "\"fw:,aw:"}), settings.prefixes_to_remove);
}

TEST_F(SettingsTest, EmptyPrefixItemIsAnError) {
    const std::string error = "Ein Pr\xE4""fix mit einem Komma muss in Anf\xFChrungszeichen eingeschlossen sein.";
    EXPECT_EQ(error, apply("[mailfiles]\nprefixestoremove=re:,,fw:\n"));
    EXPECT_EQ(error, apply("[mailfiles]\nprefixestoremove=\"\"\n"));
    EXPECT_EQ(error, apply("[mailfiles]\nprefixestoremove=re:, \t\n"));
}

TEST_F(SettingsTest, PrefixKeyPresenceDecides) {
    EXPECT_EQ("", apply("[mailfiles]\nprefixestoremove=\n"));
    EXPECT_TRUE(settings.prefixes_to_remove.empty());
    reset_app_state();
    EXPECT_EQ("", apply("[mailfiles]\nfileextension=txt\n"));
    EXPECT_EQ((std::vector<std::string>{"re:", "re[2]:", "re[3]:", "re[4]:", "fw:", "fwd:", "aw:"}),
              settings.prefixes_to_remove);
}

TEST_F(SettingsTest, ReplacementsOfExactlyFourCharacters) {
    struct Case {
        const char* value;
        const char* from;
        const char* to;
        char space;
        const char* ellipsis;
    };
    for (const Case& c : {
             // only quote-x-y-quote items count; blank and dot also set the space and the mark
             Case{"\" _\", \"._\", \"ab\"x, \"abc\", 'cd', \"e\", \",;\"", " .,", "__;", '_', "___"},
             Case{"\"&+\"", "&", "+", ' ', "..."},
             // a target no file name can hold is dropped: separators, reserved and control characters
             Case{"\"a/\", \" \\\", \".:\", \"b|\", \"c\x01\", \"e-\", \"d\"\"", "e", "-", ' ', "..."},
         }) {
        reset_app_state();
        EXPECT_EQ("", apply(std::string("[mailfiles]\nreplaceinfilename=") + c.value + "\n"));
        EXPECT_EQ(c.from, settings.replace_from) << c.value;
        EXPECT_EQ(c.to, settings.replace_to) << c.value;
        EXPECT_EQ(c.space, settings.space_char) << c.value;
        EXPECT_EQ(c.ellipsis, settings.ellipsis) << c.value;
    }
}

TEST_F(SettingsTest, ReplacementContradiction) {
    EXPECT_EQ("Widerspruch ob 'a' ersetzt werden soll oder nicht.",
              apply("[mailfiles]\nreplaceinfilename=\"ab\",\"ba\"\n"));
    reset_app_state();
    EXPECT_EQ("Widerspruch ob 'x' ersetzt werden soll oder nicht.",
              apply("[mailfiles]\nreplaceinfilename=\"xx\"\n"));
    // A replacement no name can hold is dropped only after the check, so it hides nothing.
    reset_app_state();
    EXPECT_EQ("Widerspruch ob 'b' ersetzt werden soll oder nicht.",
              apply("[mailfiles]\nreplaceinfilename=\"ab\",\"b:\"\n"));
    reset_app_state();
    EXPECT_EQ("Widerspruch ob '\"' ersetzt werden soll oder nicht.",
              apply("[mailfiles]\nreplaceinfilename=\"\"\"\"\n"));
}

TEST_F(SettingsTest, MaxFilenameLengthEdges) {
    struct Case {
        const char* value;
        int length;
    };
    for (const Case& c : {Case{"20", 20}, Case{"120", 120}, Case{"19", 60}, Case{"121", 60}, Case{"50.5", 60},
                          Case{"abc", 60}, Case{"", 60}, Case{"100.0", 100}, Case{"-50", 60}}) {
        reset_app_state();
        EXPECT_EQ("", apply(std::string("[mailfiles]\nmaxfilenamelength=") + c.value + "\n"));
        EXPECT_EQ(c.length, settings.max_filename_length) << c.value;
    }
}

TEST_F(SettingsTest, MaxMailboxSizeValues) {
    struct Case {
        const char* value;
        int gib;
    };
    for (const Case& c : {Case{"0", 0}, Case{"1", 1}, Case{"2", 2}, Case{"5", 5}, Case{"1000000", 1000000},
                          Case{"1000001", 2}, Case{"-1", 2}, Case{"2.5", 2}, Case{"10.0", 10},
                          Case{"viel", 2}, Case{"", 2}}) {
        reset_app_state();
        EXPECT_EQ("", apply(std::string("[MailBoxes]\nMaxMailboxSize = ") + c.value + "\n"));
        EXPECT_EQ(c.gib, settings.max_mailbox_size) << c.value;
    }
    // Next to [mailfiles], before or after it; only its own key, once.
    reset_app_state();
    EXPECT_EQ("", apply("[mailboxes]\nmaxmailboxsize=0\n[mailfiles]\nfileextension=txt\n"));
    EXPECT_EQ(0, settings.max_mailbox_size);
    EXPECT_EQ(".txt", settings.file_extension);
    EXPECT_EQ("Unbekannter Schl\xFCssel 'FileExtension'.", apply("[mailfiles]\n[Mailboxes]\nFileExtension=x\n"));
    EXPECT_EQ("Unbekannter Schl\xFCssel 'maxmailboxsize'.", apply("[mailfiles]\nmaxmailboxsize=0\n"));
    EXPECT_EQ("Doppelter Name in Zeile 3.", apply("[Mailboxes]\nMaxMailboxSize=0\nmaxmailboxsize=1\n"));
    EXPECT_EQ("Doppelter Name in Zeile 3.", apply("[Mailboxes]\n[mailfiles]\n[MAILBOXES]\n"));
}

// Writers takes whole numbers 1 to 64 and Unicode only 1; any other value leaves the default.
TEST_F(SettingsTest, WritersAndUnicodeValues) {
    const struct {
        std::string key;
        const char* value;
        int taken;
    } cases[] = {
        {"[Mailboxes]\nWriters", "1", 1}, {"[Mailboxes]\nWriters", "64", 64}, {"[Mailboxes]\nWriters", "4.0", 4},
        {"[Mailboxes]\nWriters", "0", 0}, {"[Mailboxes]\nWriters", "65", 0},  {"[Mailboxes]\nWriters", "2.5", 0},
        {"[Mailboxes]\nWriters", "-3", 0}, {"[Mailboxes]\nWriters", "vier", 0}, {"[Mailboxes]\nWriters", "", 0},
        {"[NAMES]\nUnicode", "1", 1},     {"[NAMES]\nUnicode", " 1.0", 1},    {"[NAMES]\nUnicode", "0", 0},
        {"[NAMES]\nUnicode", "2", 0},     {"[NAMES]\nUnicode", "ja", 0},      {"[NAMES]\nUnicode", "", 0},
    };
    for (const auto& c : cases) {
        reset_app_state();
        EXPECT_EQ("", apply(c.key + " = " + c.value + "\n"));
        const int taken = c.key.ends_with("Writers") ? settings.writers : int{settings.unicode_names};
        EXPECT_EQ(c.taken, taken) << c.key << c.value;
    }
    const int cores = writer_count();  // the default: one per processor, at most 8
    EXPECT_TRUE(cores >= 1 && cores <= 8) << cores;
    EXPECT_EQ("Doppelter Name in Zeile 3.", apply("[Mailboxes]\nWriters=2\nwriters=3\n"));
    reset_app_state();
    EXPECT_EQ("Unbekannter Schl\xFCssel 'Unicode'.", apply("[mailfiles]\nUnicode=1\n"));
    EXPECT_EQ("Unbekannter Schl\xFCssel 'maxfilenamelength'.", apply("[Names]\nmaxfilenamelength=50\n"));
}

TEST_F(SettingsTest, MailboxLimitInBytes) {
    const std::uint64_t gib = 1ull << 30;
    EXPECT_FALSE(mailbox_too_large(2 * gib));  // the default: exactly 2 GiB is still read
    EXPECT_TRUE(mailbox_too_large(2 * gib + 1));
    settings.max_mailbox_size = 5;
    EXPECT_FALSE(mailbox_too_large(5 * gib));
    EXPECT_TRUE(mailbox_too_large(5 * gib + 1));
    settings.max_mailbox_size = 1000000;
    EXPECT_TRUE(mailbox_too_large(1000000 * gib + 1));
    settings.max_mailbox_size = 0;
    EXPECT_FALSE(mailbox_too_large(UINT64_MAX));
}

TEST_F(SettingsTest, NameBudget) {
    EXPECT_FALSE(check_name_budget());
    EXPECT_EQ(46, settings.name_budget);
    // 20 - (12 + 10) is below 3
    settings.max_filename_length = 20;
    settings.file_extension = ".abcdefghijk";
    EXPECT_EQ("Die Erweiterung ist zu lang oder der Wert von 'MaxFilenameLength' ist zu klein.",
              check_name_budget().value_or(""));
    settings.file_extension = ".abcdefg";  // 20 - 18 = 2
    EXPECT_TRUE(check_name_budget());
    settings.file_extension = ".abcdef";  // 20 - 17 = 3
    EXPECT_FALSE(check_name_budget());
    EXPECT_EQ(3, settings.name_budget);
}

TEST_F(SettingsTest, ErrorFrame) {
    EXPECT_EQ("Fehler in der Datei 'C:\\x %d.ini':\nDoppelter Name in Zeile 4.\nProgramm abgebrochen.",
              settings_error_text("C:\\x %d.ini", "Doppelter Name in Zeile 4."));
}

using SettingsDeathTest = SettingsTest;

TEST_F(SettingsDeathTest, LoadSettingsEndsOnError) {
    ScratchDir scratch{"settings-death"};
    const std::string ini = scratch.file("parcelo.ini");
    write_file(ini, "; only a comment\n");
    EXPECT_EXIT(
        {
            print_boxes_at_exit();
            load_settings(ini);
        },
        ::testing::ExitedWithCode(3),
        "BOX<Fehler in der Datei '.*parcelo\\.ini':\nKeinen Abschnitt gefunden\\.\nProgramm abgebrochen\\.>");
}

}  // namespace
