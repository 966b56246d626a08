// wintest: finds, reads and drives top-level windows of other processes, so that the
// end-to-end tests can check and click parcelo's windows and message boxes under Wine.
// Usage and output format: tools/wintest/README.md.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_NOT_FOUND = 1;
constexpr int EXIT_USAGE = 2;
constexpr UINT SEND_TIMEOUT_MS = 5000;

enum class Match { EXACT, PREFIX, SUFFIX };

struct Query {
    std::string verb;
    std::vector<std::string> words;  // caption and the verb's own arguments
    Match match = Match::EXACT;
    std::string class_name;          // empty: any class
    double timeout = -1;             // seconds; negative: the verb's default
};

std::wstring wide_window_text(HWND hwnd) {
    wchar_t buffer[4096];
    int length = GetWindowTextW(hwnd, buffer, 4096);
    return std::wstring(buffer, length > 0 ? length : 0);
}

// The ANSI bytes of one character (a pair of surrogates counts as one), or false when the
// code page lacks it; no best fit, which would show "L" for "Ł".
bool ansi_bytes(const wchar_t* units, int count, std::string& out) {
    char bytes[16];
    BOOL defaulted = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, &defaulted);
    if (length <= 0 || defaulted) return false;
    out.append(bytes, length);
    return true;
}

// Calls `each` with every character of `text` as its units.
template <typename Each>
void for_each_character(const std::wstring& text, Each each) {
    for (std::size_t at = 0; at < text.size();) {
        int count = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() ? 2 : 1;
        each(text.data() + at, count);
        at += count;
    }
}

// For comparing with captions and button labels: "?" for what the code page lacks.
std::string window_text(HWND hwnd) {
    std::string out;
    for_each_character(wide_window_text(hwnd), [&](const wchar_t* units, int count) {
        if (!ansi_bytes(units, count, out)) out += '?';
    });
    return out;
}

std::string class_of(HWND hwnd) {
    char buffer[256];
    int length = GetClassNameA(hwnd, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

std::string lowered(std::string text) {
    if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Button texts are compared as the user reads them: no mnemonic "&", any case.
std::string plain_label(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '&') out += c;
    return lowered(out);
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool caption_matches(const Query& query, const std::string& caption) {
    const std::string& wanted = query.words[0];
    switch (query.match) {
    case Match::PREFIX: return caption.rfind(wanted, 0) == 0;
    case Match::SUFFIX: return ends_with(caption, wanted);
    case Match::EXACT: break;
    }
    return caption == wanted;
}

struct Search {
    const Query* query;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_top_level(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(hwnd)) return TRUE;
    if (!caption_matches(*search->query, window_text(hwnd))) return TRUE;
    if (!search->query->class_name.empty() &&
        lowered(class_of(hwnd)) != lowered(search->query->class_name))
        return TRUE;
    search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> find_windows(const Query& query) {
    Search search{&query, {}};
    EnumWindows(collect_top_level, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collect_child(HWND hwnd, LPARAM data) {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> children_of(HWND hwnd) {
    std::vector<HWND> children;
    EnumChildWindows(hwnd, collect_child, reinterpret_cast<LPARAM>(&children));
    return children;
}

// Texts may hold line breaks (message box texts do); escape so that one control
// stays one line and "|" stays a field separator.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '|': out += "\\|"; break;
        default: out += c;
        }
    }
    return out;
}

// A window's text as printed: escaped as above, and a character the code page lacks as
// "\u{41F}" (its Unicode value in hex).
std::string shown_text(HWND hwnd) {
    std::string out;
    for_each_character(wide_window_text(hwnd), [&](const wchar_t* units, int count) {
        std::string bytes;
        if (ansi_bytes(units, count, bytes)) {
            out += escaped(bytes);
            return;
        }
        unsigned long code = units[0];
        if (count == 2) code = 0x10000 + ((code - 0xD800) << 10) + (units[1] - 0xDC00);
        char text[16];
        std::snprintf(text, sizeof text, "\\u{%lX}", code);
        out += text;
    });
    return out;
}

unsigned long style_of(HWND hwnd) { return static_cast<unsigned long>(GetWindowLongA(hwnd, GWL_STYLE)); }

void print_window(HWND hwnd) {
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    RECT client{};
    GetClientRect(hwnd, &client);
    std::printf("window|%s|%s|%ld,%ld,%ld,%ld|%08lX|%08lX\n", shown_text(hwnd).c_str(),
                escaped(class_of(hwnd)).c_str(), outer.left, outer.top, outer.right - outer.left,
                outer.bottom - outer.top, style_of(hwnd),
                static_cast<unsigned long>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
    std::printf("client|%ld,%ld\n", client.right, client.bottom);
    for (HWND child : children_of(hwnd)) {
        RECT box{};
        GetWindowRect(child, &box);
        // Positions relative to the client area of the control's own parent.
        MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&box), 2);
        std::printf("%s|%s|%ld,%ld,%ld,%ld|%08lX\n", escaped(class_of(child)).c_str(),
                    shown_text(child).c_str(), box.left, box.top, box.right - box.left,
                    box.bottom - box.top, style_of(child));
    }
}

double seconds_or(const Query& query, double fallback) { return query.timeout >= 0 ? query.timeout : fallback; }

// Polls until the windows match or the time is up; the last search is returned.
std::vector<HWND> wait_for(const Query& query, double seconds, bool want_present) {
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> found = find_windows(query);
        if (found.empty() != want_present) return found;
        if (GetTickCount() - start >= static_cast<DWORD>(seconds * 1000)) return found;
        Sleep(50);
    }
}

HWND find_button(HWND hwnd, const std::string& label) {
    std::string wanted = plain_label(label);
    for (HWND child : children_of(hwnd))
        if (lowered(class_of(child)) == "button" && plain_label(window_text(child)) == wanted) return child;
    return nullptr;
}

HWND find_child_of_class(HWND hwnd, const char* name) {
    for (HWND child : children_of(hwnd))
        if (lowered(class_of(child)) == lowered(name)) return child;
    return nullptr;
}

// A button in any of the matching windows (a program window and its message box
// may share a caption); waits, because a box may just be opening.
HWND wait_for_button(const Query& query, const std::string& label) {
    DWORD start = GetTickCount();
    double seconds = seconds_or(query, 5);
    for (;;) {
        for (HWND hwnd : find_windows(query))
            if (HWND button = find_button(hwnd, label)) return button;
        if (GetTickCount() - start >= static_cast<DWORD>(seconds * 1000)) return nullptr;
        Sleep(50);
    }
}

std::vector<HWND> present_or_report(const Query& query, double default_seconds) {
    std::vector<HWND> found = wait_for(query, seconds_or(query, default_seconds), true);
    if (found.empty()) std::fprintf(stderr, "wintest: no window \"%s\"\n", query.words[0].c_str());
    return found;
}

HWND first_window(const Query& query) {
    std::vector<HWND> found = present_or_report(query, 5);
    return found.empty() ? nullptr : found.front();
}

bool parse_number(const std::string& text, unsigned long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 0);
    return *end == '\0';
}

//--- the verbs

int verb_list(const Query&) {
    Query any;
    any.match = Match::PREFIX;
    any.words.push_back("");
    for (HWND hwnd : find_windows(any)) print_window(hwnd);
    return EXIT_OK;
}

int verb_wait(const Query& query) {
    std::vector<HWND> found = present_or_report(query, 10);
    if (found.empty()) return EXIT_NOT_FOUND;
    for (HWND hwnd : found) print_window(hwnd);
    return EXIT_OK;
}

int verb_gone(const Query& query) {
    std::vector<HWND> found = wait_for(query, seconds_or(query, 10), false);
    if (found.empty()) return EXIT_OK;
    std::fprintf(stderr, "wintest: window \"%s\" is still there\n", query.words[0].c_str());
    return EXIT_NOT_FOUND;
}

HWND button_or_report(const Query& query) {
    HWND button = wait_for_button(query, query.words[1]);
    if (!button)
        std::fprintf(stderr, "wintest: no button \"%s\" in \"%s\"\n", query.words[1].c_str(),
                     query.words[0].c_str());
    return button;
}

// Posted, not sent: a click may open a modal box inside the receiver's handler,
// and a sent message would then wait for that box to close.
int verb_click(const Query& query) {
    HWND button = button_or_report(query);
    if (!button) return EXIT_NOT_FOUND;
    PostMessageA(button, BM_CLICK, 0, 0);
    return EXIT_OK;
}

int verb_key(const Query& query) {
    unsigned long key = 0;
    if (!parse_number(query.words[2], key)) return EXIT_USAGE;
    HWND button = button_or_report(query);
    if (!button) return EXIT_NOT_FOUND;
    UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    PostMessageA(button, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageA(button, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    return EXIT_OK;
}

// Under Wine the window menu and the icon of another process's window cannot be
// read from outside, so a hook in wintest_hook.dll answers from inside the owner.
constexpr LPARAM ASK_MENU = 1;
constexpr LPARAM ASK_ICON = 2;

std::string reply_text;
bool replied = false;

LRESULT CALLBACK reply_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        reply_text.assign(static_cast<const char*>(data->lpData), data->cbData);
        replied = true;
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

bool ask_owner(const Query& query, LPARAM what, std::string& answer) {
    HWND target = first_window(query);
    if (!target) return false;
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dll(path, length);
    dll = dll.substr(0, dll.find_last_of("\\/") + 1) + "wintest_hook.dll";
    HMODULE module = LoadLibraryA(dll.c_str());
    auto hook_proc = module ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(module, "wintest_hook"))) : nullptr;
    if (!hook_proc) {
        std::fprintf(stderr, "wintest: cannot load %s\n", dll.c_str());
        return false;
    }
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = reply_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "wintest_reply";
    RegisterClassA(&window_class);
    HWND reply = CreateWindowExA(0, "wintest_reply", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 window_class.hInstance, nullptr);
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, hook_proc, module, GetWindowThreadProcessId(target, nullptr));
    if (!reply || !hook) {
        std::fprintf(stderr, "wintest: cannot hook the owner of the window\n");
        return false;
    }
    UINT question = RegisterWindowMessageA("wintest.query");
    DWORD_PTR ignored = 0;
    // The answer comes back as WM_COPYDATA, handled while we wait for this send.
    SendMessageTimeoutA(target, question, reinterpret_cast<WPARAM>(reply), what, SMTO_NORMAL, SEND_TIMEOUT_MS, &ignored);
    UnhookWindowsHookEx(hook);
    DestroyWindow(reply);
    answer = reply_text;
    return replied;
}

int verb_menu(const Query& query) {
    std::string answer;
    if (!ask_owner(query, ASK_MENU, answer) || answer.empty()) {
        std::fprintf(stderr, "wintest: the window menu of \"%s\" cannot be read\n", query.words[0].c_str());
        return EXIT_NOT_FOUND;
    }
    int position = 0;
    size_t start = 1;
    for (size_t end; (end = answer.find('\x1e', start)) != std::string::npos; start = end + 1) {
        std::string item = answer.substr(start, end - start);
        size_t first = item.find('\x1f');
        size_t second = item.find('\x1f', first + 1);
        if (first == std::string::npos || second == std::string::npos) break;
        std::printf("%d|%s|%s|%s\n", position++, escaped(item.substr(0, first)).c_str(),
                    item.substr(first + 1, second - first - 1).c_str(), item.substr(second + 1).c_str());
    }
    return EXIT_OK;
}

// ShowWindowAsync, then wait for the effect: the target may be busy and pump only
// one message now and then, and we must not block on it.
int show_and_wait(const Query& query, int command, bool want_iconic) {
    HWND hwnd = first_window(query);
    if (!hwnd) return EXIT_NOT_FOUND;
    ShowWindowAsync(hwnd, command);
    DWORD start = GetTickCount();
    while ((IsIconic(hwnd) != FALSE) != want_iconic) {
        if (GetTickCount() - start >= static_cast<DWORD>(seconds_or(query, 10) * 1000)) {
            std::fprintf(stderr, "wintest: \"%s\" did not change its state\n", query.words[0].c_str());
            return EXIT_NOT_FOUND;
        }
        Sleep(50);
    }
    return EXIT_OK;
}

int verb_iconic(const Query& query) {
    HWND hwnd = first_window(query);
    if (!hwnd) return EXIT_NOT_FOUND;
    std::printf("%d\n", IsIconic(hwnd) ? 1 : 0);
    return EXIT_OK;
}

int verb_pos(const Query& query) {
    HWND hwnd = first_window(query);
    if (!hwnd) return EXIT_NOT_FOUND;
    HWND bar = find_child_of_class(hwnd, PROGRESS_CLASSA);
    DWORD_PTR position = 0;
    if (!bar || !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &position)) {
        std::fprintf(stderr, "wintest: no progress bar in \"%s\"\n", query.words[0].c_str());
        return EXIT_NOT_FOUND;
    }
    std::printf("%lu\n", static_cast<unsigned long>(position));
    return EXIT_OK;
}

int verb_icon(const Query& query) {
    std::string answer;
    if (!ask_owner(query, ASK_ICON, answer)) return EXIT_NOT_FOUND;
    std::printf("%s\n", answer.c_str());
    return EXIT_OK;
}

struct Verb {
    const char* name;
    size_t words;  // caption included
    int (*run)(const Query&);
};

const Verb verbs[] = {
    {"list", 0, verb_list},     {"wait", 1, verb_wait},     {"gone", 1, verb_gone},
    {"click", 2, verb_click},   {"key", 3, verb_key},       {"menu", 1, verb_menu},
    {"minimize", 1, [](const Query& q) { return show_and_wait(q, SW_MINIMIZE, true); }},
    {"restore", 1, [](const Query& q) { return show_and_wait(q, SW_RESTORE, false); }},
    {"iconic", 1, verb_iconic}, {"pos", 1, verb_pos},       {"icon", 1, verb_icon},
};

int usage() {
    std::fprintf(stderr,
                 "usage: wintest VERB [CAPTION [ARGS]] [--prefix|--suffix] [--class NAME] [--timeout S]\n"
                 "verbs: list | wait C | gone C | click C BUTTON | key C BUTTON VK | menu C |\n"
                 "       minimize C | restore C | iconic C | pos C | icon C\n");
    return EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends and the program's own cp1252 bytes on the pipe.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) return usage();
    Query query;
    query.verb = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--prefix") {
            query.match = Match::PREFIX;
        } else if (arg == "--suffix") {
            query.match = Match::SUFFIX;
        } else if (arg == "--class" && i + 1 < argc) {
            query.class_name = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            char* end = nullptr;
            query.timeout = std::strtod(argv[++i], &end);
            if (*end != '\0' || query.timeout < 0) return usage();
        } else {
            query.words.push_back(arg);
        }
    }
    for (const Verb& verb : verbs) {
        if (query.verb != verb.name) continue;
        if (query.words.size() != verb.words) return usage();
        int code = verb.run(query);
        std::fflush(stdout);
        return code == EXIT_USAGE ? usage() : code;
    }
    return usage();
}
