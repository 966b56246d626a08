#pragma once
// The progress window's own parts that the boxes need.
#include <windows.h>

HWND progress_window();          // nullptr until it exists
void bring_to_front(HWND window);  // SetForegroundWindow; nothing for nullptr

LRESULT handler_WIN(HWND control, UINT event, WPARAM wparam, LPARAM lparam);
LRESULT handler_CANCEL(HWND control, UINT event, WPARAM wparam, LPARAM lparam);
