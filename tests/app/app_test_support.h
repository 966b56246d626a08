#pragma once
// Helpers for tests of code that ends the process: the child's boxes are printed
// to stderr at exit, so a death test can match them.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/log.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "tests/support/fake_ui.h"
#include "tests/support/run_tag.h"

inline void print_boxes_at_exit() {
    std::atexit([] {
        for (const std::string& box : fake_ui.boxes) std::fprintf(stderr, "BOX<%s>\n", box.c_str());
    });
}

inline void reset_app_state() {
    options = Options{};
    settings = Settings{};
    reset_run_state();
    reset_log();
    set_log_path("");
    set_log_arguments({});
    fake_ui = FakeUi{};
}

// A fresh folder under the system's temporary directory, removed again by the test.
struct ScratchDir {
    std::filesystem::path path;
    explicit ScratchDir(const std::string& name)
        : path(std::filesystem::temp_directory_path() / ("parcelo-app-" + run_tag() + "-" + name)) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Windows writes text files with CR LF; the tests compare the lines.
inline std::string read_text_file(const std::string& path) {
    std::string text = read_file(path);
    std::string lines;
    for (char c : text)
        if (c != '\r') lines += c;
    return lines;
}

inline void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}
