#include "tests/mailbox/scratch.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "app/messages.h"
#include "message/file_names.h"
#include "platform/failure_reasons.h"
#include "platform/file_system.h"

namespace {

class WriterTest : public MailboxTest {
protected:
    // Feeds write_line and gives back what reached the file and the expected count.
    std::pair<std::string, std::uint64_t> written(std::initializer_list<std::string_view> lines) {
        std::FILE* out = open_file(path("lines"), "wb");
        std::uint64_t expected = 0;
        for (std::string_view line : lines) expected += write_line(out, line);
        expected += write_line(out, {}, true);
        std::fclose(out);
        return {read_file("lines"), expected};
    }
};

std::string message(int n) {
    return "From a\nDate: Sat, 3 Feb 2001 04:05:06 +0000\nFrom: b\nSubject: " + std::to_string(n) + "\n\nbody\n";
}

}  // namespace

TEST_F(WriterTest, HeldLineEndsEveryFileWithALineEnd) {
    std::FILE* out = open_file(path("held"), "wb");
    EXPECT_EQ(0u, write_line(out, "a\n"));
    EXPECT_EQ(3u, write_line(out, "b"));  // "a" CR LF
    EXPECT_EQ(3u, write_line(out, {}, true));  // "b" and the added line end
    EXPECT_EQ(0u, write_line(out, {}, true));  // nothing held any more
    std::fclose(out);
    EXPECT_EQ("a\r\nb\r\n", read_file("held"));
}

TEST_F(WriterTest, LastLineRules) {
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"x\r\n", 3}), written({"x\n", ".\n"}));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"x\r\n", 3}), written({"x\n", "."}));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{".\r\nx\r\n", 6}), written({".\n", "x\n"}));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"x\r\n..\r\n", 7}), written({"x\n", "..\n"}));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"", 0}), written({""}));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"\r\n\r\n", 4}), written({"\n", "\n"}));
    // Ctrl-Z becomes a visible mark, and the count follows it.
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"a<EOF>b\r\n<EOF>\r\n", 16}),
              written({"a\x1A" "b\n", "\x1A"}));
}

TEST_F(WriterTest, MessageFileContentCountAndTime) {
    options.numbering = true;
    splitter.target_dir = path();
    std::string body = "line\x1A\n.\nlast .\n";
    std::string box = message(1) + body + message(2) + ".\n";
    EXPECT_EQ(SplitResult::END_OF_FILE, split_mailbox(write_file("box", box), path("x"), SeparatorPolicy::STRICT));
    EXPECT_EQ("Date: Sat, 3 Feb 2001 04:05:06 +0000\r\nFrom: b\r\nSubject: 1\r\n\r\nbody\r\nline<EOF>\r\n.\r\nlast .\r\n",
              read_file("00000001.eml"));
    EXPECT_EQ("Date: Sat, 3 Feb 2001 04:05:06 +0000\r\nFrom: b\r\nSubject: 2\r\n\r\nbody\r\n", read_file("00000002.eml"));
    EXPECT_EQ(0, run_state.error_count);
    // The UTC date of the message, taken as local time.
    DirListing listing = list_dir(path("00000002.eml"));
    ASSERT_TRUE(listing && listing->size() == 1);
    const DirEntry& entry = listing->front();
    EXPECT_EQ((std::vector<int>{2001, 2, 3, 4, 5, 6}),
              (std::vector<int>{entry.year, entry.month, entry.day, entry.hour, entry.minute, entry.second}));
}

TEST_F(WriterTest, ExistingFileIsReplaced) {
    options.numbering = true;
    splitter.target_dir = path();
    write_file("00000001.eml", std::string(5000, 'x'));
    EXPECT_EQ(SplitResult::END_OF_FILE, split_mailbox(write_file("box", message(1)), path("x"), SeparatorPolicy::STRICT));
    EXPECT_EQ("Date: Sat, 3 Feb 2001 04:05:06 +0000\r\nFrom: b\r\nSubject: 1\r\n\r\nbody\r\n", read_file("00000001.eml"));
}

TEST_F(WriterTest, CreationErrorAsksAndSkipsOrStops) {
    options.numbering = true;
    splitter.target_dir = path();
    std::filesystem::create_directory(dir_ / "00000001.eml");  // blocks the first name
    std::string box = write_file("box", message(1) + message(2));
    EXPECT_EQ(SplitResult::END_OF_FILE, split_mailbox(box, path("x"), SeparatorPolicy::STRICT));
    EXPECT_EQ(1, run_state.error_count);
    ASSERT_EQ(1u, fake_ui.boxes.size());
    // A directory in the way: Windows calls that a refused access, POSIX gives no common cause.
    const std::string reason = path_separator == '\\' ? "\n(Zugriff verweigert)" : "";
    EXPECT_EQ(format_text(MSG_CREATE_FILE, path("00000001.eml")) + reason + QUESTION_SUFFIX, fake_ui.boxes[0]);
    EXPECT_TRUE(read_file("00000002.eml").find("Subject: 2") != std::string::npos);

    selection.message_counter = 0;
    fake_ui.answer_yes = false;
    EXPECT_EQ(SplitResult::STOP_AFTER_CREATE_ERROR, split_mailbox(box, path("x"), SeparatorPolicy::STRICT));
    EXPECT_EQ(2, run_state.error_count);

    // A directory that is gone is not a full disk on a volume that has room.
    options.no_ask = true;
    splitter.target_dir = path("gone") + path_separator;
    selection.message_counter = 0;
    EXPECT_EQ(SplitResult::END_OF_FILE, write_message(MessageInfo{}, splitter.target_dir));
    EXPECT_EQ(3, run_state.error_count);
}

TEST_F(WriterTest, FatEntriesCountTheNewNameOrThePreviousNumber) {
    std::string folder = path();
    std::uint64_t present = count_dir_slots(folder + "*.*");
    EXPECT_LT(0u, present);
    // 34 characters need three long-name slots and the short one.
    EXPECT_EQ(present + 4, fat_entries_needed(folder, std::string(30, 'n') + ".eml"));

    engine_settings.numbering = true;
    write_file("00000001.eml", "x");
    present = count_dir_slots(folder + "*.*");
    selection.message_counter = 2;
    EXPECT_EQ(present + count_dir_slots(folder + "00000001.eml"), fat_entries_needed(folder, "00000002.eml"));
    selection.message_counter = 1;
    EXPECT_EQ(present, fat_entries_needed(folder, "00000001.eml"));
}

namespace {

// Every file (not directory) of a folder with its bytes and last-write time (local, as listed).
std::map<std::string, std::string> files_with_times(const std::string& folder) {
    std::map<std::string, std::string> files;
    DirListing listing = list_dir(folder + "*.*");
    if (!listing) return files;
    for (const DirEntry& entry : *listing) {
        if (entry.attributes.find('d') != std::string::npos) continue;
        std::ifstream in(folder + entry.name, std::ios::binary);
        files[entry.name] = std::string(std::istreambuf_iterator<char>(in), {}) + "@" + std::to_string(entry.year) +
                            "-" + std::to_string(entry.minute) + ":" + std::to_string(entry.second);
    }
    return files;
}

}  // namespace

TEST_F(WriterTest, WriterThreadsWriteWhatOneWriterWrites) {
    std::string box;
    for (int n = 1; n <= 60; ++n) {
        char date[64];
        std::snprintf(date, sizeof date, "Date: Sat, 3 Feb 2001 04:%02d:06 +0000\n", n % 60);
        const std::string header = date + ("From: b\nSubject: " + std::to_string(n) + "\n\n");
        box += "From a\n" + header;
        if (n >= 51 && n <= 53) {  // files of a block less one byte, a block, a block and one byte
            std::size_t on_disk = header.size() + std::count(header.begin(), header.end(), '\n');
            box += std::string(WRITE_BLOCK - on_disk - 2 + (n - 52), 'w') + "\n";
            continue;
        }
        box += n % 7 == 0 ? std::string(3000 + n, 'x') + "\r\n" : "body \x1A\r\n";
        if (n == 30) for (int line = 0; line < 6000; ++line) box += std::string(99, 'y') + "\n";
        if (n == 45) box += std::string(700 * 1024, 'z') + "\n";  // longer than the reader's buffer
        if (n % 5 == 0) box += ".\n";
    }
    // The last line has no end: the CR LF added once the end is found makes the file one
    // byte longer than a block.
    const std::string last = "Date: Sat, 3 Feb 2001 04:05:06 +0000\nFrom: b\n\n";
    box += "From a\n" + last + std::string(WRITE_BLOCK - last.size() - 3 - 1, 'u');
    std::string mailbox = write_file("box", box);
    struct Case {
        int writers;
        std::size_t budget;  // 100: one file in flight at a time
    };
    std::map<std::string, std::string> one;
    for (const Case& c : {Case{1, 64 << 20}, Case{3, 64 << 20}, Case{3, 100}, Case{2, 1}}) {
        SCOPED_TRACE(c.writers * 1000 + c.budget);
        reset_globals();
        clear_registry();
        engine_settings.writers = c.writers;
        engine_settings.write_budget = c.budget;
        std::string folder = path(std::to_string(c.writers) + "-" + std::to_string(c.budget)) + path_separator;
        splitter.target_dir = folder;
        EXPECT_EQ(SplitResult::END_OF_FILE, split_mailbox(mailbox, folder, SeparatorPolicy::STRICT));
        EXPECT_EQ(0, run_state.error_count);
        std::map<std::string, std::string> files = files_with_times(folder);
        EXPECT_EQ(61u, files.size());
        std::multiset<std::size_t> sizes;
        for (const auto& [name, bytes] : files) sizes.insert(bytes.find_last_of('@'));
        EXPECT_EQ(1u, sizes.count(WRITE_BLOCK - 1));
        EXPECT_EQ(1u, sizes.count(WRITE_BLOCK));
        EXPECT_EQ(2u, sizes.count(WRITE_BLOCK + 1));
        if (c.writers == 1) one = files;
        else EXPECT_EQ(one, files);
    }
}

TEST_F(WriterTest, WriterThreadsReportFailedFilesInOrderAndStopOnNo) {
    std::string box;
    for (int n = 1; n <= 8; ++n) box += message(n);
    std::string mailbox = write_file("box", box);
    for (int writers : {1, 3}) {
        for (bool yes : {true, false}) {
            SCOPED_TRACE(std::to_string(writers) + (yes ? " yes" : " no"));
            reset_globals();
            options.numbering = true;
            engine_settings.writers = writers;
            fake_ui.answer_yes = yes;
            std::string folder = path(std::to_string(writers) + (yes ? "y" : "n")) + path_separator;
            splitter.target_dir = folder;
            std::filesystem::create_directories(folder + "00000003.eml");  // the names are taken
            std::filesystem::create_directories(folder + "00000005.eml");
            EXPECT_EQ(yes ? SplitResult::END_OF_FILE : SplitResult::STOP_AFTER_CREATE_ERROR,
                      split_mailbox(mailbox, folder, SeparatorPolicy::STRICT));
            // A name taken by a folder: Windows calls it access denied, POSIX gives no reason.
            std::FILE* taken = open_file(folder + "00000003.eml", "wb");
            ASSERT_EQ(nullptr, taken);
            const std::string reason = last_failure_reason();
            auto refusal = [&](const char* name) {
                return with_reason(format_text(MSG_CREATE_FILE, folder + name), reason) + QUESTION_SUFFIX;
            };
            std::vector<std::string> expected{refusal("00000003.eml")};
            if (yes) expected.push_back(refusal("00000005.eml"));
            EXPECT_EQ(expected, fake_ui.boxes);
            EXPECT_EQ(yes ? 2 : 1, run_state.error_count);
            std::map<std::string, std::string> files = files_with_times(folder);
            for (int n : {1, 2}) EXPECT_TRUE(files.count("0000000" + std::to_string(n) + ".eml")) << n;
            // After a no, a later file is there whole or not at all.
            for (int n = 4; n <= 8; ++n) {
                std::string name = "0000000" + std::to_string(n) + ".eml";
                if (n == 5) continue;
                if (yes || files.count(name)) {
                    EXPECT_EQ(0u, read_file(folder.substr(path().size()) + name).find("Date:")) << name;
                }
                if (!yes && writers == 1) {
                    EXPECT_FALSE(files.count(name)) << name;
                }
            }
        }
    }
}
