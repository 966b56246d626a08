// Opening, position and whole-file locks for <cstdio> files.
#include <windows.h>

#include <io.h>

#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/win32/wide.h"

namespace {

HANDLE handle_of(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

// One byte short of 4 GiB, plus 4 GiB for each 4 GiB the file holds beyond that: the lock
// of a smaller file stays what it always was, and a larger one is still locked whole.
constexpr DWORD LOCKED_LENGTH_LOW = 0xFFFFFFFF;

DWORD locked_length_high(HANDLE handle) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handle, &size) ? static_cast<DWORD>(static_cast<std::uint64_t>(size.QuadPart) >> 32) : 0;
}

}  // namespace

std::FILE* open_file(const std::string& path, const char* mode) {
    std::FILE* file = _wfopen(wide_text(path).c_str(), wide_text(mode).c_str());
    if (!file) note_failure();
    return file;
}

std::FILE* open_shared_append(const std::string& path) { return open_file(path, "a"); }

std::uint64_t file_position(std::FILE* file) {
    long long position = _ftelli64(file);
    return position < 0 ? 0 : static_cast<std::uint64_t>(position);
}

// A pipe has no byte ranges to lock, and what we read from it nobody else can change or
// read; it is read unlocked, as on POSIX, instead of being refused as unreadable.
bool lock_whole_file(std::FILE* file) {
    HANDLE handle = handle_of(file);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(handle) == FILE_TYPE_PIPE) return true;
    if (LockFile(handle, 0, 0, LOCKED_LENGTH_LOW, locked_length_high(handle))) return true;
    note_failure(SystemError{0, GetLastError()});
    return false;
}

void unlock_whole_file(std::FILE* file) {
    HANDLE handle = handle_of(file);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) == FILE_TYPE_PIPE) return;
    UnlockFile(handle, 0, 0, LOCKED_LENGTH_LOW, locked_length_high(handle));
}
