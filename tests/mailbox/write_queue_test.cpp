#include "mailbox/write_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// A writer that writes nothing: each job waits until the test opens its gate, and the
// jobs named in `failing` fail.
struct Gates {
    std::mutex mutex;
    std::condition_variable changed;
    std::set<int> open, started, finished, failing;
    bool all_open = false;

    FileWriter writer() {
        return [this](const WriteJob& job) {
            int n = std::stoi(job.path);
            std::unique_lock lock(mutex);
            started.insert(n);
            changed.notify_all();
            changed.wait(lock, [&] { return all_open || open.count(n) > 0; });
            finished.insert(n);
            changed.notify_all();
            return WriteResult{job.path, failing.count(n) ? WriteStatus::NOT_CREATED : WriteStatus::WRITTEN, 0, {}};
        };
    }
    void release(int n) {
        std::lock_guard lock(mutex);
        open.insert(n);
        changed.notify_all();
    }
    void release_all() {
        std::lock_guard lock(mutex);
        all_open = true;
        changed.notify_all();
    }
    void wait_finished(int n) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return finished.count(n) > 0; });
    }
    std::set<int> started_now() {
        std::lock_guard lock(mutex);
        return started;
    }
};

constexpr std::chrono::hours FOREVER(1);
constexpr std::chrono::milliseconds NOW(0);

WriteJob job(int n) { return {std::to_string(n), std::make_unique<char[]>(WRITE_BLOCK), 1, {}}; }

std::vector<std::string> take_all(WriteQueue& queue, std::vector<WriteStatus>* statuses = nullptr) {
    std::vector<std::string> paths;
    while (std::optional<WriteResult> result = queue.take(FOREVER)) {
        paths.push_back(result->path);
        if (statuses) statuses->push_back(result->status);
    }
    return paths;
}

}  // namespace

TEST(WriteQueue, ResultsComeBackInTheOrderGiven) {
    Gates gates;
    WriteQueue queue(3, 100 << 20, gates.writer());
    for (int n = 0; n < 3; ++n) queue.submit(job(n));
    EXPECT_FALSE(queue.take(std::chrono::milliseconds(1))) << "waiting starts every job given";
    gates.release(2);
    gates.release(1);
    gates.wait_finished(2);
    gates.wait_finished(1);
    EXPECT_FALSE(queue.take(NOW)) << "a later file done must wait for the first";
    gates.release_all();
    for (int n = 3; n < 40; ++n) queue.submit(job(n));
    std::vector<std::string> expected;
    for (int n = 0; n < 40; ++n) expected.push_back(std::to_string(n));
    EXPECT_EQ(expected, take_all(queue));
    EXPECT_FALSE(queue.pending());
}

TEST(WriteQueue, AFailedFileHoldsLaterStartsUntilDecided) {
    for (bool go_on : {true, false}) {
        SCOPED_TRACE(go_on ? "go on" : "stop");
        Gates gates;
        gates.failing = {2};
        gates.release_all();
        WriteQueue queue(2, 1000, gates.writer());
        for (int n = 0; n < 3; ++n) queue.submit(job(n));
        ASSERT_EQ("0", queue.take(FOREVER)->path);
        ASSERT_EQ("1", queue.take(FOREVER)->path);
        std::optional<WriteResult> failure = queue.take(FOREVER);
        ASSERT_EQ("2", failure->path);
        EXPECT_TRUE(failed(*failure));
        for (int n = 3; n < 6; ++n) queue.submit(job(n));
        EXPECT_FALSE(queue.take(NOW)) << "nothing may start before the decision";
        EXPECT_EQ((std::set<int>{0, 1, 2}), gates.started_now());

        if (go_on) queue.go_on();
        else queue.stop();
        std::vector<WriteStatus> statuses;
        EXPECT_EQ((std::vector<std::string>{"3", "4", "5"}), take_all(queue, &statuses));
        WriteStatus later = go_on ? WriteStatus::WRITTEN : WriteStatus::NOT_STARTED;
        EXPECT_EQ((std::vector<WriteStatus>{later, later, later}), statuses);
        EXPECT_EQ(go_on ? (std::set<int>{0, 1, 2, 3, 4, 5}) : (std::set<int>{0, 1, 2}), gates.started_now());
    }
}

TEST(WriteQueue, BlocksInFlightStayWithinTheBudgetAndComeBack) {
    Gates gates;
    {
        WriteQueue queue(4, 2 * WRITE_BLOCK, gates.writer());
        EXPECT_TRUE(queue.has_room());
        queue.submit(job(0));
        queue.submit(job(1));
        EXPECT_FALSE(queue.has_room());  // and starts the jobs that wait
        gates.release(0);
        EXPECT_EQ("0", queue.take(FOREVER)->path);
        EXPECT_TRUE(queue.has_room());
        gates.release_all();
        take_all(queue);
    }
    {
        // One writer, held by the first job: only a few more may wait for it.
        Gates held;
        WriteQueue queue(1, 1000 * WRITE_BLOCK, held.writer());
        queue.submit(job(0));
        queue.take(std::chrono::milliseconds(1));
        int waiting = 0;
        for (; queue.has_room() && waiting < 1000; ++waiting) queue.submit(job(waiting + 1));
        EXPECT_GT(waiting, 1);
        EXPECT_LT(waiting, 100);
        held.release_all();
        take_all(queue);
        EXPECT_TRUE(queue.has_room()) << "nothing in flight: a budget below one block still takes one";
    }
    {
        Gates open;
        open.release_all();
        WriteQueue queue(2, 1, open.writer());
        WriteJob first = job(0);
        const char* block = first.block.get();
        queue.submit(std::move(first));
        take_all(queue);
        EXPECT_EQ(block, queue.spare_block().get()) << "a written job's block is used again";
    }
}
