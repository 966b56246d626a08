// Plain string work on paths, the same on both builds.
#include "platform/file_system.h"

bool windows_paths() { return path_separator == '\\'; }

std::size_t last_separator(const std::string& path) {
    std::size_t sep = path.rfind(path_separator);
    if (sep != std::string::npos) return sep + 1;
    // A drive prefix such as "c:" only exists on Windows; on POSIX ":" is an ordinary character.
    if (windows_paths()) {
        std::size_t colon = path.find(':');
        if (colon != std::string::npos) return colon + 1;
    }
    return 0;
}

// A last component that begins with "." is taken as a directory, so "." and ".." become
// ".\" and "..\" and never pass for file names.
std::string dir_part(const std::string& path) {
    std::size_t k = last_separator(path);
    if (k == path.size()) return path;
    if (path[k] == '.') return path + path_separator;
    return path.substr(0, k);
}

std::string name_part(const std::string& path) {
    std::size_t k = last_separator(path);
    if (k < path.size() && path[k] != '.') return path.substr(k);
    return {};
}

std::string beside_program(const std::string& name) {
    std::string directory = dir_part(program_path());
    if (!directory.empty() && directory.back() != path_separator) directory += path_separator;
    return directory + name;
}

std::string_view without_trailing_dots(std::string_view name) {
    const std::size_t end = name.find_last_not_of(". ");
    return name.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

// Windows drops trailing dots and blanks from the name of what it creates; POSIX keeps them.
std::string stored_name(const std::string& name) {
    return windows_paths() ? std::string(without_trailing_dots(name)) : name;
}
