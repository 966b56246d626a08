// Paths and volumes on POSIX. Paths are cp1252 inside and UTF-8 on disk.
#include <linux/magic.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/text.h"

const char path_separator = '/';

namespace {

std::string current_dir() {
    std::string buffer(256, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return internal_text(buffer);
}

// FAT12 and FAT16 stop below 65525 clusters; vfat reports clusters as blocks.
constexpr std::uint64_t SMALLEST_FAT32 = 65525;

std::string file_system_name(const struct statfs& volume) {
    switch (static_cast<unsigned long>(volume.f_type)) {
    case MSDOS_SUPER_MAGIC:
        return volume.f_blocks >= SMALLEST_FAT32 ? "FAT32" : "FAT";
    case 0x2011BAB0: return "exFAT";
    case 0x5346544E: return "NTFS";
    case EXT4_SUPER_MAGIC: return "ext4";
    case BTRFS_SUPER_MAGIC: return "btrfs";
    case XFS_SUPER_MAGIC: return "xfs";
    case TMPFS_MAGIC: return "tmpfs";
    case OVERLAYFS_SUPER_MAGIC: return "overlay";
    default: return "";
    }
}

}  // namespace

// Like GetFullPathNameA: "." and ".." are resolved by the text alone, without following
// symbolic links, and a trailing separator stays.
std::string full_path(const std::string& path) {
    if (path.empty()) return path;
    std::string absolute = path;
    if (path.front() != '/') {
        std::string cwd = current_dir();
        if (cwd.empty()) return path;
        absolute = cwd + "/" + path;
    }
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= absolute.size();) {
        std::size_t end = absolute.find('/', at);
        if (end == std::string::npos) end = absolute.size();
        std::string part = absolute.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string result;
    for (const std::string& part : parts) result += "/" + part;
    if (result.empty() || path.back() == '/') result += '/';
    return result;
}

// POSIX has no short names to expand: an existing path is already in its long form, and a
// missing one comes back unchanged as on Windows.
std::string long_path(const std::string& path) { return path; }

std::string temp_dir() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string dir = tmpdir && *tmpdir ? internal_text(tmpdir) : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string program_path() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(length);
            return internal_text(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

// The XDG base directory rules: $XDG_CONFIG_HOME, else ~/.config; a relative path in
// either variable does not count. Empty when there is no home to be found. UTF-8.
std::string config_home() {
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (configured && configured[0] == '/') {
        base = configured;
    } else {
        const char* home = std::getenv("HOME");
        const passwd* user = home ? nullptr : getpwuid(getuid());
        if (!home && user) home = user->pw_dir;
        if (!home || home[0] != '/') return {};
        base = std::string(home) + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base == "/" ? "" : base;
}

}  // namespace

// An installed program lives in /usr/bin, where no user puts a settings file; a build
// tree keeps its file beside the program. A file of that name in the configuration
// folder wins even when it cannot be read: that is the one the user meant. A directory
// of that name counts as no file, as it does when the settings are read.
std::string settings_file_path(const std::string& folder, const std::string& name) {
    const std::string home = config_home();
    if (!home.empty()) {
        const std::string candidate = home + "/" + external_text(folder) + "/" + external_text(name);
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) return internal_text(candidate);
    }
    return beside_program(name);
}

std::string own_settings_file_path(const std::string& folder, const std::string& name) {
    const std::string home = config_home();
    if (home.empty()) return beside_program(name);
    return internal_text(home + "/" + external_text(folder) + "/" + external_text(name));
}

// There are no drive roots to derive: the path itself is asked, or its nearest existing
// parent when it does not exist yet.
VolumeInfo volume_info(const std::string& path) {
    std::string probe = external_text(path.empty() ? "." : path);
    struct statfs volume;
    while (statfs(probe.c_str(), &volume) != 0) {
        std::size_t sep = probe.find_last_of('/', probe.size() > 1 ? probe.size() - 2 : 0);
        if (sep == std::string::npos) return {};
        probe.resize(sep == 0 ? 1 : sep);
    }
    VolumeInfo info;
    info.file_system_name = file_system_name(volume);
    struct statvfs limits;
    if (statvfs(probe.c_str(), &limits) == 0) info.max_component_length = static_cast<std::uint32_t>(limits.f_namemax);
    return info;
}

// There are no drive letters: the volume is named by the directory it is mounted on,
// the last one up the path that is still on the same device.
std::string volume_label(const std::string& path) {
    std::string probe = external_text(full_path(path.empty() ? "." : path));
    while (probe.size() > 1 && probe.back() == '/') probe.pop_back();
    struct stat here;
    while (stat(probe.c_str(), &here) != 0) {  // not there yet: ask its parent
        std::size_t sep = probe.find_last_of('/');
        if (sep == std::string::npos || probe == "/") return path;
        probe.resize(sep == 0 ? 1 : sep);
    }
    while (probe != "/") {
        std::size_t sep = probe.find_last_of('/');
        std::string parent = sep == 0 ? "/" : probe.substr(0, sep);
        struct stat above;
        if (stat(parent.c_str(), &above) != 0 || above.st_dev != here.st_dev) break;
        probe = parent;
    }
    return internal_text(probe);
}

DiskSpace disk_free(const std::string& path) {
    struct statvfs volume;
    if (statvfs(external_text(path).c_str(), &volume) != 0) return {};
    auto bytes = [&](std::uint64_t blocks) { return static_cast<std::int64_t>(blocks * volume.f_frsize); };
    return {bytes(volume.f_bavail), bytes(volume.f_blocks), bytes(volume.f_bfree)};
}
