#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Settings {
    std::string file_extension = ".eml";
    std::vector<std::string> prefixes_to_remove{"re:", "re[2]:", "re[3]:", "re[4]:", "fw:", "fwd:", "aw:"};
    std::string replace_from;
    std::string replace_to;
    std::string ellipsis = "...";
    char space_char = ' ';
    int max_filename_length = 60;
    int name_budget = 46;  // max_filename_length - (extension length + 10)
    int max_mailbox_size = 2;  // in GiB; 0: no limit
    int writers = 0;  // threads that write message files; 0: one per processor, at most 8
    bool unicode_names = false;  // [Names] Unicode: keep in names what the code page lacks
};
extern Settings settings;

bool mailbox_too_large(std::uint64_t size);  // beyond max_mailbox_size GiB; never when that is 0
int writer_count();                          // writers, or the default for this machine

void load_settings(const std::string& path);  // may end the program (exit code 3)
std::string settings_path();                   // the platform says where
std::string settings_hint_path();              // where to change a setting: the file read, or a new one of the user's

//--- the file as read, before its meaning is applied
struct SettingsEntry {
    std::string key;  // as written; empty for comments and lines without "="
    std::string value;
};
struct SettingsSection {
    std::string name;  // as written; empty for the lines before the first header
    std::vector<SettingsEntry> entries;
};
enum class SettingsStatus { PARSED, FILE_MISSING, NO_SECTION, INVALID_SECTION, DUPLICATE_NAME };
struct SettingsFile {
    SettingsStatus status = SettingsStatus::PARSED;
    int line = 0;  // of INVALID_SECTION and DUPLICATE_NAME, counted from 1
    std::vector<SettingsSection> sections;
};

SettingsFile read_settings_file(const std::string& path);  // FILE_MISSING when it cannot be opened
SettingsFile parse_settings_text(std::string_view text);
// Applies a parsed file to `settings`; the error text (without the frame) on failure.
std::optional<std::string> apply_settings(const SettingsFile& file);
std::optional<std::string> check_name_budget();  // sets name_budget; the error text when below 3
std::string settings_error_text(const std::string& path, const std::string& error);  // in the frame
