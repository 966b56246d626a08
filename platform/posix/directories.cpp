// Directory listings, FAT slot estimates, creation and deletion on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/crash.h"
#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/foreign.h"
#include "platform/posix/names.h"
#include "platform/text.h"

namespace {

struct Found {
    std::string name;       // cp1252
    std::string disk_name;  // as the directory holds it
    struct stat info;
    bool link = false;      // a symbolic link, described by what it points to
};
using Findings = std::optional<std::vector<Found>>;

// A dangling symbolic link still is an entry; it is described by the link itself.
bool describe(const std::string& disk_path, struct stat& info) {
    return stat(disk_path.c_str(), &info) == 0 || lstat(disk_path.c_str(), &info) == 0;
}

// Some file systems leave the type open in the directory; then lstat tells.
bool is_link(const dirent& entry, const std::string& disk_dir) {
    if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_LNK;
    struct stat info;
    return lstat((disk_dir + entry.d_name).c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool has_wildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// "." and ".." first as on Windows, then by name, so runs do not depend on readdir order.
bool listed_before(const Found& a, const Found& b) {
    auto rank = [](const Found& f) { return f.disk_name == "." ? 0 : f.disk_name == ".." ? 1 : 2; };
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    return a.disk_name < b.disk_name;
}

// The entries of `dir` (with its trailing "/", or empty for the current directory) whose
// names match `pattern`; `described` adds what stat says of each, which slot counts skip
// (they run for every message written to a FAT volume). `strict`: a directory that cannot
// be read is not found.
Findings scan(const std::string& dir, const std::string& pattern, bool described, bool strict = false) {
    std::string disk_dir = external_text(dir);
    std::vector<Found> found;
    DIR* stream = opendir(disk_dir.empty() ? "." : disk_dir.c_str());
    if (stream == nullptr) {
        if (strict) return std::nullopt;
        // A directory we may enter but not read still exists: answer with "." and "..", so
        // that its path counts as a directory and paths below it can be made.
        struct stat info;
        if (errno != EACCES || !describe(disk_dir.empty() ? "." : disk_dir, info) || !S_ISDIR(info.st_mode))
            return std::nullopt;
        for (const char* name : {".", ".."})
            if (matches_pattern(pattern, name)) found.push_back({name, name, info});
    } else {
        while (const dirent* entry = readdir(stream)) {
            Found item{internal_text(entry->d_name), entry->d_name, {}};
            if (matches_pattern(pattern, item.name) && (!described || describe(disk_dir + entry->d_name, item.info))) {
                item.link = described && is_link(*entry, disk_dir);
                found.push_back(std::move(item));
            }
        }
        closedir(stream);
    }
    if (found.empty()) return std::nullopt;
    std::sort(found.begin(), found.end(), listed_before);
    return found;
}

// Trailing blanks and separators go, never the first character; a directory named without
// wildcards is listed by its contents.
Findings look_up(std::string path, bool described) {
    while (path.size() > 1 && (path.back() == ' ' || path.back() == '\t' || path.back() == '/')) path.pop_back();
    std::size_t k = last_separator(path);
    std::string dir = path.substr(0, k), name = path.substr(k);
    if (has_wildcard(name)) return scan(dir, name, described);
    struct stat info;
    if (describe(external_text(path), info)) {
        if (S_ISDIR(info.st_mode)) return scan(path == "/" ? path : path + "/", "*", described);
        return std::vector<Found>{{name, external_text(name), info}};
    }
    // "inbox." names the file "inbox", as on Windows.
    if (!name.empty() && name.back() == '.') return scan(dir, name, described);
    return std::nullopt;
}

// Windows marks "." files hidden and read-only files by their missing write bits; we do
// the same, and call every non-directory an archive as Windows reports fresh files.
std::string attribute_letters(const Found& found) {
    std::string letters;
    if ((found.info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) letters += 'r';
    if (found.name.size() > 1 && found.name[0] == '.' && found.name != "..") letters += 'h';
    letters += S_ISDIR(found.info.st_mode) ? 'd' : 'a';
    if (found.link) letters += 'l';
    return letters;
}

void set_dos_time(DirEntry& entry, std::time_t modified) {
    std::tm local;
    if (localtime_r(&modified, &local) == nullptr) return;
    int year = local.tm_year + 1900;
    // A DOS date holds only 1980 to 2107.
    if (year < 1980) return;
    if (year > 2107) {
        entry.year = 2107, entry.month = 12, entry.day = 31, entry.hour = 23, entry.minute = 59, entry.second = 58;
        return;
    }
    entry.year = year;
    entry.month = local.tm_mon + 1;
    entry.day = local.tm_mday;
    entry.hour = local.tm_hour;
    entry.minute = local.tm_min;
    entry.second = local.tm_sec / 2 * 2;
}

DirEntry entry_of(const Found& found) {
    DirEntry entry;
    entry.name = found.name;
    entry.attributes = attribute_letters(found);
    entry.size = S_ISDIR(found.info.st_mode) ? 0 : static_cast<std::uint64_t>(found.info.st_size);
    set_dos_time(entry, found.info.st_mtime);
    return entry;
}

}  // namespace

DirListing list_dir(const std::string& path) {
    if (character_count(path) > LONGEST_LISTED_PATH) raise_unexpected_failure("list_dir: path longer than 255 characters");
    Findings found = look_up(path, true);
    if (!found) return std::nullopt;
    std::vector<DirEntry> entries;
    for (const Found& item : *found) entries.push_back(entry_of(item));
    return entries;
}

std::uint64_t count_dir_slots(const std::string& pattern) {
    Findings found = look_up(pattern, false);
    if (!found) return 0;
    std::uint64_t slots = 0;
    for (const Found& item : *found) slots += fat_slots(item.disk_name);
    return slots;
}

// By the directory itself, never as a pattern: a folder may be called "what?".
DirListing folder_entries(const std::string& dir) {
    Findings found = scan(dir, "*", true, true);
    if (!found) return std::nullopt;
    std::vector<DirEntry> entries;
    for (const Found& item : *found) entries.push_back(entry_of(item));
    return entries;
}

bool is_special_file(const std::string& path) {
    struct stat info;
    if (stat(external_text(path).c_str(), &info) != 0) return false;
    return S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISSOCK(info.st_mode);
}

// O_NONBLOCK: a FIFO put in place of a checked file still cannot hold the walk.
std::optional<std::string> first_bytes(const std::string& path, std::size_t most) {
    int fd = open(external_text(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string bytes(most, '\0');
    std::size_t got = 0;
    while (got < most) {
        ssize_t n = read(fd, bytes.data() + got, most - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    bytes.resize(got);
    return bytes;
}

std::optional<FileIdentity> file_identity(const std::string& path) {
    struct stat info;
    if (stat(external_text(path).c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

int create_dir(const std::string& path) {
    if (mkdir(external_text(path).c_str(), 0777) == 0) return 0;
    note_failure();
    return -1;
}

int delete_file(const std::string& path) { return unlink(external_text(path).c_str()) == 0 ? 0 : -1; }
