#include "ui/win32/progress_window.h"

#include "app/entry.h"
#include "app/messages.h"
#include "platform/win32/wide.h"
#include "ui/percent.h"
#include "ui/progress.h"
#include "ui/win32/bindings.h"
#include "ui/win32/window_layer.h"

#include <string>

namespace {

constexpr const char* WINDOW_CLASS = "parcelo_progress";
constexpr const char* TITLE = "parcelo";
// Between two looks at the queue: PeekMessageA costs some 45 us under Wine and we are
// called once per mailbox line, while a click may well wait 10 ms.
constexpr ULONGLONG LOOK_INTERVAL_MS = 10;

struct ProgressWindow {
    HWND window = nullptr;
    HWND source_label = nullptr;
    HWND target_label = nullptr;
    HWND progress_bar = nullptr;
    HWND percent_label = nullptr;
    HWND cancel_button = nullptr;
    PercentCount count;
    bool run_started = false;
    int show_style = SW_RESTORE;
    int bar_percent = 0;          // what the bar and its label show
    std::string title = TITLE;    // what the title shows
    ULONGLONG last_look = 0;
};
ProgressWindow progress;

// Setting an unchanged text still repaints the control; progress comes once per message.
void set_title(const std::string& title) {
    if (title == progress.title) return;
    progress.title = title;
    bound::SetWindowTextA(progress.window, title.c_str());
}

void set_window_icon(HWND window) {
    char path[MAX_PATH + 1] = {};
    bound::GetModuleFileNameA(nullptr, path, MAX_PATH);
    HICON icon = bound::ExtractIconA(GetModuleHandleA(nullptr), path, 0);
    // 1 means "not an executable", nullptr "no icon in it"
    if (!icon || icon == reinterpret_cast<HICON>(1)) return;
    bound::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    bound::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void centre_window(HWND window) {
    RECT outer{};
    bound::GetWindowRect(window, &outer);
    ScreenPoint place = centred_position(
        bound::GetSystemMetrics(SM_CXSCREEN), bound::GetSystemMetrics(SM_CYSCREEN),
        bound::GetSystemMetrics(SM_CYCAPTION), outer.right - outer.left, outer.bottom - outer.top);
    bound::SetWindowPos(window, nullptr, place.x, place.y, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Without Close the close box is disabled too. In the standard window menu Close and the
// separator above it are the last two items; Wine adds its own items after them, so we look
// for Close by its command and fall back to the last two positions.
void remove_close_item(HWND window) {
    HMENU menu = bound::GetSystemMenu(window, FALSE);
    int count = bound::GetMenuItemCount(menu);
    int close = count - 1;
    for (int position = 0; position < count; ++position)
        if (bound::GetMenuItemID(menu, position) == SC_CLOSE) close = position;
    if (close < 1) return;
    bound::DeleteMenu(menu, close, MF_BYPOSITION);
    bound::DeleteMenu(menu, close - 1, MF_BYPOSITION);
}

void create_controls(HWND window) {
    create_control(window, "static", "Kopieren", 0, 230, 10, 45, 15);
    create_control(window, "static", "VON:", 0, 10, 30, 35, 17);
    progress.source_label = create_control(window, "static", "", 0, 50, 30, 440, 17);
    create_control(window, "static", "NACH:", 0, 10, 45, 35, 17);
    progress.target_label = create_control(window, "static", "", 0, 50, 45, 440, 17);
    progress.progress_bar = create_control(window, PROGRESS_CLASSA, "", PBS_SMOOTH, 25, 70, 450, 25);
    progress.percent_label = create_control(window, "static", "0 %", SS_RIGHT, 237, 100, 30, 15);
    progress.cancel_button =
        create_control(window, "button", "Abbrechen", BS_DEFPUSHBUTTON, 200, 130, 100, 25);
}

}  // namespace

HWND progress_window() { return progress.window; }

void bring_to_front(HWND window) {
    if (window) bound::SetForegroundWindow(window);
}

void set_bytes_per_percent(double value) { progress.count.bytes_per_percent = value; }

// Wide, so that a path the ANSI code page cannot hold is shown as it is.
void show_names(const std::string& source, const std::string& target) {
    if (!source.empty()) bound::SetWindowTextW(progress.source_label, wide_text(source).c_str());
    if (!target.empty()) bound::SetWindowTextW(progress.target_label, wide_text(target).c_str());
}

void show_progress(std::uint64_t bytes) {
    progress.count.bytes_done += bytes;
    int percent = shown_percent(progress.count);
    if (bound::IsIconic(progress.window)) {
        set_title(minimised_title(percent));
    } else if (percent != progress.bar_percent) {
        progress.bar_percent = percent;
        bound::SendMessageA(progress.progress_bar, PBM_SETPOS, percent, 0);
        bound::SetWindowTextA(progress.percent_label, percent_text(percent).c_str());
    }
    pump_one_message();
}

void pump_one_message() {
    ULONGLONG now = bound::GetTickCount64();
    if (now - progress.last_look < LOOK_INTERVAL_MS) return;
    progress.last_look = now;
    MSG message;
    if (!bound::PeekMessageA(&message, progress.window, 0, 0, PM_NOREMOVE)) return;
    if (bound::GetMessageA(&message, nullptr, 0, 0) <= 0) return;
    bound::TranslateMessage(&message);
    bound::DispatchMessageA(&message);
}

LRESULT handler_WIN(HWND, UINT event, WPARAM wparam, LPARAM) {
    if (event == WM_SIZE) {
        set_title(wparam != 0 ? minimised_title(shown_percent(progress.count)) : TITLE);
        bound::SetFocus(progress.cancel_button);
        // Minimising or restoring during the run comes here again, from inside the run.
        if (!progress.run_started) {
            progress.run_started = true;
            start_run();
        }
    } else if (event == WM_SETFOCUS) {
        bound::SetFocus(progress.cancel_button);  // so that Enter always reaches it
    }
    return 0;
}

LRESULT handler_CANCEL(HWND, UINT event, WPARAM wparam, LPARAM) {
    bool pressed = event == WM_COMMAND || (event == WM_KEYDOWN && wparam == VK_RETURN);
    if (!pressed) return 0;
    int answer = bound::MessageBoxA(progress.window, MSG_CONFIRM_CANCEL, TITLE,
                                    MB_ICONQUESTION | MB_YESNO);
    if (answer == IDYES) cancel_run();
    return 0;
}

int run_progress_window(bool start_minimised) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    bound::InitCommonControlsEx(&controls);
    register_window_class(WINDOW_CLASS);
    HWND window = create_window(WINDOW_CLASS, TITLE, WS_SYSMENU | WS_MINIMIZEBOX, 100, 100, 505, 195);
    // Without a window the run would never start: end instead of waiting for nothing.
    if (!window) layer_fatal("creation of window 'parcelo' has failed.", 3);
    set_window_icon(window);
    centre_window(window);
    progress.window = window;
    remove_close_item(window);
    create_controls(window);
    attach_handler(progress.cancel_button, handler_CANCEL);
    progress.run_started = false;
    attach_handler(window, handler_WIN);

    progress.show_style = start_minimised ? SW_SHOWMINIMIZED : SW_RESTORE;
    bound::ShowWindow(window, progress.show_style);
    // Showing a window sends its first size event, which starts the run and never comes
    // back. Should a system not send it, we send it ourselves rather than wait forever.
    if (!progress.run_started)
        bound::SendMessageA(window, WM_SIZE, bound::IsIconic(window) ? SIZE_MINIMIZED : SIZE_RESTORED, 0);
    return run_message_loop();
}
