// File times over kernel32.
#include <windows.h>

#include <io.h>

#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/win32/wide.h"

namespace {

FILETIME to_windows(FileTime time) { return {time.low, time.high}; }

// An absent time stays as it is.
BOOL set_handle_times(HANDLE handle, const FileTime* creation, const FileTime* access, const FileTime* write) {
    FILETIME c = creation ? to_windows(*creation) : FILETIME{};
    FILETIME a = access ? to_windows(*access) : FILETIME{};
    FILETIME w = write ? to_windows(*write) : FILETIME{};
    return SetFileTime(handle, creation ? &c : nullptr, access ? &a : nullptr, write ? &w : nullptr);
}

}  // namespace

// On failure the time comes back unchanged; the caller then sets a time off by the zone
// offset, which is better than an undefined one.
FileTime local_to_utc(FileTime local) {
    FILETIME in = to_windows(local), out;
    if (!LocalFileTimeToFileTime(&in, &out)) return local;
    return {out.dwLowDateTime, out.dwHighDateTime};
}

// Backup semantics let the same call open a directory.
int set_file_times(const std::string& path, const FileTime* creation, const FileTime* access,
                   const FileTime* write) {
    HANDLE handle = CreateFileW(wide_text(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    BOOL done = set_handle_times(handle, creation, access, write);
    if (!done) note_failure(SystemError{0, GetLastError()});
    CloseHandle(handle);
    return done ? 0 : -1;
}

// The C runtime opens files for writing with GENERIC_WRITE, which may set times.
int set_file_times(std::FILE* file, const FileTime* creation, const FileTime* access, const FileTime* write) {
    auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE) return -1;
    if (set_handle_times(handle, creation, access, write)) return 0;
    note_failure(SystemError{0, GetLastError()});
    return -1;
}
