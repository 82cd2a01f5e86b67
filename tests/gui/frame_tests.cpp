// The frame window with its resources, the rebar holding the menu bar, the
// client view's place, accelerators and the update-UI check states.
#include <gtest/gtest.h>

#include "AppModule.h"
#include "CommandBar.h"
#include "Frame.h"
#include "GuiHarness.h"
#include "framework_test_ids.h"

namespace {
class ClientView : public ATL::CWindowImpl<ClientView> {
public:
    BEGIN_MSG_MAP(ClientView)
    END_MSG_MAP()
};

class TestFrame : public WTL::CFrameWindowImpl<TestFrame>, public WTL::CUpdateUI<TestFrame> {
public:
    DECLARE_FRAME_WND_CLASS(L"PvTestFrame", IDR_TEST_FRAME)
    WTL::CCommandBarCtrl commandBar;
    ClientView view;
    UINT lastCommand = 0;
    int initMenuPopups = 0;

    BEGIN_MSG_MAP(TestFrame)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_INITMENUPOPUP, OnInitMenuPopup)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        CHAIN_MSG_MAP(WTL::CUpdateUI<TestFrame>)
        CHAIN_MSG_MAP(WTL::CFrameWindowImpl<TestFrame>)
    END_MSG_MAP()

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&)
    {
        commandBar.Create(m_hWnd);
        commandBar.AttachMenu(GetMenu());
        SetMenu(nullptr);
        CreateSimpleReBar();
        AddSimpleReBarBand(commandBar);
        m_hWndClient = view.Create(m_hWnd, nullptr, nullptr, WS_CHILD | WS_VISIBLE);
        return 0;
    }
    LRESULT OnInitMenuPopup(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        ++initMenuPopups;
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        lastCommand = LOWORD(wParam);
        return 0;
    }
};

struct Frame : ::testing::Test {
    WTL::CAppModule module;
    WTL::CMessageLoop loop;
    TestFrame frame;
    void SetUp() override
    {
        module.Init(GetModuleHandleW(nullptr));
        module.AddMessageLoop(&loop);
        RECT r = {50, 50, 450, 350};
        ASSERT_NE(nullptr, frame.CreateEx(nullptr, &r));
        frame.ShowWindow(SW_SHOW);
        gui::PumpMessages(100);
    }
    void TearDown() override
    {
        if (frame.m_hWnd) frame.DestroyWindow();
        module.RemoveMessageLoop();
        module.Term();
    }
};

std::wstring ButtonText(HWND bar, int index)
{
    TBBUTTON button = {};
    SendMessageW(bar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&button));
    wchar_t text[64] = L"";
    SendMessageW(bar, TB_GETBUTTONTEXTW, button.idCommand, reinterpret_cast<LPARAM>(text));
    return text;
}
}  // namespace

TEST_F(Frame, ResourcesGiveTitleMenuAndAccelerators)
{
    EXPECT_EQ(L"Test Frame", frame.GetWindowText());
    EXPECT_EQ(nullptr, frame.GetMenu()) << "the menu went to the menu bar";
    ASSERT_NE(nullptr, frame.m_hAccel);
    MSG msg = {frame, WM_KEYDOWN, VK_F6, 0, 0, {0, 0}};
    EXPECT_TRUE(frame.PreTranslateMessage(&msg));
    EXPECT_EQ(static_cast<UINT>(ID_TEST_ACCEL), frame.lastCommand);
    msg.wParam = VK_F7;
    EXPECT_FALSE(frame.PreTranslateMessage(&msg));
}

TEST_F(Frame, MenuBarHasOneButtonPerPopupInsideTheRebar)
{
    ASSERT_NE(nullptr, frame.m_hWndToolBar);
    EXPECT_EQ(frame.m_hWndToolBar, GetParent(frame.commandBar));
    EXPECT_EQ(1, SendMessageW(frame.m_hWndToolBar, RB_GETBANDCOUNT, 0, 0));
    ASSERT_EQ(2, frame.commandBar.SendMessage(TB_BUTTONCOUNT));
    EXPECT_EQ(L"&File", ButtonText(frame.commandBar, 0));
    EXPECT_EQ(L"&Help", ButtonText(frame.commandBar, 1));

    // Attaching the same menu again rebuilds the buttons from it.
    HMENU menu = frame.commandBar.GetMenu();
    DeleteMenu(menu, 1, MF_BYPOSITION);
    EXPECT_TRUE(frame.commandBar.AttachMenu(menu));
    EXPECT_EQ(1, frame.commandBar.SendMessage(TB_BUTTONCOUNT));
    EXPECT_TRUE(IsMenu(menu));
}

TEST_F(Frame, ClientViewFillsWhatTheBarsLeave)
{
    RECT client, bar, view;
    frame.GetClientRect(&client);
    GetWindowRect(frame.m_hWndToolBar, &bar);
    GetWindowRect(frame.view, &view);
    frame.ScreenToClient(&view);
    EXPECT_GT(bar.bottom - bar.top, 10);
    EXPECT_EQ(bar.bottom - bar.top, view.top);
    EXPECT_EQ(client.bottom, view.bottom);
    EXPECT_EQ(client.right, view.right);

    // Hiding the rebar gives its room to the view at the next layout.
    ShowWindow(frame.m_hWndToolBar, SW_HIDE);
    frame.UpdateLayout();
    GetWindowRect(frame.view, &view);
    frame.ScreenToClient(&view);
    EXPECT_EQ(0, view.top);
}

TEST_F(Frame, ClickOnAMenuButtonOpensItsPopupWithCheckStatesApplied)
{
    frame.UISetCheck(ID_TEST_CHECKED, 1);
    bool popupShown = false;
    UINT checked = 0;
    gui::ModalDriver driver({[&] {
        HWND popup = gui::FindThreadPopupMenu();
        popupShown = popup && IsWindowVisible(popup);
        HMENU file = GetSubMenu(frame.commandBar.GetMenu(), 0);
        checked = GetMenuState(file, ID_TEST_CHECKED, MF_BYCOMMAND) & MF_CHECKED;
        gui::SavePng(gui::CaptureDisplay(frame), "frame_menu_open");
        EndMenu();
    }}, false);
    driver.Start();
    RECT button;
    frame.commandBar.SendMessage(TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    frame.commandBar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(button.left + 3, button.top + 3));
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(popupShown);
    EXPECT_EQ(1, frame.initMenuPopups);
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), checked);
}

TEST_F(Frame, AltAndMnemonicOpenThePopupThroughTheLoopFilter)
{
    bool opened = false;
    gui::ModalDriver driver({[&] {
        opened = gui::FindThreadPopupMenu() != nullptr;
        EndMenu();
    }}, false);
    driver.Start();
    MSG msg = {frame.view, WM_SYSCHAR, L'h', 0, 0, {0, 0}};
    EXPECT_TRUE(loop.PreTranslateMessage(&msg));
    EXPECT_TRUE(opened);
    msg.wParam = L'q';
    EXPECT_FALSE(loop.PreTranslateMessage(&msg)) << "no popup has that mnemonic";
}
