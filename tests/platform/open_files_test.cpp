#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tests/platform/scratch.h"

namespace {

constexpr const char* HOLDER_VARIABLE = "PARCELO_TEST_LOCK_HOLDER";

bool exists(const std::string& path) { return path_kind(path) == PathKind::FILE; }

// A bound only against a hang: a process start under Wine on a loaded machine may take long.
bool wait_for(const std::string& path) {
    for (int i = 0; i < 18000 && !exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return exists(path);
}

void touch(const std::string& path) {
    if (std::FILE* file = open_file(path, "wb")) std::fclose(file);
}

// Runs in the second process: lock, say so, hold until told to let go.
void hold_lock(const std::string& path) {
    std::FILE* file = open_file(path, "rb");
    bool locked = file && lock_whole_file(file);
    touch(path + (locked ? ".locked" : ".refused"));
    wait_for(path + ".release");
    if (file) std::fclose(file);
}

// Another process that holds the lock on `path` until `release` is touched.
struct LockHolder {
#ifdef _WIN32
    PROCESS_INFORMATION process{};
    explicit LockHolder(const std::string& path) {
        _putenv_s(HOLDER_VARIABLE, path.c_str());
        std::string command = "\"" + program_path() + "\" --gtest_filter=LockHolder.HoldsTheLock";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
        _putenv_s(HOLDER_VARIABLE, "");
    }
    ~LockHolder() {
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
#else
    pid_t child = -1;
    explicit LockHolder(const std::string& path) {
        child = fork();
        if (child == 0) {
            hold_lock(path);
            _exit(0);
        }
    }
    ~LockHolder() {
        int status = 0;
        if (child > 0) waitpid(child, &status, 0);
    }
#endif
};

}  // namespace

// Takes the lock on a file holding "From a\n" and reads it whole through the same handle.
static void lock_read_and_close(std::FILE* file) {
    ASSERT_NE(nullptr, file);
    EXPECT_TRUE(lock_whole_file(file));
    char buffer[8] = {0};
    EXPECT_EQ(7u, std::fread(buffer, 1, sizeof buffer, file));
    unlock_whole_file(file);
    std::fclose(file);
}

// The second process of WholeFileLock.RefusedWhileAnotherProcessHoldsIt on Windows.
TEST(LockHolder, HoldsTheLock) {
    const char* path = std::getenv(HOLDER_VARIABLE);
    if (path == nullptr || *path == '\0') GTEST_SKIP() << "only run by the lock test";
    hold_lock(path);
}

TEST(WholeFileLock, RefusedWhileAnotherProcessHoldsIt) {
    Scratch scratch;
    std::string path = scratch.write("inbox.mbx", "From a\n");
    {
        LockHolder holder(path);
        ASSERT_TRUE(wait_for(path + ".locked")) << "the other process got no lock";
        std::FILE* file = open_file(path, "rb");
        ASSERT_NE(nullptr, file);
        EXPECT_FALSE(lock_whole_file(file));
        std::fclose(file);
        touch(path + ".release");
    }
    // Our own handle still reads under the lock.
    lock_read_and_close(open_file(path, "rb"));
}

TEST(WholeFileLock, RefusedWhileAWriterHoldsARecordLock) {
#ifdef _WIN32
    GTEST_SKIP() << "record locks are a POSIX matter";
#else
    Scratch scratch;
    std::string path = scratch.write("inbox.mbx", "From a\n");
    int ready[2], release[2];
    ASSERT_EQ(0, pipe(ready));
    ASSERT_EQ(0, pipe(release));
    pid_t child = fork();
    if (child == 0) {
        close(release[1]);  // or the read below never sees the end
        int fd = open(external_text(path).c_str(), O_RDWR);
        struct flock range {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        char answer = fcntl(fd, F_SETLK, &range) == 0 ? '1' : '0';
        (void)!write(ready[1], &answer, 1);
        (void)!read(release[0], &answer, 1);
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(1, read(ready[0], &answer, 1));
    ASSERT_EQ('1', answer);
    std::FILE* file = open_file(path, "rb");
    EXPECT_FALSE(lock_whole_file(file));
    close(release[1]);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(lock_whole_file(file));  // and nothing of the refused attempt is left behind
    std::fclose(file);
    for (int fd : {ready[0], ready[1], release[0]}) close(fd);
#endif
}

// The read end of a pipe holding `text`, its write end closed.
static std::FILE* pipe_with(const std::string& text) {
#ifdef _WIN32
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, nullptr, 0)) return nullptr;
    DWORD written = 0;
    WriteFile(write_end, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(write_end);
    return _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(read_end), _O_RDONLY | _O_BINARY), "rb");
#else
    int ends[2];
    if (pipe(ends) != 0) return nullptr;
    (void)!write(ends[1], text.data(), text.size());
    close(ends[1]);
    return fdopen(ends[0], "rb");
#endif
}

// A mailbox may come through a pipe; nobody else can change what we read from it.
TEST(WholeFileLock, APipeIsReadWithoutRefusal) {
    lock_read_and_close(pipe_with("From a\n"));
}

TEST(FilePosition, CountsWhatWasConsumed) {
    Scratch scratch;
    std::string path = scratch.write("data", "0123456789");
    std::FILE* file = open_file(path, "rb");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(0u, file_position(file));
    char buffer[4];
    ASSERT_EQ(4u, std::fread(buffer, 1, 4, file));
    EXPECT_EQ(4u, file_position(file));  // not what the buffer read ahead
    std::fclose(file);
    EXPECT_EQ(nullptr, open_file(scratch.path("missing"), "rb"));
}
