// A user's hands on another program's windows, for the integration tests of
// the whole program: run in the same Wine prefix as the program, it finds
// its windows and works them with window messages, one command per line of
// its standard input, and answers each with one RESULT line.
//
// Commands (fields separated by '|'; a window is a hexadecimal handle):
//   wait|CLASS|CAPTION|MS     a visible top-level window of another process
//                             whose class and caption are as given ("*" takes
//                             any); RESULT wait HWND, or RESULT wait none
//   item|HWND|ID              the first descendant with that control id
//   child|HWND|CLASS          the first descendant of that window class
//   parent|HWND               the window's parent
//   text|HWND                 the window's text (WM_GETTEXT)
//   shown|HWND                1 while the window and its parents are visible, else 0
//   settext|HWND|TEXT         replaces it (WM_SETTEXT)
//   command|HWND|ID           posts the command of control ID to the window
//   close|HWND                posts WM_CLOSE
//   repeat|HWND|ID|GONE|MS    posts the command of control ID to the window
//                             every 10 ms until window GONE is gone; RESULT
//                             repeat COUNT (the commands posted), or
//                             RESULT repeat none after MS
//   rows|HWND                 a list box's rows, "|" between them
//   select|HWND|INDEX         selects a list box row as a click would
//   windows                   every top-level window of other processes
//   folder|HWND               the folder an open or save dialog shows
//   ping|HWND|MS              whether the window's thread answers within MS;
//                             RESULT ping MILLISECONDS, or RESULT ping none
//   check|HWND|STATE          sets a check box (BM_SETCHECK) to 0 or 1
//   place|HWND|X|Y|W|H        moves and sizes the window (SetWindowPos)
//   rect|HWND                 RESULT rect LEFT TOP RIGHT BOTTOM (screen)
//   endsession|HWND           what Windows sends a window as the session
//                             ends: WM_QUERYENDSESSION, then WM_ENDSESSION
//                             (TRUE) once it agreed; RESULT endsession
//                             AGREED MILLISECONDS (the time WM_ENDSESSION
//                             took), or none when it did not answer
//   hold|PATH                 another program's hold on a file: open with
//                             no sharing until release; RESULT hold 1 or 0
//   release|PATH
//   quit
// Texts are printed as UTF-8 with bytes below 0x20, '|' and '%' as %XX.
#include <windows.h>

#include <commdlg.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "Utf8.h"

namespace {

std::string Escape(const std::wstring& text)
{
    std::string out;
    char hex[4];
    for (unsigned char c : ToUtf8(text)) {
        if (c < 0x20 || c == '|' || c == '%') {
            snprintf(hex, sizeof(hex), "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void Result(const std::string& verb, const std::string& rest)
{
    printf("RESULT %s %s\n", verb.c_str(), rest.c_str());
    fflush(stdout);
}

std::string HandleText(HWND w)
{
    char text[32];
    snprintf(text, sizeof(text), "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(w)));
    return text;
}

HWND ParseHandle(const std::string& s)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoull(s.c_str(), nullptr, 16)));
}

std::wstring ClassOf(HWND w)
{
    wchar_t name[256] = L"";
    GetClassNameW(w, name, 256);
    return name;
}

// Cross-process WM_GETTEXT: the length first, then the text.
std::wstring TextOf(HWND w)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return std::wstring();
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                        5000, &got);
    return std::wstring(buffer.data());
}

// A file dialog's folder. The dialog writes it into memory of its own
// process, so the buffer is lent there and read back.
bool FolderOf(HWND dialog, std::wstring& folder)
{
    const SIZE_T units = 32768;
    DWORD id = 0;
    GetWindowThreadProcessId(dialog, &id);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
    if (!process) return false;
    void* lent = VirtualAllocEx(process, nullptr, units * sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = false;
    if (lent) {
        DWORD_PTR length = 0;
        std::vector<wchar_t> copy(units + 1, L'\0');
        ok = SendMessageTimeoutW(dialog, CDM_GETFOLDERPATH, units, reinterpret_cast<LPARAM>(lent), SMTO_ABORTIFHUNG,
                                 5000, &length) &&
             static_cast<LONG_PTR>(length) > 0 &&
             ReadProcessMemory(process, lent, copy.data(), units * sizeof(wchar_t), nullptr);
        if (ok) folder = copy.data();
        VirtualFreeEx(process, lent, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

struct Search {
    std::wstring className;
    std::wstring caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND w, LPARAM param)
{
    Search* s = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId() || !IsWindowVisible(w)) return TRUE;
    if (s->className != L"*" && ClassOf(w) != s->className) return TRUE;
    if (s->caption != L"*" && TextOf(w) != s->caption) return TRUE;
    s->found.push_back(w);
    return TRUE;
}

HWND FindTopLevel(const std::wstring& className, const std::wstring& caption, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        Search s{className, caption, {}};
        EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&s));
        if (!s.found.empty()) return s.found.front();
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(50);
    }
}

struct ItemSearch {
    int id;
    HWND found;
    std::wstring className;
};

BOOL CALLBACK FindItem(HWND w, LPARAM param)
{
    ItemSearch* s = reinterpret_cast<ItemSearch*>(param);
    if (s->className.empty() ? GetDlgCtrlID(w) == s->id : ClassOf(w) == s->className) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The first descendant of parent with the control id, or, given a class
// name, of that class.
HWND Descendant(HWND parent, int id, const std::wstring& className = std::wstring())
{
    ItemSearch s{id, nullptr, className};
    EnumChildWindows(parent, FindItem, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
        size_t bar = line.find('|', from);
        fields.push_back(line.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (bar == std::string::npos) return fields;
        from = bar + 1;
    }
}

std::string Field(const std::vector<std::string>& f, size_t i) { return i < f.size() ? f[i] : std::string(); }

int Number(const std::vector<std::string>& f, size_t i) { return atoi(Field(f, i).c_str()); }

// Files held for the tests, by the path they were named with.
std::map<std::string, HANDLE> g_held;

// Windows waits that long for a program at the session's end.
const UINT kSessionEndWaitMs = 20000;

std::string EndSession(HWND w)
{
    DWORD_PTR agreed = 0, ignored = 0;
    if (!SendMessageTimeoutW(w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, kSessionEndWaitMs, &agreed))
        return "none";
    if (!agreed) return "0 0";
    const DWORD start = GetTickCount();
    if (!SendMessageTimeoutW(w, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, kSessionEndWaitMs, &ignored))
        return "none";
    return "1 " + std::to_string(GetTickCount() - start);
}

void Run(const std::vector<std::string>& f)
{
    const std::string& verb = f[0];
    if (verb == "wait") {
        HWND w = FindTopLevel(FromUtf8(Field(f, 1)), FromUtf8(Field(f, 2)), strtoul(Field(f, 3).c_str(), nullptr, 10));
        Result(verb, w ? HandleText(w) : "none");
    } else if (verb == "item" || verb == "child") {
        HWND found = verb == "item" ? Descendant(ParseHandle(Field(f, 1)), atoi(Field(f, 2).c_str()))
                                    : Descendant(ParseHandle(Field(f, 1)), 0, FromUtf8(Field(f, 2)));
        Result(verb, found ? HandleText(found) : "none");
    } else if (verb == "parent") {
        HWND parent = GetParent(ParseHandle(Field(f, 1)));
        Result(verb, parent ? HandleText(parent) : "none");
    } else if (verb == "text") {
        Result(verb, Escape(TextOf(ParseHandle(Field(f, 1)))));
    } else if (verb == "shown") {
        Result(verb, IsWindowVisible(ParseHandle(Field(f, 1))) ? "1" : "0");
    } else if (verb == "settext") {
        const std::wstring text = FromUtf8(Field(f, 2));
        DWORD_PTR ok = 0;
        SendMessageTimeoutW(ParseHandle(Field(f, 1)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                            SMTO_ABORTIFHUNG, 5000, &ok);
        Result(verb, ok ? "1" : "0");
    } else if (verb == "command") {
        HWND w = ParseHandle(Field(f, 1));
        const int id = atoi(Field(f, 2).c_str());
        Result(verb, PostMessageW(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Descendant(w, id)))
                         ? "1"
                         : "0");
    } else if (verb == "repeat") {
        HWND w = ParseHandle(Field(f, 1));
        const int id = atoi(Field(f, 2).c_str());
        HWND gone = ParseHandle(Field(f, 3));
        const DWORD ms = strtoul(Field(f, 4).c_str(), nullptr, 10), start = GetTickCount();
        int posted = 0;
        while (IsWindow(gone) && GetTickCount() - start < ms) {
            if (PostMessageW(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0)) ++posted;
            Sleep(10);
        }
        Result(verb, IsWindow(gone) ? "none" : std::to_string(posted));
    } else if (verb == "close") {
        Result(verb, PostMessageW(ParseHandle(Field(f, 1)), WM_CLOSE, 0, 0) ? "1" : "0");
    } else if (verb == "rows") {
        HWND list = ParseHandle(Field(f, 1));
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        std::string rows;
        for (int i = 0; i < count; ++i) {
            const int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, i, 0));
            std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            rows += (i ? "|" : "") + Escape(text.data());
        }
        Result(verb, std::to_string(count) + (count ? " " + rows : ""));
    } else if (verb == "select") {
        HWND list = ParseHandle(Field(f, 1));
        const int index = atoi(Field(f, 2).c_str());
        SendMessageW(list, LB_SETCURSEL, index, 0);
        PostMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        Result(verb, "1");
    } else if (verb == "windows") {
        Search s{L"*", L"*", {}};
        EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&s));
        std::string all;
        for (HWND w : s.found) all += " " + HandleText(w) + ":" + Escape(ClassOf(w)) + ":" + Escape(TextOf(w));
        Result(verb, std::to_string(s.found.size()) + all);
    } else if (verb == "folder") {
        std::wstring folder;
        Result(verb, FolderOf(ParseHandle(Field(f, 1)), folder) ? Escape(folder) : "none");
    } else if (verb == "ping") {
        const DWORD start = GetTickCount();
        DWORD_PTR ignored = 0;
        const bool answered = SendMessageTimeoutW(ParseHandle(Field(f, 1)), WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                                  strtoul(Field(f, 2).c_str(), nullptr, 10), &ignored) != 0;
        Result(verb, answered ? std::to_string(GetTickCount() - start) : "none");
    } else if (verb == "check") {
        DWORD_PTR ignored = 0;
        const bool sent = SendMessageTimeoutW(ParseHandle(Field(f, 1)), BM_SETCHECK, Number(f, 2) ? BST_CHECKED : BST_UNCHECKED,
                                              0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
        Result(verb, sent ? "1" : "0");
    } else if (verb == "place") {
        Result(verb, SetWindowPos(ParseHandle(Field(f, 1)), nullptr, Number(f, 2), Number(f, 3), Number(f, 4), Number(f, 5),
                                  SWP_NOZORDER | SWP_NOACTIVATE)
                         ? "1"
                         : "0");
    } else if (verb == "rect") {
        RECT r;
        Result(verb, GetWindowRect(ParseHandle(Field(f, 1)), &r) ? std::to_string(r.left) + " " + std::to_string(r.top) +
                                                                       " " + std::to_string(r.right) + " " +
                                                                       std::to_string(r.bottom)
                                                                 : "none");
    } else if (verb == "endsession") {
        Result(verb, EndSession(ParseHandle(Field(f, 1))));
    } else if (verb == "hold") {
        const std::string& path = Field(f, 1);
        HANDLE h = g_held.count(path) ? INVALID_HANDLE_VALUE
                                      : CreateFileW(FromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                    OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) g_held[path] = h;
        Result(verb, h != INVALID_HANDLE_VALUE ? "1" : "0");
    } else if (verb == "release") {
        auto held = g_held.find(Field(f, 1));
        const bool was = held != g_held.end();
        if (was) {
            CloseHandle(held->second);
            g_held.erase(held);
        }
        Result(verb, was ? "1" : "0");
    } else {
        Result(verb, "unknown");
    }
}

}  // namespace

int main()
{
    char line[4096];
    while (fgets(line, sizeof(line), stdin)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.empty()) continue;
        if (text == "quit") break;
        Run(Split(text));
    }
    printf("BYE\n");
    fflush(stdout);
    return 0;
}
