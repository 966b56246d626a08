#include "app/entry.h"
#include "platform/win32/wide.h"
#include "ui/win32/bindings.h"

#include <cstdlib>

// The arguments as the C runtime split them, from the wide command line: the ANSI one would
// have Windows replace what the code page lacks by a look-alike ("L" for "Ł", "/" for a
// fullwidth solidus), naming another file or smuggling in a separator.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    bind_ui_functions();
    std::vector<std::string> args;
    for (int i = 0; i < __argc; ++i) args.push_back(inside_text(__wargv[i]));
    return app_main(args);
}
