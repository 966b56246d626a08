// Unexpected failures on Windows: an unhandled-exception filter writes the report, then the
// app's routine ends the process (it may show a box, which is fine outside a signal).
#include <windows.h>

#include <cstdio>
#include <exception>

#include "platform/crash.h"
#include "platform/win32/wide.h"

namespace {

struct CrashSetup {
    std::wstring report_path;  // converted once: the filter should not need to allocate
    CrashRoutine routine = nullptr;
};
CrashSetup setup;

void append_report(const char* text) {
    if (setup.report_path.empty()) return;
    HANDLE file = CreateFileW(setup.report_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
    CloseHandle(file);
}

[[noreturn]] void end_through_routine() {
    if (setup.routine) setup.routine(0);
    ExitProcess(3);  // the routine should not come back; if it does, still end as a failure
}

// Code, address, the module that holds it with the offset into it, and the main registers:
// enough to find the spot with the map file of the build.
void write_exception_report(const EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    auto address = reinterpret_cast<ULONG_PTR>(record->ExceptionAddress);
    HMODULE module = nullptr;
    char module_name[MAX_PATH] = "?";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(record->ExceptionAddress), &module))
        GetModuleFileNameA(module, module_name, sizeof module_name);
    auto base = reinterpret_cast<ULONG_PTR>(module);
    char text[1024];
    int length = std::snprintf(text, sizeof text,
                               "Exception 0x%08lX at 0x%llX\nModule %s, base 0x%llX, offset 0x%llX\n",
                               static_cast<unsigned long>(record->ExceptionCode),
                               static_cast<unsigned long long>(address), module_name,
                               static_cast<unsigned long long>(base),
                               static_cast<unsigned long long>(module ? address - base : 0));
#if defined(__x86_64__)
    const CONTEXT* c = info->ContextRecord;
    if (length > 0 && length < static_cast<int>(sizeof text))
        std::snprintf(text + length, sizeof text - length,
                      "RAX=%016llX RBX=%016llX RCX=%016llX RDX=%016llX\n"
                      "RSI=%016llX RDI=%016llX RBP=%016llX RSP=%016llX\n",
                      c->Rax, c->Rbx, c->Rcx, c->Rdx, c->Rsi, c->Rdi, c->Rbp, c->Rsp);
#else
    (void)length;
#endif
    append_report(text);
}

LONG WINAPI exception_filter(EXCEPTION_POINTERS* info) {
    write_exception_report(info);
    end_through_routine();
}

[[noreturn]] void on_terminate() {
    append_report("Unexpected failure: std::terminate\n");
    end_through_routine();
}

}  // namespace

void install_crash_handler(const std::string& report_path, CrashRoutine routine) {
    setup.report_path = wide_text(report_path);
    setup.routine = routine;
    SetUnhandledExceptionFilter(exception_filter);
    std::set_terminate(on_terminate);
}

// Windows runs the app's routine itself, so it needs no texts kept ready.
void set_crash_texts(const CrashTexts&) {}

std::FILE* open_crash_report() {
    return setup.report_path.empty() ? nullptr : _wfopen(setup.report_path.c_str(), L"a");
}

void raise_unexpected_failure(const char* what) {
    std::string text = std::string("Unexpected failure: ") + what + "\n";
    append_report(text.c_str());
    end_through_routine();
}
