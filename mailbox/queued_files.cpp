#include "mailbox/queued_files.h"

#include <chrono>
#include <memory>

#include "mailbox/engine.h"
#include "mailbox/write_queue.h"
#include "mailbox/writer.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace {

// Made for the first message that goes to threads and kept for the run; its end, at exit,
// waits for writers that by then have nothing left to do.
std::unique_ptr<WriteQueue>& made_queue() {
    static std::unique_ptr<WriteQueue> made;
    return made;
}

WriteQueue* queue() {
    std::unique_ptr<WriteQueue>& made = made_queue();
    if (!made) made = std::make_unique<WriteQueue>(engine_settings.writers, engine_settings.write_budget);
    return made.get();
}

// The next result in order, pumping the window while it is not there; nothing when none is pending.
std::optional<WriteResult> next_result() {
    for (;;) {
        if (!queue()->pending()) return std::nullopt;
        if (std::optional<WriteResult> result = queue()->take(std::chrono::milliseconds(50))) return result;
        engine_host.pump();
    }
}

FileProblem problem_of(const WriteResult& result, const std::string& directory) {
    switch (result.status) {
        case WriteStatus::NOT_CREATED:
            return creation_problem(result.path, directory, result.path.substr(last_separator(result.path)));
        case WriteStatus::SHORT: return short_file_problem(result.path, directory, result.missing);
        case WriteStatus::NOT_STAMPED: return FileProblem::WRITE;
        default: return FileProblem::NONE;
    }
}

// After a stop nothing more starts; a later file that was written whole stays (nothing is
// lost by it), one that failed goes, as a failed file goes on a cancel.
void drop_later_files() {
    queue()->stop();
    while (std::optional<WriteResult> later = next_result())
        if (failed(*later)) delete_file(later->path);
}

// What the single writer does after writing a file, for a file a thread wrote.
std::optional<SplitResult> settle(const WriteResult& result) {
    if (result.status == WriteStatus::WRITTEN || result.status == WriteStatus::NOT_STARTED) return std::nullopt;
    const std::string directory = result.path.substr(0, last_separator(result.path));
    FileResult file{problem_of(result, directory), result.path, directory, result.reason};
    // The run ends with this one: first the files after it.
    if (file.problem == FileProblem::DISK_FULL) drop_later_files();
    if (settle_file(file)) {
        queue()->go_on();
        return std::nullopt;
    }
    drop_later_files();
    return result.status == WriteStatus::NOT_CREATED ? SplitResult::STOP_AFTER_CREATE_ERROR
                                                      : SplitResult::STOP_AFTER_WRITE_ERROR;
}

}  // namespace

// A FAT directory that fills up moves the message and all after it to the next overflow
// directory; that depends on which file came first, so there one writer keeps the order.
bool writing_on_threads(const std::string& directory) {
    if (engine_settings.writers < 2) return false;
    static std::string checked;
    static bool threads = false;
    if (directory != checked) {
        threads = !on_fat_volume(directory);
        checked = directory;
    }
    return threads;
}

WriteBlock spare_block() { return queue()->spare_block(); }

std::optional<SplitResult> hand_over(WriteJob job) {
    while (!queue()->has_room()) {
        std::optional<WriteResult> result = next_result();
        if (!result) break;
        if (std::optional<SplitResult> stop = settle(*result)) return stop;
    }
    queue()->submit(std::move(job));
    while (std::optional<WriteResult> result = queue()->take(std::chrono::milliseconds(0)))
        if (std::optional<SplitResult> stop = settle(*result)) return stop;
    return std::nullopt;
}

std::optional<SplitResult> settle_queued_files() {
    if (!made_queue()) return std::nullopt;
    while (std::optional<WriteResult> result = next_result())
        if (std::optional<SplitResult> stop = settle(*result)) return stop;
    return std::nullopt;
}

void end_writer_threads() { made_queue().reset(); }
