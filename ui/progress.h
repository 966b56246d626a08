#pragma once
#include <cstdint>
#include <string>

//--- the progress display, served by the window (Win32) or the terminal (POSIX)
void set_bytes_per_percent(double value);
void show_names(const std::string& source, const std::string& target);  // empty: unchanged
void show_progress(std::uint64_t bytes);
void pump_one_message();  // at most one pending window message

// Creates and shows the progress display, then runs until the run ends the process
// (through start_run). Returns only when there was no run.
int run_progress_window(bool start_minimised);
