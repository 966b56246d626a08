// The engine with a host of its own, not the run's: everything it shows, asks and polls goes
// through the host, and the host's answers decide.
#include "tests/mailbox/scratch.h"

namespace {

struct Recorded {
    std::vector<std::uint64_t> positions;
    std::vector<FileResult> reports;
    bool answer = true;
    int polls_left = 1000;  // running() turns false after this many polls
};
Recorded recorded;

EngineHost recording_host() {
    EngineHost host;
    host.progress = [](std::uint64_t position) { recorded.positions.push_back(position); };
    host.running = [] { return --recorded.polls_left >= 0; };
    host.report = [](const FileResult& failed) {
        recorded.reports.push_back(failed);
        return recorded.answer;
    };
    return host;
}

std::string message(int n) {
    return "From a@b Mon Jan  1 10:00:00 2024\nDate: Mon, 1 Jan 2024 10:00:00 +0000\nFrom: a@b\nSubject: " +
           std::to_string(n) + "\n\nbody\n";
}

}  // namespace

using EngineTest = MailboxTest;

TEST_F(EngineTest, HostHearsOfProgressAndFailedFilesAndDecides) {
    const std::string box = message(1) + message(2) + message(3);
    const std::uint64_t second = message(1).size(), third = 2 * message(1).size();
    struct Case {
        bool answer;
        int polls;
        SplitResult result;
        std::vector<std::uint64_t> positions;
        std::size_t reports;
    };
    for (const Case& c : {Case{true, 1000, SplitResult::END_OF_FILE, {second, third}, 1},
                          Case{false, 1000, SplitResult::STOP_AFTER_CREATE_ERROR, {}, 1},
                          Case{true, 0, SplitResult::CANCELLED, {}, 0}}) {
        reset_globals();
        recorded = Recorded{};
        recorded.answer = c.answer;
        recorded.polls_left = c.polls;
        engine_host = recording_host();
        options.numbering = engine_settings.numbering = true;
        splitter.target_dir = path("box") + path_separator;
        std::filesystem::create_directories(dir_ / "box" / "00000001.eml");  // blocks the first name

        EXPECT_EQ(c.result, split_mailbox(write_file("box.mbx", box), path("box"), SeparatorPolicy::STRICT));
        EXPECT_EQ(c.positions, recorded.positions);
        ASSERT_EQ(c.reports, recorded.reports.size());
        if (c.reports == 1) {
            EXPECT_EQ(FileProblem::CREATE, recorded.reports[0].problem);
            EXPECT_EQ(path("box") + path_separator + "00000001.eml", recorded.reports[0].path);
            EXPECT_EQ(splitter.target_dir, recorded.reports[0].directory);
        }
        EXPECT_EQ(c.answer && c.polls > 0, exists("box/00000002.eml"));
        EXPECT_EQ(0, run_state.error_count);  // counting is the host's business
        EXPECT_TRUE(fake_ui.boxes.empty());
        std::filesystem::remove_all(dir_ / "box");
    }
}
