// The program's own message box, driven from inside its modal loop.
#include <gtest/gtest.h>

#include <string>

#include "GuiHarness.h"
#include "MsgBox.h"

namespace {
std::wstring Text(HWND hWnd)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hWnd, &text[0], static_cast<int>(text.size()))));
    return text;
}

const wchar_t kBusy[] = L"A file transfer is in progress. Please wait until it ends.";
}  // namespace

TEST(MsgBox, ShowsTheTextBesideTheIconAndOkReturnsOne)
{
    CMsgBox box(kBusy);
    std::wstring caption, shown;
    bool hasIcon = false;
    RECT textRect = {}, expected = {};
    gui::ModalDriver driver({[&] {
                                 HWND d = gui::FindThreadDialog();
                                 EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(d), "msgbox"));
                                 caption = Text(d);
                                 shown = Text(GetDlgItem(d, IDC_MESSAGE_TEXT));
                                 hasIcon = SendDlgItemMessageW(d, IDC_STATIC, STM_GETICON, 0, 0) != 0;
                                 GetWindowRect(GetDlgItem(d, IDC_MESSAGE_TEXT), &textRect);
                                 MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&textRect), 2);
                                 RECT position = {33, 7, 0, 0}, size = {0, 0, 211, 18};
                                 MapDialogRect(d, &position);
                                 MapDialogRect(d, &size);
                                 expected = {position.left, position.top, position.left + size.right,
                                             position.top + size.bottom};
                             },
                             [&] {
                                 HWND ok = GetDlgItem(gui::FindThreadDialog(), IDOK);
                                 PostMessageW(ok, BM_CLICK, 0, 0);
                             }});
    driver.Start();
    EXPECT_EQ(1, box.DoModal(nullptr));
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(L"File Transfer", caption);
    EXPECT_EQ(kBusy, shown);
    EXPECT_TRUE(hasIcon);
    EXPECT_EQ(expected.left, textRect.left);
    EXPECT_EQ(expected.right, textRect.right);
    EXPECT_EQ(expected.bottom, textRect.bottom);
}

TEST(MsgBox, CloseBoxReturnsTwoAndEscapeLeavesItOpen)
{
    CMsgBox box(L"short");
    bool openAfterEscape = false;
    gui::ModalDriver driver({[&] {
                                 HWND d = gui::FindThreadDialog();
                                 // The dialog manager turns Escape into IDCANCEL, which the box
                                 // does not handle.
                                 PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
                                 PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                             },
                             [&] {
                                 HWND d = gui::FindThreadDialog();
                                 openAfterEscape = d != nullptr && IsWindowVisible(d);
                                 PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
                             }});
    driver.Start();
    EXPECT_EQ(2, box.DoModal(nullptr));
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(openAfterEscape);
}

TEST(MsgBox, LongTextIsKeptWholeAndCutByTheControl)
{
    std::wstring text;
    for (int i = 0; i < 12; ++i) text += L"This sentence makes the message far too long for its box. ";
    CMsgBox box(text.c_str());
    std::wstring shown;
    gui::ModalDriver driver({[&] {
        HWND d = gui::FindThreadDialog();
        shown = Text(GetDlgItem(d, IDC_MESSAGE_TEXT));
        EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(d), "msgbox_long_text"));
        PostMessageW(d, WM_CLOSE, 0, 0);
    }});
    driver.Start();
    EXPECT_EQ(2, box.DoModal(nullptr));
    EXPECT_EQ(text, shown);
}

TEST(MsgBox, ModalOnItsOwner)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    CMsgBox box(L"owned");
    bool ownerDisabled = false;
    HWND ownerSeen = nullptr;
    gui::ModalDriver driver({[&] {
        HWND d = gui::FindThreadDialog();
        ownerDisabled = !IsWindowEnabled(owner);
        ownerSeen = GetWindow(d, GW_OWNER);
        PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }});
    driver.Start();
    EXPECT_EQ(1, box.DoModal(owner));
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(owner, ownerSeen);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}
