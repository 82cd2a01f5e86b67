// How a call page meets the end of its call in the whole frame: the frame
// takes the end and the tab closes before the page takes it, while the
// media runs; and the call ends while the page's "Send file" runs the
// frame's open-file dialog. The media is real (a sound server of null
// devices), the frame and the pages are the program's, and the heap tells
// when the call page is freed.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "CallDlg.h"
#include "DialogTestKit.h"
#include "FileTransferDlg.h"
#include "FrameTest.h"
#include "GuiHarness.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"

// The block whose freeing the test watches, and whether a handler of the
// object in it is known to run. Freed meanwhile, the object is gone under
// that handler: the test ends there, since whatever ran on would run on a
// destroyed object. The block is never given back to the heap.
namespace {
const void* g_watched = nullptr;
bool g_watchedInUse = false;
int g_watchedFreed = 0;

void Watch(const void* block)
{
    g_watched = block;
    g_watchedInUse = false;
    g_watchedFreed = 0;
}

void Release(void* p)
{
    if (!p || p != g_watched) {
        std::free(p);
        return;
    }
    ++g_watchedFreed;
    if (g_watchedInUse) {
        std::fputs("FAILED: the page was freed while its handler ran\n", stdout);
        std::fflush(stdout);
        std::_Exit(1);
    }
}
}  // namespace

void* operator new(std::size_t size)
{
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { Release(p); }

void operator delete(void* p, std::size_t) noexcept { Release(p); }

using namespace dlgtest;

namespace {

const char kBob[] = "bob@pelvane.test";
const wchar_t kBobText[] = L"Bob Baker";
// The open and save dialogs' file name box.
const int kFileNameBox = 0x47C;

// A server command as the connect thread hands it to the manager.
class Command {
public:
    explicit Command(uint32_t type) { U32(type); }
    Command& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
    Command& Text(const std::string& s)
    {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        bytes_.push_back(0);
        return *this;
    }
    void Deliver() const
    {
        unsigned char* copy = AllocBytes(static_cast<int>(bytes_.size()));
        std::memcpy(copy, bytes_.data(), bytes_.size());
        CmdMsg message(copy, static_cast<int>(bytes_.size()));
        GetVoIPManager()->HandleCmd(message);
    }

private:
    std::vector<unsigned char> bytes_;
};

struct CallPageEnd : FrameTest {
    CTabbedWnd& tabbed = frame.m_tabbedWnd;
    CCallDlg* page = nullptr;
    HWND pageWindow = nullptr;

    void SetUp() override
    {
        FrameTest::SetUp();
        GetAppConfig()->SetDeviceName("Desk");
        ASSERT_TRUE(OpenFrame());
    }
    void TearDown() override
    {
        Watch(nullptr);
        GetVoIPManager()->EndCall();
        FrameTest::TearDown();
    }

    // Bob calls: the core takes the call, and the frame opens its page once
    // the media is connected, as the server has it.
    void Ring()
    {
        Command(8).Text(kBob).Text("Bob Baker").U32(0x30F).Deliver();
        ASSERT_EQ(1, GetVoIPManager()->GetCallState());
        GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_MediaConnected);
        TakeFrameEvents();
        ASSERT_EQ(1u, tabbed.m_callPages.size());
        page = dynamic_cast<CCallDlg*>(tabbed.m_callPages.begin()->second);
        ASSERT_NE(nullptr, page);
        pageWindow = page->m_hWnd;
        ASSERT_EQ(kCallRinging, page->GetState());
    }
    // What the frame has waiting, one event a tick as its timer takes them.
    void TakeFrameEvents()
    {
        for (int i = 0; i < 20; ++i) frame.ProcessEvents();
    }
    void Press(int id) { page->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(page->GetDlgItem(id))); }
    bool PageClosed() const { return !IsWindow(pageWindow) && tabbed.m_callPages.empty(); }
    bool MediaRuns() { return GetVoIPManager()->GetAudioEngine().IsRunning(); }
};

}  // namespace

// The frame takes the end of the call and marks the page ended; the tab
// closes before the page's next poll, so the page never takes the end
// itself. The media stops all the same, and the next call talks again.
TEST_F(CallPageEnd, AClosedTabLeavesNoMediaRunningAndTheNextCallTalks)
{
    const struct {
        const char* name;
        // How the end reaches the frame: through the core, or bare, as
        // though the core had left the media running.
        void (*end)();
    } cases[] = {
        {"the peer's hang-up", [] { Command(13).Deliver(); }},
        {"an end the core left running", [] { GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_CallEnded); }},
    };
    // The test's own polls: none.
    tabbed.KillTimer(CTabbedWnd::kPollTimer);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Ring());
        Press(IDC_ACCEPT);
        ASSERT_TRUE(MediaRuns()) << "no sound server: accepting could not start the media";
        TakeFrameEvents();

        c.end();
        TakeFrameEvents();
        EXPECT_FALSE(page->IsCallActive());
        tabbed.CloseCurrentTab();
        ASSERT_TRUE(PageClosed());
        EXPECT_FALSE(MediaRuns());
        EXPECT_EQ(0, GetVoIPManager()->GetCallState());
        TakeFrameEvents();
    }
    // The next call is a call as any.
    ASSERT_NO_FATAL_FAILURE(Ring());
    Press(IDC_ACCEPT);
    EXPECT_TRUE(MediaRuns());
    EXPECT_EQ(6, GetVoIPManager()->GetCallState());
    Press(IDC_END_CALL);
    EXPECT_FALSE(MediaRuns());
}

// "Send file" runs the frame's open-file dialog inside the page's handler;
// the call ends meanwhile and the dialog is answered long after the page
// would have closed. The page lives through its handler, closes once the
// dialog returned, and the file chosen is offered (refused here, with the
// usual text, since the core is signed in nowhere).
TEST_F(CallPageEnd, APageWhoseCallEndsUnderItsFileDialogClosesAfterIt)
{
    const std::wstring source = BesideExe(L"end_source.bin");
    HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);

    ASSERT_NO_FATAL_FAILURE(Ring());
    TakeFrameEvents();
    Watch(dynamic_cast<const void*>(page));

    HWND owner = frame;
    bool tabWhileOpen = false, windowWhileOpen = false;
    int freedWhileOpen = -1;
    DWORD ended = 0;
    ShownBox refusal;
    Script script({
        [owner] {
            if (!FindOwnedDialog(owner)) return false;
            GetVoIPManager()->GetHandlerRegistry().Broadcast(VE_CallEnded);
            return true;
        },
        // Well past the page's close time and two of the window's ticks,
        // which free the pages that closed.
        [&] {
            if (page->IsCallActive()) return false;
            if (!ended) ended = GetTickCount();
            if (GetTickCount() - ended < 3 * CTabbedWnd::kPollPeriodMs) return false;
            freedWhileOpen = g_watchedFreed;
            windowWhileOpen = IsWindow(pageWindow) != FALSE;
            tabWhileOpen = tabbed.m_tabHost.FindTab(pageWindow) > 0;
            HDC screen = GetDC(nullptr);
            gui::SavePng(gui::CaptureDC(screen, 0, 0, 1024, 768), "call_page_ended_under_file_dialog");
            ReleaseDC(nullptr, screen);
            return true;
        },
        [&] {
            HWND dialog = FindOwnedDialog(owner);
            if (!dialog) return false;
            SetDlgItemTextW(dialog, kFileNameBox, source.c_str());
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return true;
        },
        AnswerBox([owner] { return owner; }, &refusal),
    });
    script.Start();
    g_watchedInUse = true;
    Press(IDC_SEND_FILE);
    g_watchedInUse = false;
    EXPECT_EQ(0, freedWhileOpen);
    EXPECT_TRUE(windowWhileOpen);
    EXPECT_TRUE(tabWhileOpen);

    EXPECT_TRUE(gui::PumpUntil([&] { return script.Finished() && PageClosed(); }));
    EXPECT_EQ(LanguageTable[67], refusal.text);
    gui::PumpMessages(2 * CTabbedWnd::kPollPeriodMs + 100);
    EXPECT_EQ(1, g_watchedFreed);
    DeleteFileW(source.c_str());
}
