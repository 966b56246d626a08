#pragma once
#include <cstdio>
#include <string>

void set_log_path(const std::string& path);
void open_log();                           // with /p; on failure nothing is ever logged
bool log_is_open();
std::FILE* log_file();                     // nullptr when closed
void write_log_text(const std::string& text);       // text + "\n"
void write_log_raw(const std::string& text);        // as it stands
void close_log();                          // end block, then closed for good
std::string timestamp_text();
