// The program's resources as the windows use them: template geometry and
// texts, menus, strings, and the pictures' sizes, formats and keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuiHarness.h"
#include "resource.h"

namespace {
INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Host {
    HWND hWnd;
    Host()
    {
        hWnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    }
    ~Host() { DestroyWindow(hWnd); }
};

struct Placement {
    int dialog;
    int control;
    int x, y, w, h;  // dialog units; h < 0 when the control sizes itself
    const wchar_t* text;
};

// Where every control the windows rely on sits, as the templates give it.
const Placement kPlacements[] = {
    {IDD_MESSAGE_BOX, IDOK, 95, 34, 50, 14, L"OK"},
    {IDD_MESSAGE_BOX, IDC_MESSAGE_TEXT, 33, 7, 211, 18, L""},
    {IDD_SIGN_IN, IDC_NAME, 65, 19, 181, -1, nullptr},
    {IDD_SIGN_IN, IDC_PASSWORD, 65, 34, 181, 13, nullptr},
    {IDD_SIGN_IN, IDC_SIGN_IN, 66, 52, 57, 14, L"Sign In"},
    {IDD_SIGN_IN, IDC_CANCEL_SIGN_IN, 125, 52, 52, 14, L"Cancel"},
    {IDD_SIGN_IN, IDC_SETTINGS, 180, 53, 66, 14, L"Settings..."},
    {IDD_SIGN_IN, IDC_AUTO_SIGN_IN, 67, 81, 167, 10, L"Sign me in when Quorvel starts"},
    {IDD_SIGN_IN, IDC_NAME_LABEL, 16, 20, 45, 8, L"E-mail:"},
    {IDD_SIGN_IN, IDC_PASSWORD_LABEL, 16, 36, 45, 8, L"password:"},
    {IDD_SIGN_IN, IDC_PROGRESS, 62, 102, 148, 11, nullptr},
    {IDD_SIGN_IN, IDC_STATUS, 56, 70, 192, 10, L""},
    {IDD_SIGN_IN, IDC_START_WITH_WINDOWS, 67, 93, 172, 10, L"Start Quorvel when windows starts"},
    {IDD_ADD_DEVICE, IDC_STATUS, 7, 50, 158, 15,
     L"New device detected. Please select a name for this secure device."},
    {IDD_ADD_DEVICE, IDC_NAME, 7, 82, 158, 14, nullptr},
    {IDD_ADD_DEVICE, IDC_REGISTER, 60, 102, 50, 14, L"Register"},
    {IDD_ADD_DEVICE, IDB_BANNER, 7, 7, -1, -1, nullptr},
    {IDD_ADD_CONTACT, IDC_ADD, 60, 102, 50, 14, L"Add"},
    {IDD_ADD_CONTACT, IDC_STATUS, 7, 51, 157, 18, L"Secure Contact Name:"},
    {IDD_ADD_CONTACT, IDC_NAME, 7, 72, 157, 14, nullptr},
    {IDD_SETTINGS, IDC_DEVICE_ID_LABEL, 8, 16, 63, 9, nullptr},
    {IDD_SETTINGS, IDC_DEVICE_ID, 76, 14, 263, 14, nullptr},
    {IDD_SETTINGS, IDC_SERVER_LABEL, 8, 35, 63, 9, nullptr},
    {IDD_SETTINGS, IDC_NAME, 76, 32, 263, 14, nullptr},
    {IDD_SETTINGS, IDC_BACKUP_SERVER_LABEL, 7, 52, 63, 9, L"Backup Server:"},
    {IDD_SETTINGS, IDC_PASSWORD, 76, 50, 263, 14, nullptr},
    {IDD_SETTINGS, IDC_LANGUAGE_LABEL, 8, 70, 63, 9, nullptr},
    {IDD_SETTINGS, IDC_LANGUAGE, 76, 68, 87, -1, nullptr},
    {IDD_SETTINGS, IDC_SOUNDS_LABEL, 8, 87, 63, 9, nullptr},
    {IDD_SETTINGS, IDC_SOUNDS, 76, 85, 87, -1, nullptr},
    {IDD_SETTINGS, IDOK, 150, 112, 62, 13, L"OK"},
    {IDD_CALL, IDC_OPEN_CHAT, 11, 23, 48, 15, L"text"},
    {IDD_CALL, IDC_SEND_FILE, 61, 23, 48, 15, L"send"},
    {IDD_INPUT_PANEL, IDC_INPUT_EDIT, 0, 0, 140, 14, nullptr},
    {IDD_INPUT_PANEL, IDC_SEND, 144, 0, 44, 14, nullptr},
};

struct Template {
    int dialog;
    int w, h;
    const wchar_t* caption;
    bool child;
};
const Template kTemplates[] = {
    {IDD_MESSAGE_BOX, 251, 54, L"File Transfer", false}, {IDD_SIGN_IN, 264, 113, L"Sign In", false},
    {IDD_ADD_DEVICE, 172, 123, L"Add Secure Device", false}, {IDD_ADD_CONTACT, 171, 123, L"Quorvel: Add Contact", false},
    {IDD_SETTINGS, 353, 129, L"Quorvel Settings", false},    {IDD_CALL, 188, 142, L"", true},
    {IDD_FILE_TRANSFER, 188, 91, L"", true},                  {IDD_ABOUT, 188, 142, L"", true},
    {IDD_CHAT, 188, 142, L"", true},                          {IDD_INPUT_PANEL, 188, 14, L"", true},
    {IDD_CONTACT_LIST, 188, 200, L"", true},
};

// As the dialog manager places a control: position and size are converted
// apart, each rounded on its own.
RECT DialogUnits(HWND dialog, int x, int y, int w, int h)
{
    RECT position = {x, y, 0, 0}, size = {0, 0, w, h};
    MapDialogRect(dialog, &position);
    MapDialogRect(dialog, &size);
    return {position.left, position.top, position.left + size.right, position.top + size.bottom};
}

std::wstring Text(HWND hWnd)
{
    wchar_t text[256] = L"";
    GetWindowTextW(hWnd, text, 256);
    return text;
}
}  // namespace

TEST(Resources, DialogTemplatesHaveTheirSizesAndCaptions)
{
    Host host;
    for (const Template& t : kTemplates) {
        SCOPED_TRACE(t.dialog);
        HWND d = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(t.dialog), host.hWnd, Quiet, 0);
        ASSERT_NE(nullptr, d);
        RECT client;
        GetClientRect(d, &client);
        RECT expected = DialogUnits(d, 0, 0, t.w, t.h);
        EXPECT_EQ(expected.right, client.right);
        EXPECT_EQ(expected.bottom, client.bottom);
        EXPECT_EQ(t.caption, Text(d));
        EXPECT_EQ(t.child, (GetWindowLongW(d, GWL_STYLE) & WS_CHILD) != 0);
        DestroyWindow(d);
    }
}

TEST(Resources, ControlsSitWhereTheTemplatesPutThem)
{
    Host host;
    for (const Placement& p : kPlacements) {
        SCOPED_TRACE(std::to_string(p.dialog) + "/" + std::to_string(p.control));
        HWND d = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(p.dialog), host.hWnd, Quiet, 0);
        ASSERT_NE(nullptr, d);
        HWND c = GetDlgItem(d, p.control);
        ASSERT_NE(nullptr, c);
        const RECT r = gui::PlaceIn(c, d);
        RECT e = DialogUnits(d, p.x, p.y, p.w < 0 ? 0 : p.w, p.h < 0 ? 0 : p.h);
        EXPECT_EQ(e.left, r.left);
        EXPECT_EQ(e.top, r.top);
        if (p.w >= 0) {
            EXPECT_EQ(e.right, r.right);
        }
        if (p.h >= 0) {
            EXPECT_EQ(e.bottom, r.bottom);
        }
        if (p.text) {
            EXPECT_EQ(p.text, Text(c));
        }
        DestroyWindow(d);
    }
}

TEST(Resources, ControlStatesTheWindowsStartFrom)
{
    Host host;
    HINSTANCE module = GetModuleHandleW(nullptr);
    HWND signIn = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_SIGN_IN), host.hWnd, Quiet, 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(signIn, IDC_CANCEL_SIGN_IN)));
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(signIn, IDC_PROGRESS), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(signIn, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD);
    DestroyWindow(signIn);

    HWND call = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_CALL), host.hWnd, Quiet, 0);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(call, IDC_VOLUME), GWL_STYLE) & WS_VISIBLE);
    for (int id : {IDC_OPEN_CHAT, IDC_SEND_FILE, IDC_END_CALL, IDC_CALL_LAMP, IDC_ACCEPT, IDC_SPEAK, IDC_SPEAK_WAIT})
        EXPECT_FALSE(GetWindowLongW(GetDlgItem(call, id), GWL_STYLE) & WS_VISIBLE) << id;
    DestroyWindow(call);

    HWND transfer = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_FILE_TRANSFER), host.hWnd, Quiet, 0);
    HWND cancel = GetDlgItem(transfer, IDCANCEL);
    ASSERT_NE(nullptr, cancel);
    EXPECT_FALSE(GetWindowLongW(cancel, GWL_STYLE) & WS_VISIBLE);
    DestroyWindow(transfer);

    HWND contacts = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_CONTACT_LIST), host.hWnd, Quiet, 0);
    EXPECT_NE(nullptr, GetDlgItem(contacts, IDC_ALPHA));
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(contacts, IDC_ALPHA), GWL_STYLE) & WS_VISIBLE);
    DestroyWindow(contacts);
}

TEST(Resources, MenusStringsAndAccelerators)
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    HMENU frame = LoadMenuW(module, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(nullptr, frame);
    ASSERT_EQ(2, GetMenuItemCount(frame));
    HMENU file = GetSubMenu(frame, 0);
    EXPECT_NE(-1, static_cast<int>(GetMenuState(file, ID_ADD_CONTACT, MF_BYCOMMAND)));
    EXPECT_NE(-1, static_cast<int>(GetMenuState(file, ID_SETTINGS, MF_BYCOMMAND)));
    EXPECT_NE(-1, static_cast<int>(GetMenuState(file, ID_APP_EXIT, MF_BYCOMMAND)));
    EXPECT_EQ(static_cast<UINT>(ID_APP_ABOUT), GetMenuItemID(GetSubMenu(frame, 1), 0));
    DestroyMenu(frame);

    HMENU tray = LoadMenuW(module, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    ASSERT_NE(nullptr, tray);
    HMENU popup = GetSubMenu(tray, 0);
    ASSERT_NE(nullptr, popup) << "the tray menu's first item is its popup";
    EXPECT_EQ(static_cast<UINT>(ID_RESTORE), GetMenuItemID(popup, 0)) << "position 0 is the default item";
    EXPECT_NE(-1, static_cast<int>(GetMenuState(popup, ID_APP_EXIT, MF_BYCOMMAND)));
    DestroyMenu(tray);

    EXPECT_NE(nullptr, LoadAcceleratorsW(module, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    struct Str {
        UINT id;
        const wchar_t* text;
    };
    for (Str s : {Str{IDR_MAINFRAME, L"Pelvane"}, Str{IDC_CHAT_BUTTON, L"Chat button"},
                  Str{IDC_CALL_BUTTON, L"Call button"}, Str{IDC_SEND_FILE_BUTTON, L"Send button"},
                  Str{IDC_CONTACT_LIST, L"Contact list"}}) {
        wchar_t text[64] = L"";
        LoadStringW(module, s.id, text, 64);
        EXPECT_STREQ(s.text, text);
    }
}

namespace {
struct Picture {
    int id;
    int width, height, bits;
    COLORREF corner;  // the key colour the corners show
};
const COLORREF kMagenta = RGB(255, 0, 255);
const COLORREF kMarkKey = RGB(164, 164, 164);
const Picture kPictures[] = {
    {IDB_BACKGROUND, 480, 504, 24, CLR_INVALID},
    {IDB_LOGO, 56, 56, 24, kMagenta},
    {IDB_MARK_REACHABLE, 10, 15, 24, kMarkKey},
    {IDB_MARK_UNREACHABLE, 10, 15, 24, kMarkKey},
    {IDB_BUTTON_CALL, 219, 23, 24, kMagenta},
    {IDB_BUTTON_SEND, 219, 23, 24, kMagenta},
    {IDB_BUTTON_FILE, 219, 23, 24, kMagenta},
    {IDB_BUTTON_END, 219, 23, 24, kMagenta},
    {IDB_BUTTON_SPEAK, 219, 23, 24, kMagenta},
    {IDB_BUTTON_CANCEL, 219, 23, 24, kMagenta},
    {IDB_BUTTON_ACCEPT, 219, 23, 24, kMagenta},
    {IDB_BUTTON_CHAT, 219, 23, 24, kMagenta},
    {IDB_BUTTON_SPEAK_WAIT, 219, 23, 24, kMagenta},
};
}  // namespace

TEST(Resources, PicturesHaveTheirSizesFormatsAndKeys)
{
    for (const Picture& p : kPictures) {
        SCOPED_TRACE(p.id);
        HBITMAP b = static_cast<HBITMAP>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(p.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(nullptr, b);
        DIBSECTION dib = {};
        ASSERT_EQ(static_cast<int>(sizeof(dib)), GetObjectW(b, sizeof(dib), &dib));
        EXPECT_EQ(p.width, dib.dsBm.bmWidth);
        EXPECT_EQ(p.height, dib.dsBm.bmHeight);
        EXPECT_EQ(p.bits, dib.dsBm.bmBitsPixel);
        if (p.corner != CLR_INVALID) {
            HDC dc = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(dc, b);
            for (POINT c : {POINT{0, 0}, POINT{p.width - 1, 0}, POINT{0, p.height - 1}, POINT{p.width - 1, p.height - 1}})
                EXPECT_EQ(p.corner, GetPixel(dc, c.x, c.y)) << c.x << "," << c.y;
            // The keyed pictures cover a good part of their area.
            int drawn = 0;
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) drawn += GetPixel(dc, x, y) != p.corner;
            EXPECT_GT(drawn, p.width * p.height / 5);
            if (p.width == 219) {
                for (int frame = 0; frame < 3; ++frame) EXPECT_NE(p.corner, GetPixel(dc, frame * 73 + 36, 11));
            }
            SelectObject(dc, old);
            DeleteDC(dc);
        }
        DeleteObject(b);
    }
}

TEST(Resources, CallLampIsFourFramesOfStraightAlphaPixels)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, L"#263", L"RAW");
    ASSERT_NE(nullptr, found);
    ASSERT_EQ(16864u, SizeofResource(module, found));
    const unsigned char* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(nullptr, bytes);
    auto alpha = [&](int x, int y) { return bytes[(y * 124 + x) * 4 + 3]; };
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(frame);
        EXPECT_EQ(0, alpha(frame * 31, 0)) << "corners are clear";
        EXPECT_EQ(0, alpha(frame * 31 + 30, 33));
        EXPECT_EQ(255, alpha(frame * 31 + 15, 17)) << "the lamp is opaque";
    }
}

TEST(Resources, IconsLoadAtTheirSizes)
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    struct Icon {
        int id, size;
    };
    for (Icon i : {Icon{IDI_TRAY_OFFLINE, 16}, Icon{IDI_TRAY_ONLINE, 16}, Icon{IDR_MAINFRAME, 16},
                   Icon{IDR_MAINFRAME, 32}, Icon{IDR_MAINFRAME, 48}}) {
        SCOPED_TRACE(std::to_string(i.id) + "@" + std::to_string(i.size));
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(i.id), IMAGE_ICON, i.size, i.size, 0));
        ASSERT_NE(nullptr, icon);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(i.size, colour.bmWidth);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}
