// Loaded by Windows into the process that owns a window wintest asks about, for
// what only that process can read: under Wine neither the window menu nor the
// WM_GETICON answer of another process's window is visible from outside.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

constexpr LPARAM ASK_MENU = 1;
constexpr LPARAM ASK_ICON = 2;

void reply(HWND to, const char* text, size_t length) {
    COPYDATASTRUCT data{};
    data.cbData = static_cast<DWORD>(length);
    data.lpData = const_cast<char*>(text);
    SendMessageA(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

void append(char* buffer, size_t size, size_t& used, const char* text) {
    size_t length = std::strlen(text);
    if (used + length >= size) length = size - used - 1;
    std::memcpy(buffer + used, text, length);
    used += length;
    buffer[used] = '\0';
}

// Per item: text, command id and state, as fields 0x1F and records 0x1E, so that
// wintest alone decides how texts are escaped.
void answer_menu(HWND window, HWND to) {
    char out[8192] = "";
    size_t used = 0;
    HMENU menu = GetSystemMenu(window, FALSE);
    int count = menu ? GetMenuItemCount(menu) : -1;
    if (count < 0) {
        reply(to, "", 0);
        return;
    }
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        const char* kind = (state & MF_SEPARATOR) ? "separator"
                           : (state & (MF_GRAYED | MF_DISABLED)) ? "disabled" : "enabled";
        char line[400];
        std::snprintf(line, sizeof line, "%s\x1f%u\x1f%s\x1e", text, GetMenuItemID(menu, i), kind);
        append(out, sizeof out, used, line);
    }
    // A leading "+" tells an empty menu from an unreadable one.
    char framed[8200] = "+";
    std::memcpy(framed + 1, out, used + 1);
    reply(to, framed, used + 1);
}

void answer_icon(HWND window, HWND to) {
    bool has_icon = false;
    for (WPARAM kind : {ICON_BIG, ICON_SMALL, ICON_SMALL2})
        if (SendMessageA(window, WM_GETICON, kind, 0)) has_icon = true;
    reply(to, has_icon ? "1" : "0", 1);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK wintest_hook(int code, WPARAM wparam, LPARAM lparam) {
    static const UINT query = RegisterWindowMessageA("wintest.query");
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (call->message == query) {
            HWND to = reinterpret_cast<HWND>(call->wParam);
            if (call->lParam == ASK_MENU) answer_menu(call->hwnd, to);
            if (call->lParam == ASK_ICON) answer_icon(call->hwnd, to);
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
