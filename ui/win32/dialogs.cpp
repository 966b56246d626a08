#include "ui/dialogs.h"

#include "platform/win32/wide.h"
#include "ui/win32/bindings.h"
#include "ui/win32/progress_window.h"

namespace {

// Owned by the progress window once it exists, before that by whatever window is active.
// Wide, so that a path the ANSI code page cannot hold is shown as it is.
int show_box(const std::string& text, UINT style) {
    HWND owner = progress_window();
    bring_to_front(owner);
    if (!owner) owner = bound::GetActiveWindow();
    return bound::MessageBoxW(owner, wide_text(text).c_str(), L"parcelo", style);
}

}  // namespace

void show_usage_box(const std::string& text) {
    bound::MessageBoxA(bound::GetActiveWindow(), text.c_str(), "Info - parcelo",
                       MB_ICONINFORMATION | MB_OK);
}

void show_error_box(const std::string& text) { show_box(text, MB_ICONEXCLAMATION | MB_OK); }

bool ask_yes_no(const std::string& text) {
    return show_box(text, MB_ICONQUESTION | MB_YESNO) == IDYES;
}
