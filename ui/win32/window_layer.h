#pragma once
// A thin layer over user32: one window class, controls, handlers attached by control and
// event, the message loop and the layer's own error boxes. All calls go through the
// functions bound at start-up (bindings.h).
#include <windows.h>

#include <string>

// A handler receives (control, event, wParam, lParam) with the Windows message number as
// the event. The window's handler gets every message of the window; a button's handler gets
// its click as WM_COMMAND and every message of its own, among them WM_KEYDOWN.
using EventHandler = LRESULT (*)(HWND control, UINT event, WPARAM wparam, LPARAM lparam);

//--- windows and controls
void register_window_class(const char* class_name);  // "Fatal Error" on failure
HWND create_window(const char* class_name, const char* title, DWORD style, int x, int y,
                   int width, int height);           // nullptr on failure
HWND create_control(HWND parent, const char* class_name, const char* text, DWORD style, int x,
                    int y, int width, int height);   // "Warning" box and nullptr on failure
void attach_handler(HWND control, EventHandler handler);
int run_message_loop();                              // until GetMessageA gives 0 or less

//--- the layer's own boxes: no owner but the active window, MB_ICONHAND
void layer_warning(const std::string& text);
[[noreturn]] void layer_fatal(const std::string& text, int exit_code = 1);
