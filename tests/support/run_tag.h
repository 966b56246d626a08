#pragma once
// Scratch folders go to the shared temporary directory, where two test runs at once (two
// checkouts, or a build beside CI) must not remove each other's. The tag goes down to the
// processes a death test starts, which must find the folders of the test that started them.
#include <cstdlib>
#include <random>
#include <string>

inline const std::string& run_tag() {
    static const std::string tag = [] {
        constexpr const char* VARIABLE = "PARCELO_TEST_RUN_TAG";
        if (const char* inherited = std::getenv(VARIABLE); inherited && *inherited) return std::string(inherited);
        std::string fresh = std::to_string(std::random_device{}());
#ifdef _WIN32
        _putenv_s(VARIABLE, fresh.c_str());
#else
        setenv(VARIABLE, fresh.c_str(), 1);
#endif
        return fresh;
    }();
    return tag;
}
