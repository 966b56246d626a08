// The mailbox files of a run: those of one directory, or with /s of a whole folder tree.
#include "app/run.h"

#include <algorithm>
#include <string_view>

#include "mailbox/reader.h"
#include "message/file_names.h"
#include "platform/file_system.h"
#include "platform/foreign.h"
#include "platform/text.h"

namespace {

// Windows treats "*.*" and a name without a dot as the same pattern family; on POSIX
// a dot is an ordinary character, so the pattern is left as the user gave it.
bool windows_patterns() { return path_separator == '\\'; }

// The name up to its last "."; a name without a dot stays whole, and so does one
// that starts with its only dot (".inbox"), which would otherwise name no sub-directory.
std::string base_name(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// A mail folder keeps its sub-folders in "<name>.sbd" beside its mailbox "<name>"; both
// are written to the same output directory.
constexpr std::string_view SUB_FOLDERS = ".sbd";

std::string mirrored_name(const std::string& directory) {
    const std::size_t stem = directory.size() - SUB_FOLDERS.size();
    if (directory.size() > SUB_FOLDERS.size() && lower_case(directory.substr(stem)) == SUB_FOLDERS)
        return directory.substr(0, stem);
    return directory;
}

// Index files and databases lie among the mailboxes of a tree; the first line tells them
// apart. A file that cannot be read, or is empty, counts as a mailbox, so the split
// reports it as it would without /s.
bool starts_like_mailbox(const std::string& path) {
    if (!open_mailbox(path)) return true;
    std::string_view first;
    const bool mailbox = !read_line(first) || detect_layout(first).has_value();
    close_mailbox();
    return mailbox;
}

bool is_directory(const DirEntry& entry) { return entry.attributes.find('d') != std::string::npos; }

struct Walk {
    std::string pattern;  // the name part of the given path, used in every folder
    bool whole_tree = false;
    bool matched = false;
    MailboxList list;
};

// One folder's files, then (with /s) its sub-folders in listing order; links are not followed.
void list_folder(Walk& walk, const std::string& dir, const std::string& folder, const std::string& mirror) {
    std::string pattern = dir + walk.pattern;
    if (windows_patterns() && name_part(pattern).find('.') == std::string::npos) pattern += ".";
    // A plain name that is a directory down here would list that directory's contents.
    const bool names_directory = walk.whole_tree && path_kind(dir + walk.pattern) == PathKind::DIRECTORY;
    const DirListing files = names_directory ? std::nullopt : list_dir(pattern);
    const DirListing entries = walk.whole_tree ? list_dir(dir) : std::nullopt;

    const std::size_t first = walk.list.files.size();
    bool clash = false;
    clear_registry();
    for (const DirEntry& entry : files.value_or(std::vector<DirEntry>{})) {
        walk.matched = true;
        if (is_directory(entry)) continue;
        MailboxFile file{entry.name, entry.attributes, entry.size, folder, "", Listed::MAILBOX};
        if (walk.whole_tree && !starts_like_mailbox(dir + entry.name)) {
            file.listed_as = Listed::NOT_A_MAILBOX;
            walk.list.files.push_back(file);
            continue;
        }
        run_state.total_bytes += entry.size;
        walk.list.files.push_back(file);
        if (!clash && register_name(base_name(entry.name)) > 1) clash = true;
    }
    clear_registry();
    if (folder.empty()) walk.list.base_name_clash = clash;

    std::vector<std::string> sub_folders, lowered_sub_folders;
    for (const DirEntry& entry : entries.value_or(std::vector<DirEntry>{}))
        if (is_directory(entry) && entry.attributes.find('l') == std::string::npos && entry.name != "." &&
            entry.name != "..") {
            sub_folders.push_back(entry.name);
            lowered_sub_folders.push_back(lower_case(entry.name));
        }
    for (std::size_t k = first; k < walk.list.files.size(); ++k) {
        MailboxFile& file = walk.list.files[k];
        const std::string own_sub_folders = lower_case(file.name + std::string(SUB_FOLDERS));
        const bool has_sub_folders = std::find(lowered_sub_folders.begin(), lowered_sub_folders.end(),
                                               own_sub_folders) != lowered_sub_folders.end();
        file.target = mirror + (clash || has_sub_folders ? file.name : base_name(file.name));
    }

    for (const std::string& sub : sub_folders) {
        const std::string sub_dir = dir + sub + path_separator;
        // An output directory inside the tree holds our own files of an earlier run.
        if ((windows_patterns() ? lower_case(sub_dir) : sub_dir) == run_state.output_dir) continue;
        // Characters, not bytes: a name in another script takes several bytes a character inside.
        if (character_count(sub_dir) + character_count(walk.pattern) + 1 > LONGEST_LISTED_PATH) {
            walk.matched = true;
            walk.list.files.push_back({sub, "d", 0, folder, "", Listed::FOLDER_TOO_DEEP});
            continue;
        }
        list_folder(walk, sub_dir, folder + sub + path_separator, mirror + mirrored_name(sub) + path_separator);
    }
}

}  // namespace

std::optional<MailboxList> list_mailbox_files(const std::string& spec, bool whole_tree) {
    Walk walk;
    const std::size_t k = last_separator(spec);
    walk.pattern = spec.substr(k);
    walk.whole_tree = whole_tree;
    list_folder(walk, spec.substr(0, k), "", "");
    if (!walk.matched) return std::nullopt;
    return walk.list;
}
