// parcelo.ini: extension, prefixes, replacements, name length, the largest mailbox, Unicode names.
#include "app/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/messages.h"
#include "app/settings_encoding.h"
#include "message/dates.h"
#include "platform/file_system.h"
#include "platform/machine.h"
#include "platform/text.h"

Settings settings;

namespace {

constexpr std::string_view BLANKS = " \t\r\n";

std::string_view trim_left(std::string_view text) {
    const std::size_t start = text.find_first_not_of(BLANKS);
    return start == std::string_view::npos ? std::string_view{} : text.substr(start);
}

std::string_view trim_right(std::string_view text) {
    const std::size_t end = text.find_last_not_of(BLANKS);
    return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

std::string_view trim(std::string_view text) { return trim_right(trim_left(text)); }

bool is_quote(char c) { return c == '"' || c == '\''; }

// What Windows refuses inside a file name; a separator would even leave the folder.
bool usable_in_name(char c) {
    return static_cast<unsigned char>(c) >= 32 && std::string_view("<>:\"/\\|?*").find(c) == std::string_view::npos;
}

// Windows drops a trailing dot or blank, so the name on disk would not be the one we wrote.
bool usable_extension(std::string_view extension) {
    for (char c : extension)
        if (!usable_in_name(c)) return false;
    return extension.empty() || (extension.back() != '.' && extension.back() != ' ');
}

SettingsFile failure(SettingsStatus status, int line) {
    SettingsFile file;
    file.status = status;
    file.line = line;
    return file;
}

// Commas inside a quoted part do not split; a quote never closed runs to the end.
std::vector<std::string_view> split_outside_quotes(std::string_view text, bool apostrophes_quote) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    char open_quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (open_quote) {
            if (c == open_quote) open_quote = 0;
        } else if (c == '"' || (apostrophes_quote && c == '\'')) {
            open_quote = c;
        } else if (c == ',') {
            items.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    items.push_back(text.substr(start));
    return items;
}

std::optional<std::string> apply_prefixes(std::string_view value) {
    std::vector<std::string> prefixes;
    for (std::string_view item : split_outside_quotes(value, true)) {
        item = trim(item);
        if (item.size() >= 2 && is_quote(item.front()) && item.back() == item.front())
            item = item.substr(1, item.size() - 2);
        if (item.empty()) return std::string(MSG_PREFIX_COMMA);
        prefixes.emplace_back(item);
    }
    settings.prefixes_to_remove = prefixes;
    return std::nullopt;
}

std::optional<std::string> apply_replacements(std::string_view value) {
    std::string from, to;
    for (std::string_view item : split_outside_quotes(value, false)) {
        item = trim(item);
        if (item.size() == 4 && item.front() == '"' && item.back() == '"') {
            from += item[1];
            to += item[2];
        }
    }
    for (char c : from)
        if (to.find(c) != std::string::npos) return format_text(MSG_CONTRADICTION, std::string(1, c));
    // Only a consistent list is trimmed: a replacement that no file name can hold is then
    // ignored like any malformed item, but must not hide a contradiction.
    for (std::size_t i = 0; i < from.size(); ++i) {
        if (usable_in_name(to[i])) {
            settings.replace_from += from[i];
            settings.replace_to += to[i];
        }
    }
    const std::size_t dot = settings.replace_from.find('.');
    if (dot != std::string::npos) settings.ellipsis = std::string(3, settings.replace_to[dot]);
    const std::size_t blank = settings.replace_from.find(' ');
    if (blank != std::string::npos) settings.space_char = settings.replace_to[blank];
    return std::nullopt;
}

// A whole number from `lowest` to `highest`; anything else leaves the key's default.
std::optional<int> whole_number(std::string_view value, double lowest, double highest) {
    const std::optional<double> number = to_number(value);
    if (!number || *number < lowest || *number > highest || *number != std::floor(*number)) return std::nullopt;
    return static_cast<int>(*number);
}

void apply_length(std::string_view value) {
    if (std::optional<int> length = whole_number(value, 20, 120)) settings.max_filename_length = *length;
}

// A million GiB is far beyond any disk, and keeps the limit in bytes well inside 64 bits.
void apply_mailbox_size(std::string_view value) {
    if (std::optional<int> size = whole_number(value, 0, 1000000)) settings.max_mailbox_size = *size;
}

// More than 64 threads only queue up behind the disk.
void apply_writers(std::string_view value) {
    if (std::optional<int> count = whole_number(value, 1, 64)) settings.writers = *count;
}

// 1 keeps what the code page lacks in names; 0 the 8-bit names; anything else changes nothing.
void apply_unicode(std::string_view value) {
    if (std::optional<int> on = whole_number(value, 0, 1)) settings.unicode_names = *on == 1;
}

}  // namespace

SettingsFile parse_settings_text(std::string_view text) {
    SettingsFile file;
    SettingsSection current;
    bool in_section = false;
    int line_number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++line_number;

        const std::string_view line = trim(raw);
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (!current.entries.empty() || !current.name.empty()) file.sections.push_back(current);
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos || close == 1)
                return failure(SettingsStatus::INVALID_SECTION, line_number);
            const std::string name(line.substr(1, close - 1));
            const std::string lower_name = lower_case(name);
            for (const SettingsSection& earlier : file.sections)
                if (lower_case(earlier.name) == lower_name)
                    return failure(SettingsStatus::DUPLICATE_NAME, line_number);
            current = SettingsSection{name, {}};
            in_section = true;
        } else if (line.front() == ';' || !in_section) {
            current.entries.push_back({"", std::string(line)});
        } else {
            const std::size_t equals = line.find('=');
            if (equals == std::string_view::npos) {
                current.entries.push_back({"", std::string(line)});
                continue;
            }
            const std::string key(trim_right(line.substr(0, equals)));
            const std::string lower_key = lower_case(key);
            for (const SettingsEntry& earlier : current.entries)
                if (lower_case(earlier.key) == lower_key)
                    return failure(SettingsStatus::DUPLICATE_NAME, line_number);
            current.entries.push_back({key, std::string(trim_left(line.substr(equals + 1)))});
        }
    }
    if (!in_section) return failure(SettingsStatus::NO_SECTION, 0);
    file.sections.push_back(current);
    return file;
}

SettingsFile read_settings_file(const std::string& path) {
    std::FILE* in = open_file(path, "rb");
    if (!in) return failure(SettingsStatus::FILE_MISSING, 0);
    std::string content;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) content.append(buffer, got);
    std::fclose(in);
    return parse_settings_text(settings_text(content));
}

std::optional<std::string> apply_settings(const SettingsFile& file) {
    switch (file.status) {
        case SettingsStatus::FILE_MISSING: return std::nullopt;
        case SettingsStatus::NO_SECTION: return std::string(MSG_NO_SECTION);
        case SettingsStatus::INVALID_SECTION: return format_text(MSG_INVALID_SECTION, std::to_string(file.line));
        case SettingsStatus::DUPLICATE_NAME: return format_text(MSG_DUPLICATE_NAME, std::to_string(file.line));
        case SettingsStatus::PARSED: break;
    }

    // Every section name is checked before any key is looked at.
    for (const SettingsSection& section : file.sections) {
        const std::string name = lower_case(section.name);
        if (!name.empty() && name != "mailfiles" && name != "mailboxes" && name != "names")
            return format_text(MSG_UNKNOWN_SECTION, section.name);
    }

    std::optional<std::string> prefixes, replacements, length, mailbox_size, writers, unicode;
    for (const SettingsSection& section : file.sections) {
        if (section.name.empty()) continue;
        const std::string section_name = lower_case(section.name);
        const bool mailboxes = section_name == "mailboxes", names = section_name == "names";
        for (const SettingsEntry& entry : section.entries) {
            const std::string key = lower_case(entry.key);
            if (key.empty()) continue;
            if (names) {
                if (key != "unicode") return format_text(MSG_UNKNOWN_KEY, entry.key);
                unicode = entry.value;
            } else if (mailboxes) {
                if (key == "maxmailboxsize") mailbox_size = entry.value;
                else if (key == "writers") writers = entry.value;
                else return format_text(MSG_UNKNOWN_KEY, entry.key);
            } else if (key == "fileextension") {
                const std::size_t rest = entry.value.find_first_not_of('.');
                settings.file_extension = rest == std::string::npos ? "" : "." + entry.value.substr(rest);
                if (!usable_extension(settings.file_extension))
                    return format_text(MSG_INVALID_EXTENSION, entry.value);
            } else if (key == "prefixestoremove") {
                prefixes = lower_case(entry.value);
            } else if (key == "replaceinfilename") {
                replacements = entry.value;
            } else if (key == "maxfilenamelength") {
                length = entry.value;
            } else {
                return format_text(MSG_UNKNOWN_KEY, entry.key);
            }
        }
    }

    if (prefixes) {
        if (prefixes->empty()) {
            settings.prefixes_to_remove.clear();
        } else if (std::optional<std::string> error = apply_prefixes(*prefixes)) {
            return error;
        }
    }
    if (replacements && !replacements->empty())
        if (std::optional<std::string> error = apply_replacements(*replacements)) return error;
    if (length) apply_length(*length);
    if (mailbox_size) apply_mailbox_size(*mailbox_size);
    if (writers) apply_writers(*writers);
    if (unicode) apply_unicode(*unicode);
    return std::nullopt;
}

bool mailbox_too_large(std::uint64_t size) {
    const std::uint64_t gib = std::uint64_t{1} << 30;
    return settings.max_mailbox_size != 0 && size > static_cast<std::uint64_t>(settings.max_mailbox_size) * gib;
}

// Beyond a few threads the kernel's file creation no longer overlaps.
int writer_count() { return settings.writers != 0 ? settings.writers : std::min(processor_count(), 8); }

std::optional<std::string> check_name_budget() {
    settings.name_budget =
        settings.max_filename_length - (static_cast<int>(settings.file_extension.size()) + 10);
    if (settings.name_budget < 3) return std::string(MSG_NAME_BUDGET);
    return std::nullopt;
}

std::string settings_error_text(const std::string& path, const std::string& error) {
    return format_text(MSG_SETTINGS_FRAME, path) + error + ABORT_SUFFIX;
}

void load_settings(const std::string& path) {
    if (std::optional<std::string> error = apply_settings(read_settings_file(path)))
        abort_with_message(settings_error_text(path, *error), 3);
    check_name_budget();  // keeps name_budget in step; run_all refuses a budget below 3
}

std::string settings_path() { return settings_file_path(PROGRAM_NAME, std::string(PROGRAM_NAME) + ".ini"); }

std::string settings_hint_path() {
    const std::string read = settings_path();
    if (path_kind(read) == PathKind::FILE) return read;
    return own_settings_file_path(PROGRAM_NAME, std::string(PROGRAM_NAME) + ".ini");
}
