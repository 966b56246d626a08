#pragma once
// The user-interface functions of the window layer, bound by name at start-up; every call
// goes through `bound::Name`. Each function is listed once, with its library.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#define PARCELO_BOX_FUNCTIONS(X) \
    X("user32.dll", MessageBoxA)   \
    X("user32.dll", MessageBoxW)   \
    X("user32.dll", GetActiveWindow)

#define PARCELO_UI_FUNCTIONS(X)                  \
    X("user32.dll", RegisterClassA)              \
    X("user32.dll", CreateWindowExA)             \
    X("user32.dll", DefWindowProcA)              \
    X("user32.dll", CallWindowProcA)             \
    X("user32.dll", GetWindowLongPtrA)           \
    X("user32.dll", SetWindowLongPtrA)           \
    X("user32.dll", LoadCursorA)                 \
    X("user32.dll", ShowWindow)                  \
    X("user32.dll", IsIconic)                    \
    X("user32.dll", SetWindowPos)                \
    X("user32.dll", GetWindowRect)               \
    X("user32.dll", GetSystemMetrics)            \
    X("user32.dll", GetSystemMenu)               \
    X("user32.dll", GetMenuItemCount)            \
    X("user32.dll", GetMenuItemID)               \
    X("user32.dll", DeleteMenu)                  \
    X("user32.dll", SetWindowTextA)              \
    X("user32.dll", SetWindowTextW)              \
    X("user32.dll", SendMessageA)                \
    X("user32.dll", SetFocus)                    \
    X("user32.dll", SetForegroundWindow)         \
    X("user32.dll", GetMessageA)                 \
    X("user32.dll", PeekMessageA)                \
    X("user32.dll", TranslateMessage)            \
    X("user32.dll", DispatchMessageA)            \
    X("gdi32.dll", GetStockObject)               \
    X("comctl32.dll", InitCommonControlsEx)      \
    X("shell32.dll", ExtractIconA)               \
    X("kernel32.dll", GetModuleFileNameA)        \
    X("kernel32.dll", GetTickCount64)

namespace bound {
#define PARCELO_DECLARE_BOUND(library, name) extern decltype(&::name) name;
PARCELO_BOX_FUNCTIONS(PARCELO_DECLARE_BOUND)
PARCELO_UI_FUNCTIONS(PARCELO_DECLARE_BOUND)
#undef PARCELO_DECLARE_BOUND
}  // namespace bound

// Binds both lists; a function that cannot be bound ends the program (exit code 1): for the
// message-box functions with a line on stderr, for the others with the "Fatal Error" box.
void bind_ui_functions();
