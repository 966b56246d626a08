// Paths and volumes over the kernel32 wide calls.
#include <windows.h>

#include "platform/file_system.h"
#include "platform/text.h"
#include "platform/win32/wide.h"

const char path_separator = '\\';

namespace {

// Windows first reports the size it needs (with the NUL), then fills the buffer and reports
// the length it wrote; a second answer that does not fit means the text changed between
// the calls, and we treat it as a failure rather than trust it.
template <typename Fill>
std::optional<std::string> measured_text(DWORD needed, DWORD extra, Fill fill) {
    if (needed == 0) return std::nullopt;
    std::wstring buffer(needed + extra, L'\0');
    DWORD written = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written == 0 || written >= buffer.size()) return std::nullopt;
    buffer.resize(written);
    return inside_text(buffer);
}

}  // namespace

std::string full_path(const std::string& path) {
    const std::wstring wide = wide_text(path);
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    auto text = measured_text(needed, 0, [&](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
    });
    return text ? *text : path;
}

std::string long_path(const std::string& path) {
    const std::wstring wide = wide_text(path);
    wchar_t probe[1] = {0};
    DWORD needed = GetLongPathNameW(wide.c_str(), probe, 0);
    auto text = measured_text(needed, 1, [&](wchar_t* buffer, DWORD size) {
        return GetLongPathNameW(wide.c_str(), buffer, size);
    });
    return text ? *text : path;
}

std::string temp_dir() {
    wchar_t probe[1] = {0};
    DWORD needed = GetTempPathW(0, probe);
    auto text = measured_text(needed, 1, [](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    return text ? *text : std::string();
}

std::string program_path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD written = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (written == 0) return {};
        if (written < buffer.size()) {
            buffer.resize(written);
            return inside_text(buffer);
        }
        buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
}

std::string settings_file_path(const std::string&, const std::string& name) { return beside_program(name); }

std::string own_settings_file_path(const std::string&, const std::string& name) { return beside_program(name); }

VolumeInfo volume_info(const std::string& path) {
    std::string root;
    if (path.size() == 1) {
        root = path + ":\\";
    } else if (path.rfind("\\\\", 0) == 0) {
        root = path;
        if (root.back() != '\\') root += '\\';
    } else if (path.size() == 3) {
        root = path;
    } else if (!path.empty()) {
        root = path.substr(0, 1) + ":\\";
    }
    wchar_t name[MAX_PATH + 1] = {0};
    DWORD max_length = 0;
    VolumeInfo info;
    const std::wstring wide_root = wide_text(root);
    // An empty path asks for the current drive's root (a null root name).
    if (GetVolumeInformationW(path.empty() ? nullptr : wide_root.c_str(), nullptr, 0, nullptr, &max_length,
                              nullptr, name, MAX_PATH + 1)) {
        info.file_system_name = inside_text(name);
        info.max_component_length = max_length;
    }
    return info;
}

std::string volume_label(const std::string& path) { return upper_case(path.substr(0, 2)); }

DiskSpace disk_free(const std::string& path) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(wide_text(path).c_str(), &available, &total, &free)) return {};
    return {static_cast<std::int64_t>(available.QuadPart), static_cast<std::int64_t>(total.QuadPart),
            static_cast<std::int64_t>(free.QuadPart)};
}
