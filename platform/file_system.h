#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/dates.h"

enum class PathKind { WILDCARD = -1, MISSING = 0, FILE = 1, DIRECTORY = 2 };

struct DirEntry {
    std::string name;        // long name, no directory part
    std::string attributes;  // subset of "rhsdavl", in that order; "l": a symbolic link or junction
    std::uint64_t size = 0;
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;  // local, DOS resolution
};

struct FileTime {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
};

struct VolumeInfo {
    std::string file_system_name;  // "FAT", "FAT32", "NTFS", ...; may be empty
    std::uint32_t max_component_length = 0;
};

struct DiskSpace {
    std::int64_t available = -1;  // to the calling user
    std::int64_t total = -1;
    std::int64_t free = -1;
};

using DirListing = std::optional<std::vector<DirEntry>>;  // nullopt: not found

//--- separators: "\" on Windows, "/" on POSIX
extern const char path_separator;
// The one question the core asks about the system: Windows path rules (drive letters, names
// without case, "*.*", slash switches) or POSIX ones.
bool windows_paths();

//--- paths; the input back unchanged on failure
std::string full_path(const std::string& path);
std::string long_path(const std::string& path);
std::string temp_dir();                           // ends in the separator; empty on failure
std::string program_path();                       // our own executable
std::string beside_program(const std::string& name);  // that name in the program file's folder
// The settings file to read: on POSIX `folder`/`name` in the user's configuration folder when
// a file of that name is there, else (and always on Windows) `name` beside the program.
std::string settings_file_path(const std::string& folder, const std::string& name);
// Where a user puts a settings file of their own: on POSIX `folder`/`name` in the configuration
// folder (beside the program when there is none), on Windows beside the program.
std::string own_settings_file_path(const std::string& folder, const std::string& name);
std::size_t last_separator(const std::string& path);  // count up to and including it; 0 if none
std::string dir_part(const std::string& path);
std::string name_part(const std::string& path);
std::string_view without_trailing_dots(std::string_view name);  // "a. ." is "a", "..." is ""
std::string stored_name(const std::string& name);  // as the file system names what is created so

//--- volumes
VolumeInfo volume_info(const std::string& path);
DiskSpace disk_free(const std::string& path);     // all -1 on failure
// How messages name the volume of a path: the drive ("C:") on Windows, the mount point on POSIX.
std::string volume_label(const std::string& path);
std::uint64_t count_dir_slots(const std::string& pattern);  // 0 if nothing matches

//--- directories
constexpr std::size_t LONGEST_LISTED_PATH = 255;
DirListing list_dir(const std::string& path);     // ends the program on longer paths
DirListing dir_entries(const std::string& path);
PathKind path_kind(const std::string& path);
int make_dirs(const std::string& path);           // 0 if the directory exists at the end, else -1
// The same for the levels of `path` below `base`, a directory that exists; 0 / -1.
int make_dirs_below(const std::string& base, const std::string& path);
int create_dir(const std::string& path);          // 0 / -1
int delete_file(const std::string& path);         // 0 / -1

//--- what a folder walk asks of what it meets
// The entries of the directory `dir` (ending in the separator), "." and ".." included; nothing
// when it cannot be listed, which list_dir does not tell from an empty directory.
DirListing folder_entries(const std::string& dir);
// A FIFO, device or socket, links followed: reading one may wait for ever or never end.
bool is_special_file(const std::string& path);
// Up to `most` bytes from the start of a file, without waiting on a FIFO; nothing if it cannot be opened.
std::optional<std::string> first_bytes(const std::string& path, std::size_t most);
// The same directory however it is spelled or reached: device and inode on POSIX, volume
// serial number and file index on Windows; nothing when it cannot be asked.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> file_identity(const std::string& path);

//--- file times; only the last-write time is changed by set_modified_time
FileTime local_to_utc(FileTime local);
FileTime date_to_file_time(const DateTime& local);
int set_file_times(const std::string& path, const FileTime* creation, const FileTime* access,
                   const FileTime* write);        // 0 / -1
int set_modified_time(const std::string& path, const DateTime& local);  // 0 / -1
// The same on a file open for writing, so that it needs no second open. Nothing may be
// written after it, or the write moves the time again.
int set_file_times(std::FILE* file, const FileTime* creation, const FileTime* access, const FileTime* write);
int set_modified_time(std::FILE* file, const DateTime& local);

//--- open files; plain reading and writing go through <cstdio>
std::FILE* open_file(const std::string& path, const char* mode);  // nullptr on failure
// A file in the shared temporary directory, opened for appending text; nullptr on failure.
// POSIX refuses a link, a non-regular file and another user's file there.
std::FILE* open_shared_append(const std::string& path);
std::uint64_t file_position(std::FILE* file);
bool lock_whole_file(std::FILE* file);            // false if another process holds a lock
void unlock_whole_file(std::FILE* file);
