#pragma once
// A fresh folder under the temporary directory for one test, removed afterwards.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/file_system.h"
#include "platform/text.h"

// "a/b" written with our separator, so one expectation serves both builds.
inline std::string native(std::string path) {
    for (char& c : path)
        if (c == '/') c = path_separator;
    return path;
}

// Windows runs a death test by starting the test again in a new process; the variable
// hands that process the folder of the first one.
constexpr const char* SCRATCH_VARIABLE = "PARCELO_TEST_SCRATCH";

inline void set_scratch_variable(const std::string& value) {
#ifdef _WIN32
    _putenv_s(SCRATCH_VARIABLE, value.c_str());
#else
    if (value.empty()) {
        unsetenv(SCRATCH_VARIABLE);
    } else {
        setenv(SCRATCH_VARIABLE, value.c_str(), 1);
    }
#endif
}

struct Scratch {
    std::string root;  // ends in the separator
    bool owned = true;

    Scratch() {
        const char* inherited = std::getenv(SCRATCH_VARIABLE);
        if (inherited && *inherited) {
            root = inherited;
            owned = false;
            return;
        }
        root = temp_dir() + "parcelo-platform-" + std::to_string(std::random_device{}()) + path_separator;
        create_dir(root);
        set_scratch_variable(root);
    }
    ~Scratch() {
        if (!owned) return;
        set_scratch_variable("");
        std::error_code ignored;
        std::filesystem::remove_all(external_text(root), ignored);
    }
    std::string path(const std::string& relative) const { return root + native(relative); }
    std::string write(const std::string& relative, const std::string& content = "x") const {
        std::string full = path(relative);
        if (std::FILE* file = open_file(full, "wb")) {
            std::fwrite(content.data(), 1, content.size(), file);
            std::fclose(file);
        }
        return full;
    }
    std::string make_dir(const std::string& relative) const {
        std::string full = path(relative);
        create_dir(full);
        return full;
    }
};

inline bool is_windows() { return path_separator == '\\'; }
