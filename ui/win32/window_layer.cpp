#include "ui/win32/window_layer.h"

#include "ui/win32/bindings.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Attachment {
    HWND control = nullptr;
    EventHandler handler = nullptr;
    WNDPROC original = nullptr;  // the class procedure of a subclassed control
};
std::vector<Attachment> attachments;  // a handful of entries: a linear search is enough

const Attachment* attachment_of(HWND control) {
    for (const Attachment& entry : attachments)
        if (entry.control == control) return &entry;
    return nullptr;
}

LRESULT CALLBACK window_procedure(HWND window, UINT event, WPARAM wparam, LPARAM lparam) {
    // A button reports its click to the parent; it goes to the button's own handler.
    if (event == WM_COMMAND && lparam != 0) {
        if (HIWORD(wparam) == BN_CLICKED)
            if (const Attachment* button = attachment_of(reinterpret_cast<HWND>(lparam)))
                button->handler(button->control, WM_COMMAND, wparam, lparam);
        return 0;
    }
    if (const Attachment* own = attachment_of(window)) own->handler(window, event, wparam, lparam);
    // The window lives as long as the process; nothing may close it (Alt+F4 included).
    if (event == WM_CLOSE) return 0;
    return bound::DefWindowProcA(window, event, wparam, lparam);
}

// Controls are subclassed so that their keys reach the handler.
LRESULT CALLBACK control_procedure(HWND control, UINT event, WPARAM wparam, LPARAM lparam) {
    const Attachment* own = attachment_of(control);
    if (!own || !own->original) return bound::DefWindowProcA(control, event, wparam, lparam);
    WNDPROC original = own->original;  // the handler may attach more and move the table
    own->handler(control, event, wparam, lparam);
    return bound::CallWindowProcA(original, control, event, wparam, lparam);
}

void show_layer_box(const std::string& text, const char* caption) {
    bound::MessageBoxA(bound::GetActiveWindow(), text.c_str(), caption, MB_ICONHAND | MB_OK);
}

}  // namespace

void register_window_class(const char* class_name) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hCursor = bound::LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = class_name;
    if (!bound::RegisterClassA(&window_class))
        layer_fatal(std::string("Registration of new window class: ") + class_name + " failed.");
}

HWND create_window(const char* class_name, const char* title, DWORD style, int x, int y,
                   int width, int height) {
    return bound::CreateWindowExA(0, class_name, title, style, x, y, width, height, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
}

HWND create_control(HWND parent, const char* class_name, const char* text, DWORD style, int x,
                    int y, int width, int height) {
    HWND control = bound::CreateWindowExA(0, class_name, text, WS_CHILD | WS_VISIBLE | style, x,
                                          y, width, height, parent, nullptr,
                                          GetModuleHandleA(nullptr), nullptr);
    if (!control) {
        layer_warning(std::string("creation of control '") + text + "' has failed.");
        return nullptr;
    }
    // The layer's default font: the dialog font rather than the bold system font.
    bound::SendMessageA(control, WM_SETFONT,
                        reinterpret_cast<WPARAM>(bound::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return control;
}

void attach_handler(HWND control, EventHandler handler) {
    if (!control) return;
    attachments.push_back({control, handler, nullptr});
    std::size_t index = attachments.size() - 1;
    if (bound::GetWindowLongPtrA(control, GWL_STYLE) & WS_CHILD)
        attachments[index].original = reinterpret_cast<WNDPROC>(bound::SetWindowLongPtrA(
            control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_procedure)));
}

int run_message_loop() {
    MSG message;
    while (bound::GetMessageA(&message, nullptr, 0, 0) > 0) {
        bound::TranslateMessage(&message);
        bound::DispatchMessageA(&message);
    }
    return 0;
}

void layer_warning(const std::string& text) { show_layer_box(text, "Warning"); }

void layer_fatal(const std::string& text, int exit_code) {
    std::string full = text + "\n\nProgram aborting.";
    std::fprintf(stderr, "%s\n", full.c_str());
    show_layer_box(full, "Fatal Error");
    std::exit(exit_code);
}
