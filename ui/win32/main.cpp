#include "app/entry.h"
#include "ui/win32/bindings.h"

#include <cstdlib>

// The arguments as the C runtime split them, in the ANSI code page.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    bind_ui_functions();
    return app_main(std::vector<std::string>(__argv, __argv + __argc));
}
