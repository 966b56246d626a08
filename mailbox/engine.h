#pragma once
// What the mailbox engine takes from the program around it: the few settings it reads, and
// the calls through which it shows where it is, hands over window messages, learns of a
// cancel and reports a message file that failed. app/ fills both in before a run; the
// engine itself decides nothing about texts, questions or counts.
#include <cstddef>
#include <cstdint>
#include <string>

struct EngineSettings {
    std::string file_extension = ".eml";
    bool numbering = false;  // /n: files named by running number
    std::string output_dir;  // directories are made below it; ends in the separator
    int writers = 1;         // threads that write message files; 1: none, this one writes
    std::size_t write_budget = 64 << 20;  // message bytes those threads hold at most
};
extern EngineSettings engine_settings;

// What became of one message file.
enum class FileProblem {
    NONE,
    DIRECTORY_FULL,  // a FAT directory has no room for it: the next overflow directory takes it
    CREATE,          // it could not be created
    WRITE,           // not every byte reached it, or its time could not be set; it stays
    DISK_FULL,       // no room left on the drive; nothing of it stays
};
struct FileResult {
    FileProblem problem = FileProblem::NONE;
    std::string path;       // the message file
    std::string directory;  // its directory, ending in the separator
    std::string reason;     // why the system refused, in German; empty when it did not say
};

// Plain functions, so a call costs no more than before; the defaults show nothing, never
// cancel and stop at the first failed file.
struct EngineHost {
    void (*show_names)(const std::string& source, const std::string& target) =
        [](const std::string&, const std::string&) {};  // empty: unchanged
    void (*progress)(std::uint64_t position) = [](std::uint64_t) {};  // the mailbox is done up to here
    void (*pump)() = [] {};                                            // at most one pending window message
    bool (*running)() = [] { return true; };                           // false once the user cancelled
    // A CREATE, WRITE or DISK_FULL result: counted, asked or logged. false: stop the run.
    bool (*report)(const FileResult& failed) = [](const FileResult&) { return false; };
};
extern EngineHost engine_host;
