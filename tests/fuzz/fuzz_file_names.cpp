// Subjects to file names: prefixes, cleaning, the budget, the counter, and what Windows takes.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>

#include "app/settings.h"
#include "message/file_names.h"
#include "tests/property/windows_names.h"

namespace {

// A few settings worth trying, picked by the first byte.
void choose_settings(std::uint8_t pick) {
    settings = Settings{};
    if (pick & 1) settings.prefixes_to_remove = {"re:", "aw:", "\xE4:", "x"};
    if (pick & 2) {
        settings.replace_from = " .";
        settings.replace_to = "_-";
        settings.space_char = '_';
        settings.ellipsis = "---";
    }
    settings.max_filename_length = pick & 4 ? 20 : pick & 8 ? 120 : 60;
    if (pick & 16) settings.file_extension = "";
    check_name_budget();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    choose_settings(data[0]);
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    std::map<std::string, std::string> seen;
    // Each line is one subject; equal stems must come out apart.
    for (int round = 0; round < 2; ++round) {
        std::string_view subjects = rest;
        while (!subjects.empty()) {
            std::size_t end = subjects.find('\n');
            std::string_view subject = subjects.substr(0, end);
            subjects = end == std::string_view::npos ? std::string_view{} : subjects.substr(end + 1);

            std::string cleaned = clean_subject(subject);
            if (cleaned.empty() || cleaned.size() > static_cast<std::size_t>(settings.name_budget)) std::abort();
            std::string stripped = remove_prefixes(subject);
            if (stripped.size() > subject.size()) std::abort();

            BuiltName built = build_file_name(subject, DateTime{}, round ? -5.5 : 0);
            std::string name = built.file_name + settings.file_extension;
            if (!windows_names::fault(name).empty()) std::abort();
            if (!seen.emplace(windows_names::folded(name), name).second) std::abort();
        }
    }
    // What an input leaves behind would look like a leak to libFuzzer and cost a heap scan.
    clear_registry();
    settings = Settings{};
    return 0;
}
