#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/file_system.h"

// The buffer a message is written into. A message that fits goes to a writer thread in
// the very buffer it was written into, which comes back for another message afterwards:
// no copy, and no memory taken from and given back to the system for every message. A
// larger message is written by the reading thread; there are few, and their bytes, not
// the making of their files, take the time.
constexpr std::size_t WRITE_BLOCK = 256 * 1024;
using WriteBlock = std::unique_ptr<char[]>;

// One message file, whole: what a writer thread needs and nothing of the run.
struct WriteJob {
    std::string path;
    WriteBlock block;  // the bytes as they go on disk: its first `size`
    std::size_t size = 0;
    FileTime time;     // last-write time, already in UTC

    std::string_view data() const { return {block.get(), size}; }
};

enum class WriteStatus { WRITTEN, NOT_CREATED, SHORT, NOT_STAMPED, NOT_STARTED };
struct WriteResult {
    std::string path;
    WriteStatus status = WriteStatus::NOT_STARTED;
    std::uint64_t missing = 0;  // SHORT: bytes that did not reach the file (at least 1)
    std::string reason;         // a failure: why the system refused, noted on the writer's thread
};
bool failed(const WriteResult& result);  // NOT_CREATED, SHORT or NOT_STAMPED

using FileWriter = std::function<WriteResult(const WriteJob&)>;
// Creates, writes, checks the byte count, stamps and closes; a short file stays.
WriteResult write_whole_file(const WriteJob& job);

// Message files written by a few threads, their results taken back in the order given.
// Only the thread that made the queue calls its functions. A failed file holds every later
// start until the caller has decided: go_on, or stop.
class WriteQueue {
public:
    WriteQueue(int writers, std::size_t budget, FileWriter write = write_whole_file);
    ~WriteQueue();  // stops and waits for the writers
    WriteQueue(const WriteQueue&) = delete;
    WriteQueue& operator=(const WriteQueue&) = delete;

    // Another block within the budget, with at most a few waiting for a writer, or nothing
    // in flight; else starts all.
    bool has_room();
    void submit(WriteJob job);        // only when has_room()
    bool pending();                   // results not yet taken
    // The next result in order, waiting for it at most `wait` (and then starting every job
    // given). Nothing when none is pending or the next is not done by then.
    std::optional<WriteResult> take(std::chrono::milliseconds wait);
    void go_on();  // after a failed result: later files may start again
    WriteBlock spare_block();  // one of a job written before, or a new one
    void stop();   // no job not yet started will be; they come back NOT_STARTED

private:
    enum class SlotState { QUEUED, RUNNING, DONE };
    struct Slot {
        WriteJob job;
        WriteResult result;
        SlotState state = SlotState::QUEUED;
    };
    void work();
    void wake_writers(std::unique_lock<std::mutex>& lock, bool all);

    const std::size_t budget_;  // bytes of blocks in flight, beyond one
    const std::size_t ahead_;   // bytes of blocks not yet started, beyond one
    const FileWriter write_;
    std::mutex mutex_;
    std::condition_variable work_ready_, result_ready_;
    std::deque<Slot> slots_;         // from the next result to take to the last job given
    std::uint64_t front_sequence_ = 0;  // of slots_.front(), counting every job given
    std::size_t next_start_ = 0;     // index in slots_ of the next job to start
    std::size_t in_flight_ = 0;      // bytes of blocks given and not yet written
    std::size_t unstarted_bytes_ = 0;
    int idle_ = 0;                   // writers waiting for work
    int unresolved_ = 0;             // failed files the caller has not decided on
    bool stopped_ = false;
    bool closing_ = false;
    std::vector<WriteBlock> spares_;  // blocks of written jobs, kept for the run
    std::vector<std::thread> writers_;
};
