// The target rules: one level per folder below the output directory, never out of it.
#include "app/targets.h"

#include <string_view>

#include "message/file_names.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace {

constexpr std::string_view SUB_FOLDERS = ".sbd";

}  // namespace

// The level as it will stand on disk, so that every later test of it finds it.
std::string safe_target_name(const std::string& name) {
    if (without_trailing_dots(name).empty() || is_device_name(name)) return stored_name("_" + name);
    return stored_name(name);
}

std::string base_name(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string mirrored_name(const std::string& folder) {
    const std::size_t stem = folder.size() - SUB_FOLDERS.size();
    if (folder.size() > SUB_FOLDERS.size() && lower_case(folder.substr(stem)) == SUB_FOLDERS)
        return safe_target_name(folder.substr(0, stem));
    return safe_target_name(folder);
}

bool inside_output(const std::string& target, const std::string& output_dir) {
    if (target.compare(0, output_dir.size(), output_dir) != 0) return false;
    std::string_view rest = std::string_view(target).substr(output_dir.size());
    if (rest.empty()) return true;  // the output directory itself, with /d
    if (rest.back() == path_separator) rest.remove_suffix(1);
    for (;;) {
        const std::size_t end = rest.find(path_separator);
        if (without_trailing_dots(rest.substr(0, end)).empty()) return false;  // "", "." or "..", or "a//"
        if (end == std::string_view::npos) return true;
        rest = rest.substr(end + 1);
    }
}

std::string target_key(const std::string& target) {
    std::string key;
    std::string_view rest = target;
    for (;;) {
        const std::size_t end = rest.find(path_separator);
        key += lower_case(without_trailing_dots(rest.substr(0, end)));
        if (end == std::string_view::npos) return key;
        key += path_separator;
        rest = rest.substr(end + 1);
    }
}
