#pragma once
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

void set_log_path(const std::string& path);
void set_log_arguments(const std::vector<std::string>& args);  // the command line for the head block
void open_log();                           // with /p; on failure nothing is ever logged
bool log_is_open();
std::FILE* log_file();                     // nullptr when closed
void write_log_text(const std::string& text);       // text + "\n"
void write_log_raw(const std::string& text);        // as it stands
void close_log();                          // end block, then closed for good
std::string timestamp_text();
void reset_log();                          // closed without end block, path and arguments kept

//--- the blocks, built apart from the file so they can be checked
std::string format_timestamp(const std::tm& local);  // "Montag 2007-03-05, 14:02:09"
std::string log_head_block(const std::vector<std::string>& args, const std::string& timestamp);
std::string log_end_block(const std::string& timestamp);
