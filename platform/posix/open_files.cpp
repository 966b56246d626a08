// Opening, position and whole-file locks for <cstdio> files on POSIX.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/failure_reasons.h"
#include "platform/file_system.h"
#include "platform/text.h"

// A directory opens for reading here, and reads as empty; Windows refuses it, and so do we.
std::FILE* open_file(const std::string& path, const char* mode) {
    std::FILE* file = std::fopen(external_text(path).c_str(), mode);
    struct stat info;
    if (file && mode[0] == 'r' && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        errno = EISDIR;
        file = nullptr;
    }
    if (!file) note_failure();
    return file;
}

std::FILE* open_shared_append(const std::string& path) {
    int fd = open(external_text(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                  0600);
    if (fd < 0) return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "a");
    if (file == nullptr) close(fd);
    return file;
}

std::uint64_t file_position(std::FILE* file) {
    off_t position = ftello(file);
    return position < 0 ? 0 : static_cast<std::uint64_t>(position);
}

// Two locks, since POSIX has two kinds that do not see each other: an exclusive flock keeps
// out a second parcelo and flock users, and a record lock over the whole file keeps out
// writers that use fcntl (mail delivery agents do). A read-only file can only carry a
// shared record lock, which still refuses every writer. Both are advisory: unlike LockFile,
// they do not stop a program that does not ask.
bool lock_whole_file(std::FILE* file) {
    int fd = fileno(file);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        note_failure();
        return false;
    }
    struct flock range {};
    range.l_type = (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY ? F_RDLCK : F_WRLCK;
    range.l_whence = SEEK_SET;  // from offset 0, length 0 = to the end, however it grows
    if (fcntl(fd, F_SETLK, &range) != 0 && (errno == EACCES || errno == EAGAIN)) {
        note_failure(SystemError{EAGAIN, 0});  // both mean: another process holds a lock
        flock(fd, LOCK_UN);
        return false;
    }
    return true;  // a file system without record locks still has the flock
}

void unlock_whole_file(std::FILE* file) {
    int fd = fileno(file);
    if (fd < 0) return;
    struct flock range {};
    range.l_type = F_UNLCK;
    range.l_whence = SEEK_SET;
    fcntl(fd, F_SETLK, &range);
    flock(fd, LOCK_UN);
}
