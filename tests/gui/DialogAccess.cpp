#include "DialogAccess.h"

namespace dlgtest {

namespace {
bool IsDialog(HWND hWnd)
{
    wchar_t name[16];
    GetClassNameW(hWnd, name, 16);
    return IsWindowVisible(hWnd) && lstrcmpW(name, L"#32770") == 0;
}

BOOL CALLBACK CollectDialog(HWND hWnd, LPARAM param)
{
    if (IsDialog(hWnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hWnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> ThreadDialogs()
{
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<HWND> OwnedDialogs(HWND owner)
{
    std::vector<HWND> owned;
    for (HWND d : ThreadDialogs()) {
        HWND o = GetWindow(d, GW_OWNER);
        if (owner ? o == owner : !(o && IsDialog(o))) owned.push_back(d);
    }
    return owned;
}

HWND FindOwnedDialog(HWND owner)
{
    std::vector<HWND> owned = OwnedDialogs(owner);
    return owned.empty() ? nullptr : owned.front();
}

ShownBox ReadBox(HWND box)
{
    ShownBox shown;
    wchar_t caption[512];
    GetWindowTextW(box, caption, 512);
    shown.caption = caption;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16];
        GetClassNameW(child, name, 16);
        if (lstrcmpiW(name, L"Static") != 0) continue;
        HICON icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        if (icon) {
            shown.icon = icon;
            continue;
        }
        wchar_t text[2048];
        GetWindowTextW(child, text, 2048);
        if (text[0] && shown.text.empty()) shown.text = text;
    }
    return shown;
}

HICON BoxIcon(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONEXCLAMATION: return LoadIconW(nullptr, IDI_EXCLAMATION);
    case MB_ICONERROR: return LoadIconW(nullptr, IDI_HAND);
    case MB_ICONQUESTION: return LoadIconW(nullptr, IDI_QUESTION);
    case MB_ICONASTERISK: return LoadIconW(nullptr, IDI_ASTERISK);
    default: return nullptr;
    }
}

std::wstring ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
    return text;
}

bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool ItemChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void TypeText(HWND control, const std::wstring& text)
{
    // A drop-down combo box takes keys in its edit field.
    HWND edit = FindWindowExW(control, nullptr, L"Edit", nullptr);
    HWND target = edit ? edit : control;
    SendMessageW(target, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    for (wchar_t c : text) SendMessageW(target, WM_CHAR, c, 1);
}

void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

}  // namespace dlgtest
