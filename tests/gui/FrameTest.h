// The tests' main frame, made as the program makes it: at (20, 20),
// 420 x 520, shown without activation. The sounds it would play are
// recorded instead.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "media/SoundSet.h"
#include "PelvaneFrame.h"

namespace dlgtest {

// The sound files asked for since the test began, in order.
inline std::vector<std::wstring>& PlayedSounds()
{
    static std::vector<std::wstring> played;
    return played;
}

inline BOOL WINAPI RecordSound(LPCWSTR path, UINT)
{
    PlayedSounds().push_back(path ? path : L"");
    return TRUE;
}

struct FrameTest : DialogTest {
    CPelvaneFrame frame;

    void SetUp() override
    {
        DialogTest::SetUp();
        PlayedSounds().clear();
        GetSoundSet()->SetPlayer(RecordSound);
    }
    void TearDown() override
    {
        if (frame.IsWindow()) frame.DestroyWindow();
        GetSoundSet()->SetPlayer(nullptr);
        DialogTest::TearDown();
    }
    // Once the test has set up what the frame finds as it opens.
    bool OpenFrame()
    {
        RECT r = {20, 20, 20 + 420, 20 + 520};
        if (!frame.CreateEx(nullptr, &r)) return false;
        frame.ShowWindow(SW_SHOWNOACTIVATE);
        gui::PumpMessages(30);
        return true;
    }
};

}  // namespace dlgtest
