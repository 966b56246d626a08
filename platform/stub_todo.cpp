// Placeholder bodies until each layer lands; the owners delete what they replace.
#include "platform/crash.h"
#include "platform/file_system.h"
#include "platform/text.h"

#include <cstdlib>

const char path_separator = '/';
std::string lower_case(std::string_view t) { return std::string(t); }
std::string upper_case(std::string_view t) { return std::string(t); }
std::string external_text(std::string_view t) { return std::string(t); }
std::string internal_text(std::string_view t) { return std::string(t); }
std::string full_path(const std::string& p) { return p; }
std::string long_path(const std::string& p) { return p; }
std::string temp_dir() { return "/tmp/"; }
std::string program_path() { return {}; }
std::size_t last_separator(const std::string&) { return 0; }
std::string dir_part(const std::string&) { return {}; }
std::string name_part(const std::string& p) { return p; }
VolumeInfo volume_info(const std::string&) { return {}; }
DiskSpace disk_free(const std::string&) { return {}; }
std::uint64_t count_dir_slots(const std::string&) { return 0; }
DirListing list_dir(const std::string&) { return std::nullopt; }
DirListing dir_entries(const std::string&) { return std::nullopt; }
PathKind path_kind(const std::string&) { return PathKind::MISSING; }
int make_dirs(const std::string&) { return -1; }
int create_dir(const std::string&) { return -1; }
int delete_file(const std::string&) { return -1; }
FileTime local_to_utc(FileTime t) { return t; }
FileTime date_to_file_time(const DateTime&) { return {}; }
int set_file_times(const std::string&, const FileTime*, const FileTime*, const FileTime*) { return -1; }
int set_modified_time(const std::string&, const DateTime&) { return -1; }
std::FILE* open_file(const std::string& p, const char* m) { return std::fopen(p.c_str(), m); }
std::uint64_t file_position(std::FILE*) { return 0; }
bool lock_whole_file(std::FILE*) { return true; }
void unlock_whole_file(std::FILE*) {}
void install_crash_handler(const std::string&, CrashRoutine) {}
void set_crash_texts(const CrashTexts&) {}
void raise_unexpected_failure(const char*) { std::abort(); }
