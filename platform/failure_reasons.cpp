#include "platform/failure_reasons.h"

#include <cerrno>
#include <initializer_list>

namespace {

struct ReasonRow {
    std::initializer_list<int> errno_values;
    std::initializer_list<std::uint32_t> windows_codes;
    const char* text;
};

// Windows codes by number, so that the table compiles on both builds.
const ReasonRow REASONS[] = {
    {{EACCES, EPERM}, {5 /* ERROR_ACCESS_DENIED */}, "Zugriff verweigert"},
    {{ENOENT, ENOTDIR},
     {2 /* ERROR_FILE_NOT_FOUND */, 3 /* ERROR_PATH_NOT_FOUND */, 15 /* ERROR_INVALID_DRIVE */,
      53 /* ERROR_BAD_NETPATH */, 67 /* ERROR_BAD_NET_NAME */},
     "Datei oder Pfad nicht gefunden"},
    {{ENAMETOOLONG}, {111 /* ERROR_BUFFER_OVERFLOW */, 206 /* ERROR_FILENAME_EXCED_RANGE */}, "Pfad zu lang"},
    {{ENOSPC}, {39 /* ERROR_HANDLE_DISK_FULL */, 112 /* ERROR_DISK_FULL */}, "Datenträger voll"},
    {{EROFS}, {19 /* ERROR_WRITE_PROTECT */}, "Datenträger schreibgeschützt"},
    {{EBUSY, EAGAIN,
#ifdef ETXTBSY
      ETXTBSY,
#endif
#if defined(EWOULDBLOCK) && EWOULDBLOCK != EAGAIN
      EWOULDBLOCK,
#endif
     },
     {32 /* ERROR_SHARING_VIOLATION */, 33 /* ERROR_LOCK_VIOLATION */},
     "Datei wird von einem anderen Programm verwendet oder ist gesperrt"},
    {{ENXIO, ENODEV,
#ifdef ENOMEDIUM
      ENOMEDIUM,
#endif
     },
     {21 /* ERROR_NOT_READY */},
     "Gerät nicht bereit"},
};

thread_local SystemError last_failure;

bool holds(std::initializer_list<int> values, int value) {
    for (int v : values)
        if (v == value) return true;
    return false;
}

bool holds(std::initializer_list<std::uint32_t> codes, std::uint32_t code) {
    for (std::uint32_t c : codes)
        if (c == code) return true;
    return false;
}

}  // namespace

// A Windows code the table lacks gives no reason: the errno value the C runtime made of it
// may be a guess (an invalid name becomes ENOENT).
std::string reason_text(const SystemError& error) {
    if (error.windows_code != 0) {
        for (const ReasonRow& row : REASONS)
            if (holds(row.windows_codes, error.windows_code)) return row.text;
        return "";
    }
    if (error.errno_value != 0) {
        for (const ReasonRow& row : REASONS)
            if (holds(row.errno_values, error.errno_value)) return row.text;
    }
    return "";
}

void note_failure(const SystemError& error) { last_failure = error; }

void forget_failure() { last_failure = SystemError{}; }

std::string last_failure_reason() { return reason_text(last_failure); }
