#pragma once
// Scratch folders go to the shared temporary directory, where two test runs at once (two
// checkouts, or a build beside CI) must not remove each other's.
#include <random>
#include <string>

inline const std::string& run_tag() {
    static const std::string tag = std::to_string(std::random_device{}());
    return tag;
}
