// Directory listings, FAT slot counts, creation and deletion over the kernel32 wide calls.
#include <windows.h>

#include <cwchar>

#include "platform/crash.h"
#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/foreign.h"
#include "platform/win32/wide.h"

namespace {

// Only links and junctions: other reparse points (deduplicated or cloud files) are plain entries.
bool is_link(const WIN32_FIND_DATAW& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

std::string attribute_letters(DWORD attributes) {
    std::string letters;
    if (attributes & FILE_ATTRIBUTE_READONLY) letters += 'r';
    if (attributes & FILE_ATTRIBUTE_HIDDEN) letters += 'h';
    if (attributes & FILE_ATTRIBUTE_SYSTEM) letters += 's';
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) letters += 'd';
    if (attributes & FILE_ATTRIBUTE_ARCHIVE) letters += 'a';
    if (attributes & 0x8) letters += 'v';  // volume label, known only to the old FAT calls
    return letters;
}

DirEntry entry_of(const WIN32_FIND_DATAW& found) {
    DirEntry entry;
    entry.name = inside_text(found.cFileName);
    entry.attributes = attribute_letters(found.dwFileAttributes);
    if (is_link(found)) entry.attributes += 'l';
    // Both halves: with the low half alone a 4 GiB file would pass for an empty one.
    entry.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    FILETIME local;
    WORD date = 0x21, time = 0;  // 1980-01-01 00:00:00 when the time has no DOS form
    if (FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) && FileTimeToDosDateTime(&local, &date, &time)) {
        entry.year = 1980 + (date >> 9);
        entry.month = (date >> 5) & 0x0F;
        entry.day = date & 0x1F;
        entry.hour = time >> 11;
        entry.minute = (time >> 5) & 0x3F;
        entry.second = (time & 0x1F) * 2;
    }
    return entry;
}

// FindFirstFileA's handle compared as the signed value -1 (INVALID_HANDLE_VALUE).
bool is_valid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }

}  // namespace

DirListing list_dir(const std::string& path) {
    if (character_count(path) > LONGEST_LISTED_PATH) raise_unexpected_failure("list_dir: path longer than 255 characters");
    std::string pattern = path;
    while (pattern.size() > 1 && (pattern.back() == ' ' || pattern.back() == '\t' || pattern.back() == '\\'))
        pattern.pop_back();

    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(wide_text(pattern).c_str(), &found);
    bool names_directory = is_valid(handle) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                           pattern.find_first_of("*?") == std::string::npos;
    // A directory or a drive is listed by its contents, not by its own entry.
    if ((!pattern.empty() && pattern.back() == ':') || names_directory) {
        if (is_valid(handle)) FindClose(handle);
        pattern += "\\*.*";
        handle = FindFirstFileW(wide_text(pattern).c_str(), &found);
    }
    if (!is_valid(handle)) return std::nullopt;
    std::vector<DirEntry> entries;
    do {
        entries.push_back(entry_of(found));
    } while (FindNextFileW(handle, &found));
    FindClose(handle);
    return entries;
}

std::uint64_t count_dir_slots(const std::string& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(wide_text(pattern).c_str(), &found);
    if (!is_valid(handle)) return 0;
    std::uint64_t slots = 0;
    do {
        // 13 UTF-16 units per long-name slot, plus the 8.3 slot when a separate short name exists.
        slots += (std::wcslen(found.cFileName) + 12) / 13;
        if (found.cAlternateFileName[0] != '\0') slots += 1;
    } while (FindNextFileW(handle, &found));
    FindClose(handle);
    return slots;
}

DirListing folder_entries(const std::string& dir) {
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(wide_text(dir + "*.*").c_str(), &found);
    std::vector<DirEntry> entries;
    if (!is_valid(handle)) {
        // Only an empty drive root lists nothing at all; anything else could not be read.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
        return std::nullopt;
    }
    do {
        entries.push_back(entry_of(found));
    } while (FindNextFileW(handle, &found));
    FindClose(handle);
    return entries;
}

// Devices have no names in a directory; only a device path answers so.
bool is_special_file(const std::string& path) {
    DWORD attributes = GetFileAttributesW(wide_text(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE);
}

std::optional<std::string> first_bytes(const std::string& path, std::size_t most) {
    std::FILE* file = open_file(path, "rb");
    if (file == nullptr) return std::nullopt;
    std::string bytes(most, '\0');
    bytes.resize(std::fread(bytes.data(), 1, most, file));
    std::fclose(file);
    return bytes;
}

std::optional<FileIdentity> file_identity(const std::string& path) {
    HANDLE handle = CreateFileW(wide_text(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (!is_valid(handle)) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

int create_dir(const std::string& path) {
    if (CreateDirectoryW(wide_text(path).c_str(), nullptr)) return 0;
    note_failure(SystemError{0, GetLastError()});
    return -1;
}

int delete_file(const std::string& path) { return DeleteFileW(wide_text(path).c_str()) ? 0 : -1; }
