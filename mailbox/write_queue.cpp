#include "mailbox/write_queue.h"

#include <algorithm>
#include <cstdio>

#include "platform/failure_reasons.h"

namespace {
// A sleeping writer is woken once a few jobs wait, not for every message: waking costs
// about as much as writing a small file. Whoever waits for a result wakes them all.
constexpr std::size_t WAKE_JOBS = 8;
// Jobs waiting for a writer only need to keep the writers busy. More of them would only
// move the messages out of the processor's caches and hold more blocks.
constexpr std::size_t AHEAD_BYTES = 16 * WRITE_BLOCK;
}  // namespace

bool failed(const WriteResult& result) {
    return result.status == WriteStatus::NOT_CREATED || result.status == WriteStatus::SHORT ||
           result.status == WriteStatus::NOT_STAMPED;
}

// The checks of the single-threaded writer, in its order: the byte count first, then the
// time, which is set through the open file so that nothing written later moves it.
WriteResult write_whole_file(const WriteJob& job) {
    WriteResult result{job.path, WriteStatus::WRITTEN, 0, {}};
    std::FILE* out = open_file(job.path, "wb");
    if (!out) {
        result.status = WriteStatus::NOT_CREATED;
        result.reason = last_failure_reason();
        return result;
    }
    forget_failure();
    std::setvbuf(out, nullptr, _IONBF, 0);  // one write call for the whole message
    const std::string_view bytes = job.data();
    std::size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), out);
    result.missing = bytes.size() - written;
    if (result.missing != 0) note_failure();
    bool broken = std::ferror(out) != 0;
    bool stamp_failed = result.missing == 0 && !broken && set_file_times(out, nullptr, nullptr, &job.time) == -1;
    if (std::fclose(out) != 0) {
        if (!broken && result.missing == 0) note_failure();
        broken = true;
    }
    if (broken && result.missing == 0) result.missing = 1;  // an error the count cannot show
    if (result.missing != 0) result.status = WriteStatus::SHORT;
    else if (stamp_failed) result.status = WriteStatus::NOT_STAMPED;
    if (result.status != WriteStatus::WRITTEN) result.reason = last_failure_reason();
    return result;
}

WriteQueue::WriteQueue(int writers, std::size_t budget, FileWriter write)
    : budget_(budget), ahead_(std::min(budget, AHEAD_BYTES)), write_(std::move(write)) {
    for (int i = 0; i < writers; ++i) writers_.emplace_back([this] { work(); });
}

WriteQueue::~WriteQueue() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& writer : writers_) writer.join();
}

// Called with the lock held; the writers wake once it is released.
void WriteQueue::wake_writers(std::unique_lock<std::mutex>& lock, bool all) {
    if (idle_ == 0 || next_start_ == slots_.size()) return;
    lock.unlock();
    if (all) work_ready_.notify_all();
    else work_ready_.notify_one();
    lock.lock();
}

bool WriteQueue::has_room() {
    constexpr std::size_t size = WRITE_BLOCK;
    std::unique_lock lock(mutex_);
    if (in_flight_ == 0) return true;
    if (in_flight_ + size <= budget_ && (unstarted_bytes_ == 0 || unstarted_bytes_ + size <= ahead_)) return true;
    wake_writers(lock, true);
    return false;
}

void WriteQueue::submit(WriteJob job) {
    std::unique_lock lock(mutex_);
    if (stopped_) {
        slots_.push_back(Slot{{}, {job.path, WriteStatus::NOT_STARTED, 0, {}}, SlotState::DONE});
        if (job.block) spares_.push_back(std::move(job.block));
        ++next_start_;
        return;
    }
    in_flight_ += WRITE_BLOCK;
    unstarted_bytes_ += WRITE_BLOCK;
    slots_.push_back(Slot{std::move(job), {}, SlotState::QUEUED});
    if (slots_.size() - next_start_ >= WAKE_JOBS || unstarted_bytes_ >= ahead_ / 2) wake_writers(lock, false);
}

bool WriteQueue::pending() {
    std::lock_guard lock(mutex_);
    return !slots_.empty();
}

std::optional<WriteResult> WriteQueue::take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (wait.count() > 0) {
        wake_writers(lock, true);
        result_ready_.wait_for(lock, wait, [this] { return slots_.empty() || slots_.front().state == SlotState::DONE; });
    }
    if (slots_.empty() || slots_.front().state != SlotState::DONE) return std::nullopt;
    WriteResult result = std::move(slots_.front().result);
    slots_.pop_front();
    ++front_sequence_;
    --next_start_;
    return result;
}

WriteBlock WriteQueue::spare_block() {
    {
        std::lock_guard lock(mutex_);
        if (!spares_.empty()) {
            WriteBlock spare = std::move(spares_.back());
            spares_.pop_back();
            return spare;
        }
    }
    return std::make_unique_for_overwrite<char[]>(WRITE_BLOCK);
}

void WriteQueue::go_on() {
    {
        std::lock_guard lock(mutex_);
        if (unresolved_ > 0) --unresolved_;
    }
    work_ready_.notify_all();
}

void WriteQueue::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    for (; next_start_ < slots_.size(); ++next_start_) {
        Slot& slot = slots_[next_start_];
        slot.result.path = slot.job.path;
        slot.state = SlotState::DONE;
        in_flight_ -= WRITE_BLOCK;
        unstarted_bytes_ -= WRITE_BLOCK;
        if (slot.job.block) spares_.push_back(std::move(slot.job.block));
        slot.job = {};
    }
    result_ready_.notify_all();
}

void WriteQueue::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        work_ready_.wait(lock, [this] {
            return closing_ || (!stopped_ && unresolved_ == 0 && next_start_ < slots_.size());
        });
        --idle_;
        if (closing_) return;
        // The caller may take results and give jobs meanwhile; the sequence number finds this
        // job's slot again, which is not taken before it is done.
        std::size_t index = next_start_++;
        WriteJob job = std::move(slots_[index].job);
        slots_[index].state = SlotState::RUNNING;
        unstarted_bytes_ -= WRITE_BLOCK;
        std::uint64_t sequence = front_sequence_ + index;
        lock.unlock();

        WriteResult result = write_(job);

        lock.lock();
        if (job.block) spares_.push_back(std::move(job.block));
        Slot& slot = slots_[sequence - front_sequence_];
        slot.result = std::move(result);
        slot.state = SlotState::DONE;
        in_flight_ -= WRITE_BLOCK;
        if (failed(slot.result)) ++unresolved_;
        result_ready_.notify_all();
    }
}
