// Hostile subjects through the real splitter, named from the subject: every name Windows
// takes as it stands, no two alike without case, nothing outside the output directory,
// and no message lost to a name it shared with another.
#include <algorithm>
#include <map>

#include "app/settings.h"
#include "message/file_names.h"
#include "tests/mailbox/scratch.h"
#include "tests/property/mailbox_generator.h"
#include "tests/property/mailbox_model.h"
#include "tests/property/windows_names.h"

namespace {

// Names are cp1252 here and something else on disk; our own open converts them.
std::string read_named(const std::string& path) {
    std::string bytes;
    std::FILE* in = open_file(path, "rb");
    if (!in) {
        ADD_FAILURE() << "cannot open " << path;
        return bytes;
    }
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, got);
    std::fclose(in);
    return bytes;
}

class SafeNames : public MailboxTest {
protected:
    void SetUp() override {
        MailboxTest::SetUp();
        options.no_ask = true;
        clear_registry();
    }
    void TearDown() override {
        clear_registry();
        MailboxTest::TearDown();
    }

    // Like a run with /d: every mailbox into one directory, one registry for all.
    void split_all_into(const std::string& folder, const std::vector<std::string>& boxes) {
        splitter = SplitterState{};
        splitter.target_dir = path(folder) + path_separator;
        for (std::size_t k = 0; k < boxes.size(); ++k) {
            reset_held_line();
            std::string name = "box" + std::to_string(k) + ".mbx";
            SplitResult result = split_mailbox(write_file(name, boxes[k]), path(folder), SeparatorPolicy::LENIENT);
            EXPECT_EQ(SplitResult::END_OF_FILE, result) << name;
        }
    }

    // Checks the names in `folder` and returns the contents of its files, sorted.
    std::vector<std::string> checked_files(const std::string& folder) {
        std::vector<std::string> contents;
        DirListing listing = list_dir(path(folder) + path_separator + "*");
        if (!listing) return contents;
        std::map<std::string, std::string> seen;
        for (const DirEntry& entry : *listing) {
            if (entry.name == "." || entry.name == "..") continue;
            EXPECT_EQ(std::string::npos, entry.attributes.find('d')) << "a directory appeared: " << entry.name;
            EXPECT_EQ("", windows_names::fault(entry.name));
            auto [at, fresh] = seen.emplace(windows_names::folded(entry.name), entry.name);
            EXPECT_TRUE(fresh) << entry.name << " and " << at->second << " differ only in case";
            contents.push_back(read_named(path(folder) + path_separator + entry.name));
        }
        std::sort(contents.begin(), contents.end());
        return contents;
    }

    // Only the mailboxes and the output folder: nothing was written beside them.
    void expect_nothing_else(const std::string& folder, std::size_t mailboxes) {
        EXPECT_EQ(mailboxes + 1, files_in(""));
        EXPECT_TRUE(exists(folder));
    }
};

std::vector<std::string> expected_files(const std::vector<std::string>& boxes) {
    std::vector<std::string> files;
    for (const std::string& box : boxes) {
        model::Split split = model::split(box, model::Policy::LENIENT);
        files.insert(files.end(), split.files.begin(), split.files.end());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> hostile_mailboxes(std::uint32_t seed, int count) {
    generator::Random random(seed);
    generator::Shape shape;
    shape.hostile_subjects = true;
    shape.max_messages = 12;
    shape.max_body_lines = 2;
    std::vector<std::string> boxes;
    for (int k = 0; k < count; ++k) boxes.push_back(generator::mailbox(random, shape));
    return boxes;
}

}  // namespace

TEST_F(SafeNames, HostileSubjectsGiveDistinctWindowsNames) {
    std::vector<std::string> boxes = hostile_mailboxes(7, 10);
    split_all_into("out", boxes);
    EXPECT_EQ(expected_files(boxes), checked_files("out"));
    expect_nothing_else("out", boxes.size());
}

TEST_F(SafeNames, ShortNamesAndNoExtensionStayValid) {
    // The tightest budget the settings allow, no extension, and blanks written as "_".
    ASSERT_FALSE(apply_settings(parse_settings_text("[mailfiles]\nfileextension=.\nmaxfilenamelength=20\n"
                                                    "replaceinfilename=\" _\"\n")));
    ASSERT_FALSE(check_name_budget());
    std::vector<std::string> boxes = hostile_mailboxes(8, 8);
    split_all_into("out", boxes);
    EXPECT_EQ(expected_files(boxes), checked_files("out"));
    expect_nothing_else("out", boxes.size());
}

TEST_F(SafeNames, HundredsOfEqualSubjectsStayApart) {
    std::string box;
    for (int k = 0; k < 240; ++k) {
        const char* subject = k % 3 == 0 ? "Hallo" : k % 3 == 1 ? "HALLO" : "h\xC4llo";
        box += "From a\nDate: Mon, 01 Jan 2024 10:00:00 +0100\nFrom: b\nSubject: " + std::string(subject) + "\n\n" +
               std::to_string(k) + "\n";
    }
    split_all_into("out", {box});
    std::vector<std::string> files = checked_files("out");
    EXPECT_EQ(240u, files.size());
    EXPECT_EQ(expected_files({box}), files);
}

TEST_F(SafeNames, NamesFromTheBuilderAreValidForEverySubject) {
    // Straight through the name builder, without the disk: also the names a case-insensitive
    // file system would have merged are told apart here.
    generator::Random random(9);
    std::map<std::string, std::string> seen;
    for (int k = 0; k < 3000; ++k) {
        std::string subject = generator::hostile_subject(random);
        if (random.percent(30)) subject = generator::random_bytes(random, random.below(80), true);
        BuiltName built = build_file_name(subject, DateTime{}, 0);
        std::string name = built.file_name + settings.file_extension;
        EXPECT_EQ("", windows_names::fault(name)) << "subject " << testing::PrintToString(subject);
        auto [at, fresh] = seen.emplace(windows_names::folded(name), name);
        EXPECT_TRUE(fresh) << name << " and " << at->second;
        if (HasFailure()) break;
    }
}
