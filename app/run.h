#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct RunState {
    std::string spec_path;
    std::string spec_dir;     // ends in the separator
    std::string output_dir;   // ends in the separator
    bool running = true;      // cleared when the user confirms Abbrechen
    std::string current_file_name;
    std::uint64_t current_file_size = 0;
    std::uint64_t total_bytes = 0;
    std::uint64_t last_reported = 0;
    int error_count = 0;
    std::string crash_file_path;
    std::string crash_message;
};
extern RunState run_state;
void reset_run_state();

enum class Listed { MAILBOX, NOT_A_MAILBOX, FOLDER_TOO_DEEP };
struct MailboxFile {
    std::string name;
    std::string attributes;
    std::uint64_t size = 0;
    std::string folder;  // below the given path's directory: empty or ending in the separator
    std::string target;  // its sub-directory below the output directory, without a trailing separator
    Listed listed_as = Listed::MAILBOX;
};
struct MailboxList {
    std::vector<MailboxFile> files;
    bool base_name_clash = false;  // in the given path's own directory
};
// Nothing when no entry matched anywhere. `whole_tree` (/s) also takes the sub-directories,
// depth first, and tells mailboxes from other files by their first line.
std::optional<MailboxList> list_mailbox_files(const std::string& spec, bool whole_tree = false);

struct RunOutcome {
    std::string summary;
    int exit_code = 0;
};
RunOutcome run_all();
