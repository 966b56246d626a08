// The settings file: parsing, applying and the name budget, then names under the result.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/settings.h"
#include "message/file_names.h"
#include "tests/property/windows_names.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    settings = Settings{};
    SettingsFile file = parse_settings_text(text);
    if ((file.status == SettingsStatus::INVALID_SECTION || file.status == SettingsStatus::DUPLICATE_NAME) &&
        file.line < 1)
        std::abort();
    if (apply_settings(file)) return 0;
    if (settings.replace_from.size() != settings.replace_to.size()) std::abort();
    for (char c : settings.replace_from)
        if (settings.replace_to.find(c) != std::string::npos) std::abort();
    if (settings.max_filename_length < 20 || settings.max_filename_length > 120) std::abort();
    if (check_name_budget()) return 0;

    // Every subject still gives a name within the budget, plus suffix and counter.
    for (std::string_view subject : {std::string_view("Re: Hallo Welt. Teil 1 / 2"), text.substr(0, 200)}) {
        BuiltName built = build_file_name(subject, DateTime{}, 0);
        if (built.file_name.size() > static_cast<std::size_t>(settings.name_budget) + 10 + 8) std::abort();
        // Whatever the file says, the name stays one Windows takes, inside the folder.
        if (!windows_names::fault(built.file_name + settings.file_extension).empty()) std::abort();
    }
    // What an input leaves behind would look like a leak to libFuzzer and cost a heap scan.
    clear_registry();
    settings = Settings{};
    return 0;
}
