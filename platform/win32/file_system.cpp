// Paths and volumes over the kernel32 ANSI calls.
#include <windows.h>

#include "platform/file_system.h"
#include "platform/text.h"

const char path_separator = '\\';

namespace {

// Windows first reports the size it needs (with the NUL), then fills the buffer and reports
// the length it wrote; a second answer that does not fit means the text changed between
// the calls, and we treat it as a failure rather than trust it.
template <typename Fill>
std::optional<std::string> measured_text(DWORD needed, DWORD extra, Fill fill) {
    if (needed == 0) return std::nullopt;
    std::string buffer(needed + extra, '\0');
    DWORD written = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written == 0 || written >= buffer.size()) return std::nullopt;
    buffer.resize(written);
    return buffer;
}

}  // namespace

std::string full_path(const std::string& path) {
    DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    auto text = measured_text(needed, 0, [&](char* buffer, DWORD size) {
        return GetFullPathNameA(path.c_str(), size, buffer, nullptr);
    });
    return text ? *text : path;
}

std::string long_path(const std::string& path) {
    char probe[1] = {0};
    DWORD needed = GetLongPathNameA(path.c_str(), probe, 0);
    auto text = measured_text(needed, 1, [&](char* buffer, DWORD size) {
        return GetLongPathNameA(path.c_str(), buffer, size);
    });
    return text ? *text : path;
}

std::string temp_dir() {
    char probe[1] = {0};
    DWORD needed = GetTempPathA(0, probe);
    auto text = measured_text(needed, 1, [](char* buffer, DWORD size) { return GetTempPathA(size, buffer); });
    return text ? *text : std::string();
}

std::string program_path() {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        DWORD written = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (written == 0) return {};
        if (written < buffer.size()) {
            buffer.resize(written);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
}

std::string settings_file_path(const std::string&, const std::string& name) { return beside_program(name); }

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
    char name[MAX_PATH + 1] = {0};
    DWORD max_length = 0;
    VolumeInfo info;
    // An empty path asks for the current drive's root (a null root name).
    if (GetVolumeInformationA(path.empty() ? nullptr : root.c_str(), nullptr, 0, nullptr, &max_length,
                              nullptr, name, sizeof name)) {
        info.file_system_name = name;
        info.max_component_length = max_length;
    }
    return info;
}

std::string volume_label(const std::string& path) { return upper_case(path.substr(0, 2)); }

DiskSpace disk_free(const std::string& path) {
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(path.c_str(), &available, &total, &free)) return {};
    return {static_cast<std::int64_t>(available.QuadPart), static_cast<std::int64_t>(total.QuadPart),
            static_cast<std::int64_t>(free.QuadPart)};
}
