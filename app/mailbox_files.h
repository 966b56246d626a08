#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// MAILBOX: to be split. NOT_A_MAILBOX: a file in a tree that is no mailbox, only logged.
// UNREADABLE: a folder or file in a tree the walk could not list or reach, one error.
enum class Listed { MAILBOX, NOT_A_MAILBOX, UNREADABLE };
struct MailboxFile {
    std::string name;    // an UNREADABLE folder's ends in the separator
    std::string attributes;
    std::uint64_t size = 0;
    std::string folder;  // below the given path's directory: empty or ending in the separator
    std::string target;  // a MAILBOX's sub-directory below the output directory, no trailing separator
    Listed listed_as = Listed::MAILBOX;
};
struct MailboxList {
    std::vector<MailboxFile> files;
    bool base_name_clash = false;  // in the given path's own directory
};
// Nothing when no entry matched anywhere. `whole_tree` (/s) also takes the sub-directories,
// depth first, tells mailboxes from other files by their first bytes, skips the output
// directory and gives no two mailboxes the same target.
std::optional<MailboxList> list_mailbox_files(const std::string& spec, bool whole_tree = false);
