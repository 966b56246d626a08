#pragma once
// Why a file service failed, in the user's words: the system's error code mapped to a short
// German reason for the common causes. One table serves both builds.
#include <cstdint>
#include <string>

struct SystemError {
    int errno_value = 0;
    std::uint32_t windows_code = 0;  // GetLastError or the C runtime's _doserrno; 0 on POSIX
};

// cp1252; empty when the cause is not one of the common ones. A Windows code, when there is
// one, decides: it tells more than the errno value the C runtime makes of it.
std::string reason_text(const SystemError& error);

// The file services note the system's error on the calling thread when they fail:
// open_file, create_dir, make_dirs, make_dirs_below, lock_whole_file and set_file_times /
// set_modified_time on an open file. A C library call that failed elsewhere (fread, fwrite,
// fclose) notes it with note_failure() right after. Read the reason right after the failure
// is seen, before any other of these calls.
void note_failure(const SystemError& error);
void note_failure();  // the C library's errno (Windows: and the system code behind it)
void forget_failure();
std::string last_failure_reason();
