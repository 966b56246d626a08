#pragma once
#include <string>

// Message boxes (Win32) or their terminal form (POSIX). Texts are cp1252.
void show_usage_box(const std::string& text);    // caption "Info - parcelo", information icon
void show_error_box(const std::string& text);    // caption "parcelo", exclamation icon, OK
bool ask_yes_no(const std::string& text);         // caption "parcelo", question icon; true: Yes
