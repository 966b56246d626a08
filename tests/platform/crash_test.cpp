#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/crash.h"
#include "tests/platform/scratch.h"

namespace {

[[noreturn]] void routine_exits_42(int) { std::_Exit(42); }

std::string contents(const std::string& path) {
    std::ifstream in(external_text(path), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// The report goes after what the file already holds, then the routine ends the process.
TEST(UnexpectedFailure, ReportThenRoutine) {
    Scratch scratch;
    std::string report = scratch.write("ex.err", "earlier\n");
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            raise_unexpected_failure("listing went wrong");
        },
        testing::ExitedWithCode(42), "");
    EXPECT_EQ(0u, contents(report).find("earlier\nUnexpected failure: listing went wrong"));
}

TEST(UnexpectedFailure, ReportOpensForAppending) {
    Scratch scratch;
    std::string report = scratch.write("ex.err", "report\n");
    // In a process of its own, so that our handlers stay out of the other tests.
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            std::FILE* file = open_crash_report();
            if (file == nullptr) std::_Exit(1);
            std::fputs("block\n", file);
            std::fclose(file);
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(0u, contents(report).find("report\nblock"));  // text mode: Windows adds a CR
}

TEST(UnexpectedFailure, TerminateGoesTheSameWay) {
    Scratch scratch;
    std::string report = scratch.path("ex.err");
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            std::terminate();
        },
        testing::ExitedWithCode(42), "");
    EXPECT_NE(std::string::npos, contents(report).find("terminate"));
}

#ifdef _WIN32

namespace {
DWORD WINAPI write_through_null(void*) {
    *static_cast<volatile int*>(nullptr) = 1;
    return 0;
}
}  // namespace

// A thread of its own keeps the test framework's exception guard out of the way.
TEST(UnexpectedFailure, AccessViolationIsReported) {
    Scratch scratch;
    std::string report = scratch.path("ex.err");
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            HANDLE thread = CreateThread(nullptr, 0, write_through_null, nullptr, 0, nullptr);
            WaitForSingleObject(thread, INFINITE);
        },
        testing::ExitedWithCode(42), "");
    std::string text = contents(report);
    EXPECT_NE(std::string::npos, text.find("Exception 0xC0000005")) << text;
    EXPECT_NE(std::string::npos, text.find("offset 0x")) << text;
}

#else

namespace {

const char* const WEEKDAYS[] = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};

std::string today() {
    std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s %04d-%02d-%02d", WEEKDAYS[local.tm_wday], local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday);
    return text;
}

}  // namespace

// A signal handler cannot run the routine; it writes the texts kept ready instead.
TEST(UnexpectedFailure, FatalSignalWritesThePreparedTexts) {
    Scratch scratch;
    std::string report = scratch.path("ex.err");
    std::string log = scratch.write("parcelo.log", "");
    std::string day_before = today();  // the run may cross midnight
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            std::FILE* log_file = open_file(log, "a");
            std::fputs("earlier line\n", log_file);
            set_crash_texts({"------------\nDatei 'Gr\xFC\xDF" "e.mbx'\n", "Ein unerwarteter Fehler", nullptr});
            set_crash_texts({"------------\nDatei 'Gr\xFC\xDF" "e.mbx'\n", "Ein unerwarteter Fehler ist aufgetreten", log_file});
            std::raise(SIGSEGV);
        },
        testing::ExitedWithCode(3), "^Ein unerwarteter Fehler ist aufgetreten\n$");
    std::string text = contents(report);
    EXPECT_EQ(0u, text.find("Signal 11 (SIGSEGV), address 0x")) << text;
    EXPECT_NE(std::string::npos, text.find("\n------------\nDatei 'Gr\xC3\xBC\xC3\x9F" "e.mbx'\n")) << text;
    std::string logged = contents(log);
    std::string head = "earlier line\nEin unerwarteter Fehler ist aufgetreten\nEnde: " + today() + ", ";
    if (logged.find(head) != 0) head = "earlier line\nEin unerwarteter Fehler ist aufgetreten\nEnde: " + day_before + ", ";
    ASSERT_EQ(0u, logged.find(head)) << logged;
    std::string time = logged.substr(head.size(), 8);
    EXPECT_TRUE(time.size() == 8 && time[2] == ':' && time[5] == ':') << logged;
    EXPECT_EQ("\n" + std::string(60, '-') + "\n", logged.substr(head.size() + 8)) << logged;
}

TEST(UnexpectedFailure, FatalSignalWithoutTexts) {
    Scratch scratch;
    std::string report = scratch.path("ex.err");
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            std::raise(SIGFPE);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EQ(0u, contents(report).find("Signal 8 (SIGFPE)"));
}

// The temporary folder is shared: a planted link must not redirect the report.
TEST(UnexpectedFailure, ReportRefusesASymbolicLink) {
    Scratch scratch;
    std::string target = scratch.write("target", "");
    std::string report = scratch.path("ex.err");
    std::filesystem::create_symlink(external_text(target), external_text(report));
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            raise_unexpected_failure("through a link");
        },
        testing::ExitedWithCode(42), "");
    EXPECT_EQ("", contents(target));
    EXPECT_EXIT(
        {
            install_crash_handler(report, routine_exits_42);
            std::_Exit(open_crash_report() == nullptr ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

#endif
