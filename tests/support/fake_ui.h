#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FakeUi {
    double bytes_per_percent = 0;
    std::string source, target;
    std::uint64_t progress_bytes = 0;
    int pumps = 0;
    std::function<void()> on_pump;  // e.g. cancel after N lines
    std::vector<std::string> boxes;
    bool answer_yes = true;
};
extern FakeUi fake_ui;
