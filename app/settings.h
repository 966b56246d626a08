#pragma once
#include <string>
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
};
extern Settings settings;

void load_settings(const std::string& path);  // may end the program (exit code 3)
std::string settings_path();                   // next to the program file
