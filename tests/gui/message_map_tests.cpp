// Message routing through maps: entry order and the handled flag, command
// and notification entries, ranges, chained and alternate maps, reflection
// of child notifications and forwarding to the parent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogImpl.h"
#include "WindowImpl.h"

namespace {
const UINT kPassOn = WM_APP + 1;
const UINT kRangeFirst = WM_APP + 10;
const UINT kRangeLast = WM_APP + 19;
const UINT kChained = WM_APP + 30;
const UINT kAltOnly = WM_APP + 31;
const UINT kNotifyCode = 0xFFFFF000u;

std::vector<std::string> g_calls;

// A mix-in whose default map handles kChained and whose map 1 handles kAltOnly.
class ChainedHandlers {
public:
    BEGIN_MSG_MAP(ChainedHandlers)
        MESSAGE_HANDLER(kChained, OnChained)
    ALT_MSG_MAP(1)
        MESSAGE_HANDLER(kAltOnly, OnAlt)
    END_MSG_MAP()

    LRESULT OnChained(UINT, WPARAM, LPARAM, BOOL&)
    {
        g_calls.push_back("chained");
        return 7;
    }
    LRESULT OnAlt(UINT, WPARAM, LPARAM, BOOL&)
    {
        g_calls.push_back("alt");
        return 8;
    }
};

class RoutingWnd : public ATL::CWindowImpl<RoutingWnd>, public ChainedHandlers {
public:
    BEGIN_MSG_MAP(RoutingWnd)
        MESSAGE_HANDLER(kPassOn, OnFirst)
        MESSAGE_HANDLER(kPassOn, OnSecond)
        MESSAGE_RANGE_HANDLER(kRangeFirst, kRangeLast, OnRange)
        COMMAND_ID_HANDLER(101, OnCommand101)
        COMMAND_HANDLER(102, BN_CLICKED, OnClicked102)
        NOTIFY_CODE_HANDLER(kNotifyCode, OnNotify)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        CHAIN_MSG_MAP(ChainedHandlers)
    ALT_MSG_MAP(1)
        CHAIN_MSG_MAP_ALT(ChainedHandlers, 1)
    END_MSG_MAP()

    LRESULT OnFirst(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        g_calls.push_back("first");
        bHandled = FALSE;
        return 1;
    }
    LRESULT OnSecond(UINT, WPARAM, LPARAM, BOOL&)
    {
        g_calls.push_back("second");
        return 42;
    }
    LRESULT OnRange(UINT uMsg, WPARAM, LPARAM, BOOL&) { return uMsg - kRangeFirst + 100; }
    LRESULT OnCommand101(WORD code, WORD id, HWND, BOOL&)
    {
        g_calls.push_back("command " + std::to_string(id) + "/" + std::to_string(code));
        return 0;
    }
    LRESULT OnClicked102(WORD, WORD, HWND, BOOL&)
    {
        g_calls.push_back("clicked 102");
        return 0;
    }
    LRESULT OnNotify(int id, LPNMHDR header, BOOL&)
    {
        g_calls.push_back("notify " + std::to_string(id));
        return static_cast<LRESULT>(header->idFrom) * 2;
    }
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        g_calls.push_back("settext");
        bHandled = FALSE;
        return 0;
    }
};

struct MessageMap : ::testing::Test {
    RoutingWnd wnd;
    void SetUp() override
    {
        g_calls.clear();
        ASSERT_NE(nullptr, wnd.Create(nullptr, nullptr, L"routing", WS_POPUP));
    }
    void TearDown() override
    {
        if (wnd.m_hWnd) wnd.DestroyWindow();
    }
};
}  // namespace

TEST_F(MessageMap, ClearedHandledFlagPassesToTheNextEntry)
{
    EXPECT_EQ(42, wnd.SendMessage(kPassOn));
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), g_calls);
}

TEST_F(MessageMap, RangeCoversBothEndsOnly)
{
    EXPECT_EQ(100, wnd.SendMessage(kRangeFirst));
    EXPECT_EQ(109, wnd.SendMessage(kRangeLast));
    EXPECT_EQ(0, wnd.SendMessage(kRangeLast + 1));
}

TEST_F(MessageMap, CommandEntriesMatchIdAndCode)
{
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(101, EN_CHANGE));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(102, BN_CLICKED));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(102, BN_DOUBLECLICKED));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(103, BN_CLICKED));
    EXPECT_EQ((std::vector<std::string>{"command 101/" + std::to_string(EN_CHANGE), "clicked 102"}), g_calls);
}

TEST_F(MessageMap, NotifyEntryGetsTheHeaderAndAnswers)
{
    NMHDR header = {nullptr, 33, kNotifyCode};
    EXPECT_EQ(66, wnd.SendMessage(WM_NOTIFY, 33, reinterpret_cast<LPARAM>(&header)));
    header.code = kNotifyCode + 1;
    EXPECT_EQ(0, wnd.SendMessage(WM_NOTIFY, 33, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ((std::vector<std::string>{"notify 33"}), g_calls);
}

TEST_F(MessageMap, UnhandledMessageReachesDefaultProcessing)
{
    wnd.SetWindowText(L"stored by the default procedure");
    EXPECT_EQ(L"stored by the default procedure", wnd.GetWindowText());
    EXPECT_EQ((std::vector<std::string>{"settext"}), g_calls);
}

TEST_F(MessageMap, ChainedMapsAndAlternateMaps)
{
    EXPECT_EQ(7, wnd.SendMessage(kChained));
    // The alternate map is only reached when asked for by number.
    EXPECT_EQ(0, wnd.SendMessage(kAltOnly));
    LRESULT result = 0;
    EXPECT_TRUE(wnd.ProcessWindowMessage(wnd.m_hWnd, kAltOnly, 0, 0, result, 1));
    EXPECT_EQ(8, result);
    EXPECT_FALSE(wnd.ProcessWindowMessage(wnd.m_hWnd, kChained, 0, 0, result, 1));
    EXPECT_EQ((std::vector<std::string>{"chained", "alt"}), g_calls);
}

namespace {
// A button that handles what its parent reflects to it.
class ReflectedButton : public ATL::CWindowImpl<ReflectedButton> {
public:
    DECLARE_WND_SUPERCLASS(L"PvReflectedButton", L"BUTTON")
    int commands = 0;
    HBRUSH brush = reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));

    BEGIN_MSG_MAP(ReflectedButton)
        MESSAGE_HANDLER(OCM_COMMAND, OnCommand)
        MESSAGE_HANDLER(OCM_CTLCOLORBTN, OnColor)
        MESSAGE_HANDLER(OCM_NOTIFY, OnNotify)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        if (HIWORD(wParam) == BN_CLICKED) ++commands;
        return 0;
    }
    LRESULT OnColor(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(brush); }
    LRESULT OnNotify(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        return reinterpret_cast<LPNMHDR>(lParam)->code == kNotifyCode ? 5150 : 0;
    }
};

class ReflectingParent : public ATL::CWindowImpl<ReflectingParent> {
public:
    int ownCommands = 0;
    BEGIN_MSG_MAP(ReflectingParent)
        REFLECT_NOTIFICATIONS()
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    END_MSG_MAP()
    LRESULT OnCommand(UINT, WPARAM, LPARAM, BOOL&)
    {
        ++ownCommands;
        return 0;
    }
};

// Passes its children's notifications on to its own parent.
class ForwardingWnd : public ATL::CWindowImpl<ForwardingWnd> {
public:
    BEGIN_MSG_MAP(ForwardingWnd)
        FORWARD_NOTIFICATIONS()
    END_MSG_MAP()
};

class NotifiedTop : public ATL::CWindowImpl<NotifiedTop> {
public:
    UINT_PTR lastFrom = 0;
    BEGIN_MSG_MAP(NotifiedTop)
        NOTIFY_CODE_HANDLER(kNotifyCode, OnNotify)
    END_MSG_MAP()
    LRESULT OnNotify(int, LPNMHDR header, BOOL&)
    {
        lastFrom = header->idFrom;
        return 99;
    }
};
}  // namespace

TEST(Reflection, ChildNotificationsComeBackToTheChild)
{
    ReflectingParent parent;
    ASSERT_NE(nullptr, parent.Create(nullptr, nullptr, L"parent", WS_POPUP));
    ReflectedButton button;
    RECT r = {0, 0, 60, 20};
    ASSERT_NE(nullptr, button.Create(parent, &r, L"b", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 77));

    parent.SendMessage(WM_COMMAND, MAKEWPARAM(77, BN_CLICKED), reinterpret_cast<LPARAM>(button.m_hWnd));
    EXPECT_EQ(1, button.commands);
    EXPECT_EQ(0, parent.ownCommands);
    EXPECT_EQ(reinterpret_cast<LRESULT>(button.brush),
              parent.SendMessage(WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(button.m_hWnd)));
    NMHDR header = {button.m_hWnd, 77, kNotifyCode};
    EXPECT_EQ(5150, parent.SendMessage(WM_NOTIFY, 77, reinterpret_cast<LPARAM>(&header)));

    // A reflected message the child does not handle gets the default answer
    // of the original message.
    EXPECT_EQ(0, parent.SendMessage(WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(button.m_hWnd)));

    // A menu command names no child: the parent's own entries see it.
    parent.SendMessage(WM_COMMAND, MAKEWPARAM(40001, 0), 0);
    EXPECT_EQ(1, parent.ownCommands);
    EXPECT_EQ(1, button.commands);
    parent.DestroyWindow();
}

TEST(Reflection, ForwardedNotificationsReachTheParentWithTheirAnswer)
{
    NotifiedTop top;
    ASSERT_NE(nullptr, top.Create(nullptr, nullptr, L"top", WS_POPUP));
    ForwardingWnd middle;
    ASSERT_NE(nullptr, middle.Create(top, nullptr, L"middle", WS_CHILD));
    NMHDR header = {nullptr, 12, kNotifyCode};
    EXPECT_EQ(99, middle.SendMessage(WM_NOTIFY, 12, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(12u, top.lastFrom);
    // Other messages are not forwarded.
    middle.SetWindowText(L"kept");
    EXPECT_EQ(L"kept", middle.GetWindowText());
    top.DestroyWindow();
}
