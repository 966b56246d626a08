// Path kinds and nested creation, built on list_dir and create_dir of each build.
#include "platform/failure_reasons.h"
#include "platform/file_system.h"

namespace {

bool has_wildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

// "c:" or "c:\": only Windows has drives.
bool is_drive(const std::string& path) {
    return windows_paths() && (path.size() == 2 || path.size() == 3) && path[1] == ':';
}

}  // namespace

DirListing dir_entries(const std::string& path) {
    DirListing listing = list_dir(path);
    if (is_drive(path)) {
        // An empty drive root lists nothing, but the NUL device answers on every existing drive.
        if (!listing) {
            if (!list_dir(path + "nul")) return std::nullopt;
            listing.emplace();
        }
        DirEntry root;
        root.name = ".";
        root.attributes = "d";
        listing->insert(listing->begin(), root);
        return listing;
    }
    if (!listing) return std::nullopt;
    // A directory always lists "." and "..", so one entry behind a trailing separator is a file.
    if (!path.empty() && path.back() == path_separator && listing->size() == 1) return std::nullopt;
    return listing;
}

PathKind path_kind(const std::string& path) {
    if (has_wildcard(path)) return PathKind::WILDCARD;
    DirListing listing = dir_entries(path);
    if (!listing || listing->empty()) return PathKind::MISSING;
    if (listing->size() == 1 && listing->front().attributes.find('d') == std::string::npos)
        return PathKind::FILE;
    return PathKind::DIRECTORY;
}

// Walks from the left; once a level is missing, every later level is created without testing.
int make_dirs(const std::string& path) {
    forget_failure();
    if (path.empty()) return -1;
    bool creating = false;
    std::size_t sep = path.find(path_separator);
    for (;;) {
        std::size_t length = sep == std::string::npos ? path.size() : sep + 1;
        std::string prefix = path.substr(0, length);
        if (!creating) {
            PathKind kind = path_kind(prefix);
            if (kind == PathKind::WILDCARD || kind == PathKind::FILE) return -1;
            creating = kind == PathKind::MISSING;
        }
        // Another process may have made the same level meanwhile; that is no failure.
        if (creating && create_dir(prefix) != 0 && path_kind(prefix) != PathKind::DIRECTORY)
            return -1;
        if (length == path.size()) return 0;
        sep = path.find(path_separator, length);
    }
}

// Below a directory that exists there is no drive or server part to test, so an output
// directory on a share works as well as one on a drive.
int make_dirs_below(const std::string& base, const std::string& path) {
    forget_failure();
    if (base.empty() || path.compare(0, base.size(), base) != 0)
        return path_kind(path) == PathKind::DIRECTORY || create_dir(path) == 0 ? 0 : -1;
    std::size_t sep = path.find(path_separator, base.size());
    for (;;) {
        std::size_t length = sep == std::string::npos ? path.size() : sep + 1;
        std::string prefix = path.substr(0, length);
        if (length > base.size() && path_kind(prefix) != PathKind::DIRECTORY && create_dir(prefix) != 0 &&
            path_kind(prefix) != PathKind::DIRECTORY)
            return -1;
        if (length == path.size()) return 0;
        sep = path.find(path_separator, length);
    }
}
