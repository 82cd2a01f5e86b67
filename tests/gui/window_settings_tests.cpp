// The window layout in the registry: the placement value and how it is put
// back with the start-up show command, the rebar's bands and the splitter.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "WindowImpl.h"
#include "WindowSettings.h"

namespace {
const wchar_t kKey[] = L"SoftWare\\Quorvel\\Pelvane";

class PlainWindow : public ATL::CWindowImpl<PlainWindow> {
public:
    DECLARE_WND_CLASS_EX(L"PvWindowSettingsTestWindow", 0, COLOR_WINDOW)
    BEGIN_MSG_MAP(PlainWindow)
    END_MSG_MAP()
};

struct WindowLayout : ::testing::Test {
    dlgtest::UserRegistrySandbox registry;
    PlainWindow window;

    void SetUp() override
    {
        ASSERT_TRUE(registry.Active());
        RECT r = {50, 60, 50 + 300, 60 + 200};
        ASSERT_TRUE(window.Create(nullptr, &r, L"layout", WS_OVERLAPPEDWINDOW));
    }
    void TearDown() override
    {
        if (window.IsWindow()) window.DestroyWindow();
    }

    void WriteValue(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
};
}  // namespace

TEST_F(WindowLayout, NothingStoredLeavesTheCallersDefault)
{
    WindowSettings settings;
    EXPECT_FALSE(settings.Load(kKey, L"MainFrame", HKEY_CURRENT_USER));
    // A value of another size is no placement.
    const BYTE shortValue[40] = {};
    WriteValue(L"MainFrameWindowPlacement", REG_BINARY, shortValue, sizeof(shortValue));
    EXPECT_FALSE(settings.Load(kKey, L"MainFrame", HKEY_CURRENT_USER));
}

TEST_F(WindowLayout, ThePlacementGoesBackWhereItWasSaved)
{
    window.ShowWindow(SW_SHOWNOACTIVATE);
    WindowSettings saved;
    ASSERT_TRUE(saved.GetFrom(window));
    ASSERT_TRUE(saved.Save(kKey, L"Pane", HKEY_CURRENT_USER));

    window.SetWindowPos(nullptr, 200, 220, 150, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    WindowSettings loaded;
    ASSERT_TRUE(loaded.Load(kKey, L"Pane", HKEY_CURRENT_USER));
    EXPECT_FALSE(loaded.Load(kKey, L"Other", HKEY_CURRENT_USER));
    loaded.ApplyTo(window, SW_SHOWNORMAL);
    RECT r;
    window.GetWindowRect(&r);
    EXPECT_EQ(50, r.left);
    EXPECT_EQ(60, r.top);
    EXPECT_EQ(300, r.right - r.left);
    EXPECT_EQ(200, r.bottom - r.top);
}

TEST_F(WindowLayout, TheStartUpShowCommandCountsUnlessItIsTheNormalOne)
{
    const struct {
        UINT stored;
        int startUp;
        bool iconic;
    } cases[] = {
        {SW_SHOWNORMAL, SW_SHOWNORMAL, false},
        // A window saved minimised still opens where the user can see it.
        {SW_SHOWMINIMIZED, SW_SHOWNORMAL, false},
        // A shortcut that starts the program minimised wins.
        {SW_SHOWNORMAL, SW_SHOWMINNOACTIVE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startUp);
        window.ShowWindow(SW_HIDE);
        window.ShowWindow(SW_RESTORE);
        WindowSettings settings;
        ASSERT_TRUE(settings.GetFrom(window));
        settings.m_placement.showCmd = c.stored;
        settings.ApplyTo(window, c.startUp);
        gui::PumpMessages(20);
        EXPECT_EQ(c.iconic, window.IsIconic() != FALSE);
        EXPECT_TRUE(window.IsWindowVisible());
    }
}

TEST_F(WindowLayout, RebarBandsComeBackInTheirOrderWidthsAndRows)
{
    HWND rebar = CreateWindowExW(0, REBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | RBS_VARHEIGHT | RBS_BANDBORDERS | CCS_NODIVIDER, 0, 0, 300,
                                 60, window, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, rebar);
    for (UINT id : {10u, 20u, 30u}) {
        REBARBANDINFOW band = {};
        band.cbSize = sizeof(band);
        band.fMask = RBBIM_ID | RBBIM_SIZE | RBBIM_STYLE;
        band.wID = id;
        band.cx = 60;
        band.fStyle = 0;
        ASSERT_TRUE(SendMessageW(rebar, RB_INSERTBANDW, -1, reinterpret_cast<LPARAM>(&band)));
    }
    ReBarSettings wanted;
    wanted.m_bands = {{30, 90, false}, {10, 70, true}, {20, 50, false}};
    ASSERT_TRUE(wanted.Save(kKey, L"Bar", HKEY_CURRENT_USER));
    ReBarSettings loaded;
    ASSERT_TRUE(loaded.Load(kKey, L"Bar", HKEY_CURRENT_USER));
    loaded.ApplyTo(rebar);

    ReBarSettings now;
    now.GetFrom(rebar);
    ASSERT_EQ(3u, now.m_bands.size());
    const DWORD ids[] = {30, 10, 20};
    const bool breaks[] = {false, true, false};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ids[i], now.m_bands[i].id);
        EXPECT_EQ(breaks[i], now.m_bands[i].breakLine);
    }
    EXPECT_EQ(90u, now.m_bands[0].width);

    // Each band's values are named by its place: prefix, index, "_", field.
    DWORD id = 0, size = sizeof(id);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, kKey, L"Bar1_ID", RRF_RT_REG_DWORD, nullptr, &id, &size));
    EXPECT_EQ(10u, id);
}

TEST_F(WindowLayout, OnlyDwordValuesAreTakenForBandsAndTheSplitter)
{
    const wchar_t text[] = L"3";
    WriteValue(L"BarBandCount", REG_SZ, text, sizeof(text));
    ReBarSettings bands;
    EXPECT_FALSE(bands.Load(kKey, L"Bar", HKEY_CURRENT_USER));

    SplitterSettings splitter;
    EXPECT_FALSE(splitter.Load(kKey, L"Main", HKEY_CURRENT_USER));
    splitter.m_position = 123;
    ASSERT_TRUE(splitter.Save(kKey, L"Main", HKEY_CURRENT_USER));
    SplitterSettings read;
    ASSERT_TRUE(read.Load(kKey, L"Main", HKEY_CURRENT_USER));
    EXPECT_EQ(123u, read.m_position);
    WriteValue(L"MainSplitterPos", REG_BINARY, &read.m_position, sizeof(read.m_position));
    EXPECT_FALSE(read.Load(kKey, L"Main", HKEY_CURRENT_USER));
}
