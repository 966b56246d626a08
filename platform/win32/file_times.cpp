// File times over kernel32.
#include <windows.h>

#include "platform/file_system.h"

namespace {

FILETIME to_windows(FileTime time) { return {time.low, time.high}; }

}  // namespace

// On failure the time comes back unchanged; the caller then sets a time off by the zone
// offset, which is better than an undefined one.
FileTime local_to_utc(FileTime local) {
    FILETIME in = to_windows(local), out;
    if (!LocalFileTimeToFileTime(&in, &out)) return local;
    return {out.dwLowDateTime, out.dwHighDateTime};
}

// Backup semantics let the same call open a directory; an absent time stays as it is.
int set_file_times(const std::string& path, const FileTime* creation, const FileTime* access,
                   const FileTime* write) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    FILETIME c = creation ? to_windows(*creation) : FILETIME{};
    FILETIME a = access ? to_windows(*access) : FILETIME{};
    FILETIME w = write ? to_windows(*write) : FILETIME{};
    BOOL done = SetFileTime(handle, creation ? &c : nullptr, access ? &a : nullptr, write ? &w : nullptr);
    CloseHandle(handle);
    return done ? 0 : -1;
}
