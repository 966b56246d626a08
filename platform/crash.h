#pragma once
#include <cstdio>
#include <string>

// The routine that runs after an unexpected failure has been recorded (the app's `crash`).
using CrashRoutine = void (*)(int);

// Installs the handlers for unexpected failures (Win32: unhandled-exception filter;
// POSIX: fatal signals and std::terminate). Each writes a diagnostic report to
// `report_path` (cp1252), then ends through `routine`.
void install_crash_handler(const std::string& report_path, CrashRoutine routine);

// A signal handler may not allocate or take locks, so on POSIX it cannot run `routine`;
// it writes these texts, kept ready by the app, instead. Win32 ignores them.
struct CrashTexts {
    std::string block;         // appended to the report (cp1252)
    std::string message;       // shown to the user (cp1252)
    std::FILE* log = nullptr;  // the open log with /p, else nullptr
};
void set_crash_texts(const CrashTexts& texts);

// The report file of install_crash_handler, opened for appending; nullptr if there is none or
// it cannot be opened. On POSIX a link, a non-regular file or another user's file is refused,
// since the temporary directory is shared.
std::FILE* open_crash_report();

// An internal failure we detect ourselves (e.g. a listing path over 255 characters):
// the report, then `routine`. Never returns.
[[noreturn]] void raise_unexpected_failure(const char* what);
