#pragma once
#include <string>

// Where a mailbox's messages go below the output directory. Every name comes from the
// mailbox's own file and folder names, which nothing may turn into a way out.

// One level of a target: a name made only of dots and blanks, none at all, or a device name
// gets a leading "_", so that "..", "." or "NUL" never leave the level or reach a device; in
// the form the file system stores it (Windows drops trailing dots and blanks).
std::string safe_target_name(const std::string& name);
// A mailbox file's name up to its last "." (".inbox" and names without a dot stay whole).
std::string base_name(const std::string& name);
// A folder's level in the output: a mail folder "<name>.sbd" meets its mailbox "<name>".
std::string mirrored_name(const std::string& folder);
// Whether `target` lies in or below `output_dir` (which ends in the separator) by its text:
// no level of it empty, nor made only of dots and blanks, which file systems read as a step up
// or drop.
bool inside_output(const std::string& target, const std::string& output_dir);
// What a file system that ignores case and trailing dots and blanks makes of a target.
std::string target_key(const std::string& target);
