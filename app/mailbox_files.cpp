// The mailbox files of a run: those of one directory, or with /s of a whole folder tree.
#include "app/mailbox_files.h"

#include <set>
#include <string_view>

#include "app/run.h"
#include "app/targets.h"
#include "mailbox/reader.h"
#include "message/file_names.h"
#include "platform/file_system.h"
#include "platform/foreign.h"
#include "platform/text.h"

namespace {

// Enough for both layouts' first line: the binary separator line, or "From " and what follows.
constexpr std::size_t LOOK_BYTES = 512;

// Index files and databases lie among the mailboxes of a tree; the first line tells them
// apart, judged from the first bytes alone, so a huge file without a line end costs nothing.
// A line cut off by the look ends there. A file that cannot be read, or is empty, counts as
// a mailbox, so the split reports it as it would without /s.
bool starts_like_mailbox(const std::string& path) {
    const std::optional<std::string> head = first_bytes(path, LOOK_BYTES);
    if (!head || head->empty()) return true;
    const std::size_t end = head->find_first_of("\r\n");
    std::string line = head->substr(0, end);
    // The last line of a short file has no line end, and the split reads it so too.
    if (end != std::string::npos || head->size() == LOOK_BYTES) line += '\n';
    return detect_layout(line).has_value();
}

bool is_directory(const DirEntry& entry) { return entry.attributes.find('d') != std::string::npos; }
// Links to folders are not followed: they could lead out of the tree or back into it.
bool is_sub_folder(const DirEntry& entry) {
    return is_directory(entry) && entry.attributes.find('l') == std::string::npos && entry.name != "." &&
           entry.name != "..";
}

// One folder of the walk: where it is, as the log names it, and where it goes.
struct Folder {
    std::string dir;     // the path, ending in the separator
    std::string folder;  // below the given path's directory
    std::string mirror;  // below the output directory
};

struct Walk {
    std::string pattern;  // the name part of the given path, used in every folder
    bool whole_tree = false;
    bool matched = false;
    std::string output_dir;
    std::optional<FileIdentity> output;  // the output directory, never walked
    std::set<std::string> targets;       // keys of the targets handed out in the tree
    MailboxList list;
};

void unreadable(Walk& walk, const Folder& where, const std::string& name) {
    walk.matched = true;
    walk.list.files.push_back({name, "", 0, where.folder, "", Listed::UNREADABLE});
}

// The files of one folder that match the pattern. In a tree, what is not a plain file, or
// does not start like a mailbox, is only logged: a FIFO or a device would hold the run.
// Links to files are followed, like any name the user gives.
void take_files(Walk& walk, const Folder& where) {
    std::string pattern = where.dir + walk.pattern;
    // Windows treats "*.*" and a name without a dot as the same pattern family; on POSIX
    // a dot is an ordinary character, so the pattern is left as the user gave it.
    if (windows_paths() && name_part(pattern).find('.') == std::string::npos) pattern += ".";
    // A plain name that is a directory down here would list that directory's contents.
    const bool names_directory = walk.whole_tree && path_kind(where.dir + walk.pattern) == PathKind::DIRECTORY;
    const DirListing files = names_directory ? std::nullopt : list_dir(pattern);
    for (const DirEntry& entry : files.value_or(std::vector<DirEntry>{})) {
        walk.matched = true;
        if (is_directory(entry)) continue;
        MailboxFile file{entry.name, entry.attributes, entry.size, where.folder, "", Listed::MAILBOX};
        if (walk.whole_tree) {
            const std::string path = where.dir + entry.name;
            if (is_special_file(path) || !starts_like_mailbox(path)) file.listed_as = Listed::NOT_A_MAILBOX;
        }
        if (file.listed_as == Listed::MAILBOX) run_state.total_bytes += entry.size;
        walk.list.files.push_back(file);
    }
}

// Two mailboxes with one base name in a folder both keep their whole names.
bool base_names_clash(const Walk& walk, std::size_t first) {
    bool clash = false;
    clear_registry();
    for (std::size_t k = first; k < walk.list.files.size() && !clash; ++k)
        if (walk.list.files[k].listed_as == Listed::MAILBOX && register_name(base_name(walk.list.files[k].name)) > 1)
            clash = true;
    clear_registry();
    return clash;
}

// In a tree, folders meet in the output ("Archiv" and "Archiv.sbd", or names that differ in
// case), so a target another mailbox already has goes to the whole name, or gets a counter.
std::string unique_target(Walk& walk, const std::string& usual, const std::string& whole) {
    if (!walk.whole_tree) return usual;
    for (const std::string& candidate : {usual, whole})
        if (walk.targets.insert(target_key(candidate)).second) return candidate;
    for (int n = 2;; ++n) {
        const std::string counted = whole + "[" + std::to_string(n) + "]";
        if (walk.targets.insert(target_key(counted)).second) return counted;
    }
}

// Each mailbox goes to its base name in the mirrored folder; its whole name when its base
// name clashes, or when its own sub-folders "<name>.sbd" are there to meet it.
void name_targets(Walk& walk, std::size_t first, const Folder& where, const std::vector<DirEntry>& entries) {
    const bool clash = base_names_clash(walk, first);
    if (where.folder.empty()) walk.list.base_name_clash = clash;
    std::set<std::string> lowered_sub_folders;
    for (const DirEntry& entry : entries)
        if (is_sub_folder(entry)) lowered_sub_folders.insert(lower_case(entry.name));
    for (std::size_t k = first; k < walk.list.files.size(); ++k) {
        MailboxFile& file = walk.list.files[k];
        if (file.listed_as != Listed::MAILBOX) continue;
        const bool has_sub_folders = lowered_sub_folders.count(lower_case(file.name + ".sbd")) > 0;
        const std::string whole = where.mirror + safe_target_name(file.name);
        const std::string usual =
            clash || has_sub_folders ? whole : where.mirror + safe_target_name(base_name(file.name));
        file.target = unique_target(walk, usual, whole);
    }
}

// An output directory inside the tree holds our own files of an earlier run, however it
// was written or reached.
bool is_output(const Walk& walk, const std::string& dir) {
    if ((windows_paths() ? lower_case(dir) : dir) == walk.output_dir) return true;
    return walk.output && file_identity(dir) == walk.output;
}

void list_folder(Walk& walk, const Folder& where, const std::vector<DirEntry>& entries);

// A sub-folder: skipped when it is the output directory; an error when it is too deep to
// list or cannot be listed; else walked.
void descend(Walk& walk, const Folder& where, const DirEntry& sub) {
    const std::string dir = where.dir + sub.name + path_separator;
    if (is_output(walk, dir)) return;
    // Characters, not bytes: a name in another script takes several bytes a character inside.
    if (character_count(dir) + character_count(walk.pattern) + 1 > LONGEST_LISTED_PATH)
        return unreadable(walk, where, sub.name + path_separator);
    const DirListing entries = folder_entries(dir);
    if (!entries) return unreadable(walk, where, sub.name + path_separator);
    list_folder(walk, {dir, where.folder + sub.name + path_separator, where.mirror + mirrored_name(sub.name) + path_separator},
                *entries);
}

// One folder's files, then (with /s) its sub-folders in listing order.
void list_folder(Walk& walk, const Folder& where, const std::vector<DirEntry>& entries) {
    const std::size_t first = walk.list.files.size();
    take_files(walk, where);
    name_targets(walk, first, where, entries);
    for (const DirEntry& entry : entries)
        if (is_sub_folder(entry)) descend(walk, where, entry);
}

}  // namespace

std::optional<MailboxList> list_mailbox_files(const std::string& spec, bool whole_tree) {
    Walk walk;
    const std::size_t k = last_separator(spec);
    walk.pattern = spec.substr(k);
    walk.whole_tree = whole_tree;
    walk.output_dir = run_state.output_dir;
    const Folder top{spec.substr(0, k), "", ""};
    DirListing entries;
    if (whole_tree) {
        walk.output = file_identity(walk.output_dir);
        entries = folder_entries(top.dir);
    }
    list_folder(walk, top, entries.value_or(std::vector<DirEntry>{}));
    if (!walk.matched) return std::nullopt;
    return walk.list;
}
