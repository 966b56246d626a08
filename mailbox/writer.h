#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "mailbox/engine.h"
#include "mailbox/split_result.h"
#include "message/header_fields.h"

SplitResult write_message(const MessageInfo& info, const std::string& directory);
// What the run does about a message file's result, through the host: nothing for one written
// or a full FAT directory; a failure is counted and asked or logged. false: the user chose to stop.
bool settle_file(const FileResult& result);
bool on_fat_volume(const std::string& directory);  // FAT or FAT32, whose directories fill up
FileProblem creation_problem(const std::string& path, const std::string& directory, const std::string& name);
// A file short by `missing` bytes: WRITE, or DISK_FULL after removing it.
FileProblem short_file_problem(const std::string& path, const std::string& directory, std::int64_t missing);
// Writes the line held back and holds `line`; at the end (`end`) writes the last line.
// Returns the bytes expected on disk for what this call wrote.
std::uint64_t write_line(std::FILE* out, std::string_view line, bool end = false);
void reset_held_line();
std::uint64_t fat_entries_needed(const std::string& directory, const std::string& file_name);
