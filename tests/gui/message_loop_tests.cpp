// The message loop's filters and idle handlers, and the module's loops per
// thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "AppModule.h"
#include "WindowImpl.h"

namespace {
std::string g_trace;

class RecordingWnd : public ATL::CWindowImpl<RecordingWnd> {
public:
    BEGIN_MSG_MAP(RecordingWnd)
        MESSAGE_RANGE_HANDLER(WM_APP, WM_APP + 9, OnApp)
    END_MSG_MAP()
    LRESULT OnApp(UINT uMsg, WPARAM, LPARAM, BOOL&)
    {
        g_trace += "w" + std::to_string(uMsg - WM_APP) + " ";
        return 0;
    }
};

// Swallows one message number and notes every message it is offered.
class Filter : public WTL::CMessageFilter {
public:
    char name;
    UINT swallow;
    Filter(char n, UINT s) : name(n), swallow(s) {}
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message < WM_APP || msg->message > WM_APP + 9) return FALSE;
        g_trace += name;
        return msg->message == swallow;
    }
};

// Ends the loop the first time the queue runs dry.
class QuitWhenIdle : public WTL::CIdleHandler {
public:
    int calls = 0;
    BOOL OnIdle() override
    {
        if (calls++ == 0) PostQuitMessage(5);
        return FALSE;
    }
};
}  // namespace

TEST(MessageLoop, FiltersRunLastAddedFirstAndCanSwallow)
{
    g_trace.clear();
    RecordingWnd wnd;
    ASSERT_NE(nullptr, wnd.Create(nullptr, nullptr, L"loop", WS_POPUP));
    WTL::CMessageLoop loop;
    Filter a('a', WM_APP + 2), b('b', 0);
    QuitWhenIdle idle;
    EXPECT_TRUE(loop.AddMessageFilter(&a));
    EXPECT_TRUE(loop.AddMessageFilter(&b));
    EXPECT_FALSE(loop.AddMessageFilter(&b)) << "added once only";
    EXPECT_TRUE(loop.AddIdleHandler(&idle));
    wnd.PostMessage(WM_APP + 1);
    wnd.PostMessage(WM_APP + 2);
    wnd.PostMessage(WM_APP + 3);

    EXPECT_EQ(5, loop.Run());
    EXPECT_EQ("baw1 babaw3 ", g_trace);
    EXPECT_GE(idle.calls, 1);

    EXPECT_TRUE(loop.RemoveMessageFilter(&a));
    EXPECT_FALSE(loop.RemoveMessageFilter(&a));
    g_trace.clear();
    MSG msg = {wnd, WM_APP + 2, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(loop.PreTranslateMessage(&msg));
    EXPECT_EQ("b", g_trace);
    wnd.DestroyWindow();
}

TEST(AppModule, OneLoopPerThread)
{
    WTL::CAppModule module;
    ASSERT_EQ(S_OK, module.Init(GetModuleHandleW(nullptr)));
    WTL::CMessageLoop mine, other;
    EXPECT_TRUE(module.AddMessageLoop(&mine));
    EXPECT_FALSE(module.AddMessageLoop(&other)) << "this thread has its loop";
    EXPECT_EQ(&mine, module.GetMessageLoop());
    EXPECT_EQ(&mine, WTL::ActiveAppModuleLoop());

    WTL::CMessageLoop* seen = &mine;
    std::thread([&] {
        seen = module.GetMessageLoop();
        module.AddMessageLoop(&other);
    }).join();
    EXPECT_EQ(nullptr, seen);
    EXPECT_EQ(&mine, module.GetMessageLoop());

    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_EQ(nullptr, module.GetMessageLoop());
    module.Term();
}
