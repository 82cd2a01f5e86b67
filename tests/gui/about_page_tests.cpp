// The about page, created on its own as a child of a host that keeps the
// shared background: the version it reads, the logo and the lines it
// paints, and what a language change repaints.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "AboutDlg.h"
#include "ConversationHost.h"
#include "DialogTestKit.h"
#include "GuiHarness.h"
#include "settings/LanguageTable.h"

using gui::Rgb;

namespace {
// COLORREF values of the page's texts, as 0x00RRGGBB pixels.
const uint32_t kShadow = Rgb(0x6F, 0x74, 0x77);
const uint32_t kValue = Rgb(0x33, 0x33, 0xFF);
const uint32_t kEdition = Rgb(0x33, 0x33, 0x33);

// The page as the conversation window opens it for the About command.
struct AboutPage : dlgtest::DialogTest {
    ConversationHost host;
    FrameStandIn& frame = host.frame;
    CTabbedWnd& tabbed = host.tabbed;
    CAboutDlg* page = nullptr;
    int width = 0, height = 0;

    void SetUp() override
    {
        DialogTest::SetUp();
        ASSERT_TRUE(host.Create(480, 460));
        ASSERT_TRUE(tabbed.OpenAboutPage());
        ASSERT_EQ(1u, tabbed.m_aboutPages.size());
        page = dynamic_cast<CAboutDlg*>(tabbed.m_aboutPages.begin()->second);
        ASSERT_NE(nullptr, page);
        gui::PumpMessages(50);
        RECT client;
        page->GetClientRect(&client);
        width = client.right;
        height = client.bottom;
    }
    void TearDown() override
    {
        host.Destroy();
        LoadLanguage(0);
        DialogTest::TearDown();
    }
    gui::Pixels Paint() { return gui::CaptureClient(*page); }
};

// Rows in which some pixel is near the colour.
std::vector<int> RowsWith(const gui::Pixels& p, uint32_t colour, int tolerance, int top = 0, int bottom = -1)
{
    std::vector<int> rows;
    for (int y = top; y < (bottom < 0 ? p.height : bottom); ++y)
        for (int x = 0; x < p.width; ++x)
            if (gui::Near(p.At(x, y), colour, tolerance)) {
                rows.push_back(y);
                break;
            }
    return rows;
}

// The leftmost and rightmost columns near the colour within rows [top, bottom).
std::pair<int, int> Columns(const gui::Pixels& p, uint32_t colour, int tolerance, int top, int bottom)
{
    int left = p.width, right = -1;
    for (int y = std::max(0, top); y < std::min(p.height, bottom); ++y)
        for (int x = 0; x < p.width; ++x)
            if (gui::Near(p.At(x, y), colour, tolerance)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

bool SameRows(const gui::Pixels& a, const gui::Pixels& b, int top, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.At(x, y) != b.At(x, y)) return false;
    return true;
}
}  // namespace

TEST_F(AboutPage, OpensAsATabWithTheProgramsProductVersion)
{
    EXPECT_EQ(LanguageTable[123], tabbed.m_tabStrip->GetItem(tabbed.m_tabStrip->GetCurSel())->GetText());
    EXPECT_EQ(page->GetPageWindow(), host.Selected()->GetTabView());
    EXPECT_TRUE(page->GetDisplayText().empty());
    // The product version of the program's own version resource.
    EXPECT_EQ(L"4.4", page->GetVersionText());
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(frame), "about_page_tab"));
}

TEST_F(AboutPage, PaintsTheLogoWithoutItsKeyColourOverTheHostsBackground)
{
    gui::Pixels p = Paint();
    ASSERT_EQ(width, p.width);
    EXPECT_TRUE(gui::SavePng(p, "about_page"));
    WTL::CBitmap logo;
    logo.LoadBitmap(IDB_LOGO);
    SIZE size;
    ASSERT_TRUE(logo.GetSize(size));
    const int x0 = width / 2 - size.cx / 2, y0 = height / 2 - size.cy / 2 - 30;
    CCompatibleDC memory(nullptr);
    HGDIOBJ old = SelectObject(memory, logo);
    const COLORREF centre = GetPixel(memory, size.cx / 2, size.cy / 2);
    const COLORREF corner = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    ASSERT_EQ(RGB(255, 0, 255), corner);
    EXPECT_EQ(Rgb(GetRValue(centre), GetGValue(centre), GetBValue(centre)),
              p.At(x0 + size.cx / 2, y0 - size.cy + size.cy / 2));
    EXPECT_FALSE(gui::Near(Rgb(255, 0, 255), p.At(x0, y0 - size.cy), 60));
    // No banner at the foot: only the notice line's grey is there.
    EXPECT_TRUE(RowsWith(p, kValue, 40, height - 30).empty());
}

TEST_F(AboutPage, TheTextBlockKeepsItsColumnsApartInEveryLanguage)
{
    for (uint32_t language = 0; language < kLanguageCount; ++language) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(LoadLanguage(language));
        gui::Pixels p = Paint();
        if (language == 1) {
            EXPECT_TRUE(gui::SavePng(p, "about_page_spanish"));
        }
        // The block's four rows, 17 pixels apart, end 30 + 70 pixels above
        // the foot.
        const int blockTop = height - 30 - 71;
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(k);
            const int top = blockTop + 17 * k + 1, bottom = top + 13;
            std::pair<int, int> labels = Columns(p, kShadow, 24, top, bottom);
            std::pair<int, int> values = Columns(p, kValue, 60, top, bottom);
            ASSERT_LE(labels.first, labels.second);
            ASSERT_LE(values.first, values.second);
            EXPECT_LT(labels.second, values.first);
        }
    }
}

TEST_F(AboutPage, ALanguageChangeRepaintsTheVersionLineAndTheBlockButNotTheEdition)
{
    gui::Pixels english = Paint();
    ASSERT_TRUE(LoadLanguage(2));
    gui::Pixels portuguese = Paint();
    std::vector<int> editionRows = RowsWith(english, kEdition, 8, height / 2 - 60, height - 110);
    ASSERT_GE(editionRows.size(), 20u);
    // The edition line, then its version line below it.
    const int editionTop = editionRows.front();
    int editionBottom = editionTop;
    while (std::find(editionRows.begin(), editionRows.end(), editionBottom + 1) != editionRows.end()) ++editionBottom;
    EXPECT_TRUE(SameRows(english, portuguese, editionTop, editionBottom + 1));
    EXPECT_FALSE(SameRows(english, portuguese, editionBottom + 1, height - 110));
    EXPECT_FALSE(SameRows(english, portuguese, height - 101, height - 30));
}
