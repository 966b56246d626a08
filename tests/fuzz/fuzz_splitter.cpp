// The whole splitter over a mailbox made of the input: each policy, both layouts, running
// numbers or subject names. With numbers, every file must be what the model says; with
// names, every name must be one Windows takes, and nothing may land outside the output.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include "app/engine_host.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "mailbox/splitter.h"
#include "mailbox/writer.h"
#include "message/file_names.h"
#include "message/header_fields.h"
#include "platform/text.h"
#include "tests/property/mailbox_model.h"
#include "tests/property/windows_names.h"
#include "tests/support/core_state.h"
#include "tests/support/fake_ui.h"

namespace fs = std::filesystem;

namespace {

const fs::path& scratch() {
    static const fs::path dir = fs::temp_directory_path() / ("parcelo-fuzz-" + std::to_string(getpid()));
    return dir;
}

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_splitter: %s\n", what);
    std::abort();
}

// Every file of `part` is one of `whole`, each used once.
bool contained(std::vector<std::string> part, std::vector<std::string> whole) {
    std::sort(part.begin(), part.end());
    std::sort(whole.begin(), whole.end());
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

bool same_files(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

// What an input leaves behind would look like a leak to libFuzzer and cost a heap scan.
void reset_globals() {
    // Emptying the 16384 buckets costs more than a whole small split; numbers use none.
    if (!options.numbering) clear_registry();
    reset_core_state();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t config = data[0];
    std::string_view box(reinterpret_cast<const char*>(data + 1), size - 1);

    std::error_code ignored;
    fs::remove_all(scratch(), ignored);
    fs::create_directories(scratch() / "out");
    const fs::path mailbox = scratch() / "box.mbx";
    std::ofstream(mailbox, std::ios::binary).write(box.data(), static_cast<std::streamsize>(box.size()));

    // The globals are as reset_globals left them after the previous input.
    options.no_ask = true;
    options.numbering = config & 1;
    const bool lenient = config & 2;
    options.separator_policy = lenient ? SeparatorPolicy::LENIENT : SeparatorPolicy::STRICT;
    // With a date filter some messages are skipped: what is written must still be whole.
    const bool filtered = config & 4;
    options.has_min_date = filtered;
    options.min_date = {2024, 1, 1};
    check_name_budget();
    set_up_engine();

    const std::string base = (scratch() / "out" / "box").string();
    splitter.target_dir = base + "/";
    SplitResult result = split_mailbox(mailbox.string(), base, options.separator_policy);

    model::Split expected = model::split(box, lenient ? model::Policy::LENIENT : model::Policy::STRICT);
    if (expected.outcome == model::Outcome::UNKNOWN_FORMAT) {
        if (result != SplitResult::UNKNOWN_FORMAT) fail("expected an unknown format");
    } else if (result != SplitResult::END_OF_FILE) {
        fail("the mailbox did not end normally");
    }

    // Nothing beside the mailbox and the output folder; at most one folder inside that.
    std::size_t top = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch())) ++top;
    if (top != 2) fail("something was written beside the output folder");
    std::size_t folders = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch() / "out")) ++folders;
    if (folders > 1) fail("more than one folder in the output");

    std::vector<std::string> files;
    if (fs::exists(base)) {
        if (options.numbering) {
            std::size_t count = 0;
            for ([[maybe_unused]] const auto& entry : fs::directory_iterator(base)) ++count;
            for (std::size_t n = 1; n <= count; ++n) {
                char name[24];
                std::snprintf(name, sizeof name, "%08zu.eml", n);
                if (!fs::is_regular_file(fs::path(base) / name)) fail("the files are not numbered without a gap");
                files.push_back(read_all(fs::path(base) / name));
            }
            if (filtered) {
                if (!contained(files, expected.files)) fail("a written file is not one of the model's");
            } else {
                if (!model::rebuild_mismatch(expected, files).empty()) fail("a line is not where it belongs");
                if (files != expected.files) fail("a file differs from the model");
            }
        } else {
            std::map<std::string, std::string> seen;
            for (const auto& entry : fs::directory_iterator(base)) {
                if (!entry.is_regular_file()) fail("a folder inside the mailbox folder");
                std::string name = internal_text(entry.path().filename().string());
                if (!windows_names::fault(name).empty()) fail("a name Windows refuses");
                if (!seen.emplace(windows_names::folded(name), name).second) fail("two names differ only in case");
                files.push_back(read_all(entry.path()));
            }
            if (filtered ? !contained(files, expected.files) : !same_files(files, expected.files))
                fail("the files differ from the model");
        }
    } else if (!filtered && !expected.files.empty() && expected.outcome == model::Outcome::DONE) {
        fail("no folder although messages were expected");
    }
    reset_globals();
    return 0;
}
