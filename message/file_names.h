#pragma once
#include <string>
#include <string_view>

#include "message/dates.h"

struct BuiltName {
    std::string file_name;  // without extension, unique in the registry
    std::string subject;    // the decoded subject
};

//--- the registry of names handed out, compared case-insensitively
int register_name(const std::string& name, bool already_folded = false);  // uses so far, this one included
void clear_registry();

// A name Windows takes for a device («NUL», «com1.txt»), with or without an extension.
bool is_device_name(std::string_view name);

std::string remove_prefixes(std::string_view text);
std::string clean_subject(std::string_view decoded);
std::string make_unique(const std::string& name);
BuiltName build_file_name(std::string_view raw_subject, const DateTime& date, double zone_hours);
