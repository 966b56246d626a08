#pragma once
#include <cstdint>
#include <string>

struct RunState {
    std::string spec_path;
    std::string spec_dir;     // ends in the separator
    std::string output_dir;   // ends in the separator
    bool running = true;      // cleared when the user confirms Abbrechen
    std::string current_file_name;
    std::uint64_t current_file_size = 0;
    std::uint64_t total_bytes = 0;
    std::uint64_t last_reported = 0;
    int error_count = 0;
    std::string crash_file_path;
    std::string crash_message;
};
extern RunState run_state;
void reset_run_state();

struct RunOutcome {
    std::string summary;
    int exit_code = 0;
};
RunOutcome run_all();
