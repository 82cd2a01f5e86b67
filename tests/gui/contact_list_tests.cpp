// The contact list box on a contact page over the program's background:
// sorting, the rows it paints, the buttons of the selected row and the
// pages they open.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BackgroundHost.h"
#include "GuiHarness.h"
#include "OwnerDrawListBox.h"
#include "resource.h"
#include "settings/LanguageTable.h"
#include "WindowImpl.h"

using gui::Rgb;

namespace {
struct OpenedPage {
    std::wstring displayText, contactName;
    int kind;
    bool operator==(const OpenedPage& o) const
    {
        return displayText == o.displayText && contactName == o.contactName && kind == o.kind;
    }
};

class FakeFrame {
public:
    std::vector<OpenedPage> opened;
    void OpenContactPage(const wchar_t* displayText, const wchar_t* contactName, int kind)
    {
        opened.push_back({displayText, contactName, kind});
    }
};

typedef BackgroundHost Host;

class ContactPage;
typedef COwnerDrawListBoxT<FakeFrame, ContactPage> ContactList;

// What the list needs of the page that hosts it.
class ContactPage : public CBackgroundDlg<ContactPage> {
public:
    enum { IDD = IDD_CONTACT_LIST };
    Host* host = nullptr;
    WTL::CBitmap m_markReachable, m_markUnreachable;
    CBmpBtnItem m_callButton, m_chatButton, m_sendFileButton;

    ContactPage()
    {
        m_markReachable.LoadBitmap(IDB_MARK_REACHABLE);
        m_markUnreachable.LoadBitmap(IDB_MARK_UNREACHABLE);
    }
    WTL::CBitmap* GetParentBackground() { return &host->background; }

    BEGIN_MSG_MAP(ContactPage)
        CHAIN_MSG_MAP(CBackgroundDlg<ContactPage>)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()
};

const int kListLeft = 5, kListTop = 5, kListWidth = 350, kListHeight = 330;

struct ContactListTest : ::testing::Test {
    Host host;
    ContactPage page;
    ContactList list;
    FakeFrame frame;

    void SetUp() override
    {
        LoadLanguage(0);
        // Away from where the tab tests put their windows and the cursor.
        RECT r = {620, 300, 620 + 360, 300 + 440};
        ASSERT_NE(nullptr, host.Create(nullptr, &r, L"contacts", WS_POPUP | WS_CLIPCHILDREN));
        host.background.LoadBitmap(IDB_BACKGROUND);
        page.host = &host;
        ASSERT_NE(nullptr, page.Create(host));
        page.MoveWindow(0, 0, 360, 440, FALSE);
        HWND box = CreateWindowExW(0, L"LISTBOX", nullptr, 0x52210161, kListLeft, kListTop, kListWidth, kListHeight,
                                   page, reinterpret_cast<HMENU>(IDC_CONTACT_LIST), nullptr, nullptr);
        ASSERT_TRUE(list.SubclassWindow(box));
        list.m_owner = &page;
        list.m_mainFrame = &frame;
        const struct {
            CBmpBtnItem* item;
            int id;
            UINT bitmap;
        } buttons[] = {{&page.m_callButton, IDC_CALL_BUTTON, IDB_BUTTON_CALL},
                       {&page.m_chatButton, IDC_CHAT_BUTTON, IDB_BUTTON_CHAT},
                       {&page.m_sendFileButton, IDC_SEND_FILE_BUTTON, IDB_BUTTON_FILE}};
        for (const auto& b : buttons) {
            HWND button = CreateWindowExW(0, L"Button", L"", WS_CHILD, 0, 0, 73, 23, box,
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), nullptr, nullptr);
            ASSERT_TRUE(b.item->Subclass(button, b.bitmap));
        }
        page.ShowWindow(SW_SHOW);
        host.ShowWindow(SW_SHOWNOACTIVATE);
    }
    void TearDown() override { host.DestroyWindow(); }

    std::vector<std::wstring> Texts()
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < list.GetCount(); ++i) texts.push_back(list.GetText(i));
        return texts;
    }
    std::vector<int32_t> Statuses()
    {
        std::vector<int32_t> statuses;
        for (int i = 0; i < list.GetCount(); ++i) statuses.push_back(list.GetRow(i)->status);
        return statuses;
    }
    std::vector<CBmpBtn*> Buttons()
    {
        return {&page.m_callButton.m_button, &page.m_chatButton.m_button, &page.m_sendFileButton.m_button};
    }
    static bool Shown(HWND hWnd) { return (GetWindowLongW(hWnd, GWL_STYLE) & WS_VISIBLE) != 0; }
    WTL::CRect RowRect(int index)
    {
        WTL::CRect r;
        list.GetItemRect(index, &r);
        return r;
    }
    uint32_t VeiledBackground(int x, int y) { return gui::Veiled(host.BackgroundAt(kListLeft + x, kListTop + y)); }
};

// Pixels of a rectangle that are near a colour.
int CountNear(const gui::Pixels& p, const RECT& r, uint32_t colour, int tolerance)
{
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += gui::Near(p.At(x, y), colour, tolerance);
    return n;
}
}  // namespace

TEST_F(ContactListTest, SortingPutsReachableContactsFirstInTextOrder)
{
    list.AddItem(L"bob", L"bob@mail", 0);
    list.AddItem(L"Alice", L"alice@mail", 1);
    list.AddItem(L"carol", L"carol@mail", 0);
    list.AddItem(L"Dave", L"dave@mail", 2);
    list.SortItems();
    EXPECT_EQ((std::vector<std::wstring>{L"bob", L"carol", L"Alice", L"Dave"}), Texts());
    EXPECT_EQ((std::vector<int32_t>{0, 0, 1, 1}), Statuses()) << "every other status becomes unreachable";
    EXPECT_EQ("carol@mail", list.GetRow(1)->contactName);
    EXPECT_EQ("carol", list.GetRow(1)->displayText);
    EXPECT_EQ("dave@mail", list.GetRow(3)->contactName);
}

TEST_F(ContactListTest, TextsEqualButForCaseKeepTheirOrder)
{
    list.AddItem(L"alice", L"first", 0);
    list.AddItem(L"ALICE", L"second", 0);
    list.SortItems();
    EXPECT_EQ("first", list.GetRow(0)->contactName);
    EXPECT_EQ("second", list.GetRow(1)->contactName);
}

TEST_F(ContactListTest, TheSelectionStaysOnItsContact)
{
    list.AddItem(L"bob", L"bob@mail", 1);
    list.AddItem(L"carol", L"carol@mail", 1);
    list.AddItem(L"adam", L"adam@mail", 0);
    list.SetCurSel(2);
    list.SortItems();
    EXPECT_EQ(L"adam", list.GetText(0));
    EXPECT_EQ(0, list.GetCurSel()) << "the same contact, not the row at the index";
    list.GetRow(0)->status = kContactUnreachable;
    list.SortItems();
    EXPECT_EQ((std::vector<std::wstring>{L"adam", L"bob", L"carol"}), Texts());
    EXPECT_EQ(0, list.GetCurSel());

    list.SetCurSel(-1);
    list.SortItems();
    EXPECT_EQ(-1, list.GetCurSel()) << "no selection stays none";
}

TEST_F(ContactListTest, LargeGroupsLoseNoRow)
{
    std::vector<std::wstring> expected;
    for (int i = 0; i < 300; ++i) {
        std::wstring text = L"c" + std::to_wstring((i * 7919) % 1000 + 1000);
        list.AddItem(text.c_str(), text.c_str(), i % 3 == 0 ? 0 : 1);
    }
    list.SortItems();
    ASSERT_EQ(300, list.GetCount());
    std::vector<std::wstring> texts = Texts();
    std::vector<int32_t> statuses = Statuses();
    EXPECT_EQ(100, std::count(statuses.begin(), statuses.end(), 0));
    EXPECT_TRUE(std::is_sorted(statuses.begin(), statuses.end()));
    EXPECT_TRUE(std::is_sorted(texts.begin(), texts.begin() + 100));
    EXPECT_TRUE(std::is_sorted(texts.begin() + 100, texts.end()));
    EXPECT_TRUE(list.GetStyle() & WS_VISIBLE);
}

TEST_F(ContactListTest, RowsHoldTheirTextsInTheAnsiCodePageUntilReset)
{
    EXPECT_EQ(0, list.AddItem(L"Zo\u00eb Smith", L"zoe@mail", 0));
    EXPECT_EQ(1, list.AddItem(L"***", L"***", 2));
    ContactRow* row = list.GetRow(0);
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(ToAnsiText(L"Zo\u00eb Smith"), row->displayText);
    EXPECT_EQ(L"Zo\u00eb Smith", ToWideText(row->displayText));
    EXPECT_EQ(kContactCentred, list.GetRow(1)->status);
    for (CBmpBtn* b : Buttons()) b->ShowWindow(SW_SHOW);
    list.ResetContent();
    EXPECT_EQ(0, list.GetCount());
    for (CBmpBtn* b : Buttons()) EXPECT_FALSE(Shown(*b));
}

TEST_F(ContactListTest, RowsArePaintedOverTheVeiledBackground)
{
    list.AddItem(L"Bob Reachable", L"bob", 0);
    list.AddItem(L"Selected Sam", L"sam", 0);
    list.AddItem(L"Olga Offline", L"olga", 1);
    list.AddItem(L"Nobody here", L"***", 2);
    list.SetCurSel(1);
    gui::Pixels p = gui::CaptureClient(list);
    ASSERT_EQ(kListWidth, p.width) << "four rows need no scroll bar";
    EXPECT_EQ(32, list.GetItemHeight(0));
    EXPECT_EQ(52, list.GetItemHeight(1)) << "the selected row is 20 pixels taller";
    EXPECT_EQ(32, list.GetItemHeight(2));

    const WTL::CRect first = RowRect(0), selected = RowRect(1), offline = RowRect(2), note = RowRect(3);
    EXPECT_EQ(32, selected.top);
    EXPECT_EQ(84, offline.top);
    for (POINT at : {POINT{p.width - 3, first.top + 1}, POINT{2, offline.bottom - 2}, POINT{p.width / 2, p.height - 3}})
        EXPECT_TRUE(gui::Near(VeiledBackground(at.x, at.y), p.At(at.x, at.y), 1)) << at.x << "," << at.y;

    // A reachable row: its mark left of the text, keyed out around its dot,
    // and dark blue text.
    const int markTop = first.top + (32 - 15) / 2 + 2;
    EXPECT_TRUE(gui::Near(VeiledBackground(10, markTop), p.At(10, markTop), 1)) << "the mark's key colour";
    EXPECT_FALSE(gui::Near(VeiledBackground(14, markTop + 7), p.At(14, markTop + 7), 12)) << "the mark's dot";
    WTL::CRect firstText(first.left + 2 + 10 + 16, first.top + 2, first.right - 2, first.bottom - 2);
    EXPECT_GT(CountNear(p, firstText, Rgb(10, 32, 117), 12), 10);

    // The selected row: two rounded frames, then the dark gradient.
    const int midX = p.width / 2;
    EXPECT_EQ(Rgb(55, 55, 55), p.At(midX, selected.top + 3));
    EXPECT_EQ(Rgb(110, 113, 120), p.At(midX, selected.top + 4));
    const uint32_t top = p.At(selected.left + 6, selected.top + 5), bottom = p.At(selected.left + 6, selected.bottom - 6);
    EXPECT_TRUE(gui::Near(Rgb(93, 93, 93), top, 4)) << std::hex << top;
    EXPECT_TRUE(gui::Near(Rgb(6, 6, 6), bottom, 4)) << std::hex << bottom;
    EXPECT_GT(CountNear(p, {selected.left + 33, selected.top + 5, selected.left + 120, selected.bottom - 5},
                        Rgb(255, 255, 255), 8),
              10)
        << "white text";

    // An unreachable row: grey text, and the offline text in the band on
    // the right.
    const uint32_t grey = Rgb(111, 116, 119);
    EXPECT_GT(CountNear(p, {offline.left + 28, offline.top + 2, offline.left + 120, offline.bottom - 2}, grey, 12), 10);
    EXPECT_GT(CountNear(p, {offline.right - 120, offline.top + 2, offline.right - 20, offline.bottom - 2}, grey, 12), 10);
    EXPECT_EQ(0, CountNear(p, {offline.right - 20, offline.top + 2, offline.right, offline.bottom - 2}, grey, 12));

    // A note row has no mark and its text is centred.
    int leftmost = p.width, rightmost = 0;
    for (int y = note.top + 2; y < note.bottom - 2; ++y)
        for (int x = 0; x < p.width; ++x)
            if (gui::Near(p.At(x, y), grey, 12)) {
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x);
            }
    ASSERT_LT(leftmost, rightmost);
    const int textCentre = (note.left + 2 + 16 + note.right - 2) / 2;
    EXPECT_NEAR(textCentre, (leftmost + rightmost) / 2, 3);
    EXPECT_TRUE(gui::Near(VeiledBackground(14, note.top + 17), p.At(14, note.top + 17), 1)) << "no mark";
}

TEST_F(ContactListTest, TheSelectedReachableRowCarriesTheThreeButtons)
{
    list.AddItem(L"Ann", L"ann", 0);
    list.AddItem(L"Ben", L"ben", 0);
    list.AddItem(L"Cid", L"cid", 1);
    list.SetCurSel(1);
    gui::Pixels p = gui::CaptureClient(list);
    const WTL::CRect inner(RowRect(1).left + 5, RowRect(1).top + 5, RowRect(1).right - 5, RowRect(1).bottom - 5);
    const int fromRight[] = {225, 150, 75};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        CBmpBtn& button = *Buttons()[k];
        EXPECT_TRUE(Shown(button));
        WTL::CRect place;
        button.GetWindowRect(&place);
        list.ScreenToClient(&place);
        EXPECT_EQ(WTL::CRect(inner.right - fromRight[k], inner.top + 9, inner.right - fromRight[k] + 73, inner.top + 32),
                  place);
        // It shows the row's gradient that was painted under its place.
        CCompatibleDC memory(nullptr);
        HGDIOBJ old = SelectObject(memory, button.BackgroundBitmap());
        gui::Pixels captured = gui::CaptureDC(memory, 0, 0, 73, 23);
        SelectObject(memory, old);
        for (POINT at : {POINT{0, 0}, POINT{72, 22}, POINT{36, 11}})
            EXPECT_EQ(p.At(place.left + at.x, place.top + at.y), captured.At(at.x, at.y)) << at.x << "," << at.y;
    }

    list.SetCurSel(2);
    gui::CaptureClient(list);
    for (CBmpBtn* b : Buttons()) EXPECT_FALSE(Shown(*b)) << "an unreachable contact has no buttons";
}

TEST_F(ContactListTest, ButtonsOpenTheSelectedContactsPages)
{
    list.AddItem(L"Ann Archer", L"ann@mail", 0);
    list.AddItem(L"Ben Baker", L"ben@mail", 0);
    auto click = [](CBmpBtn& b) {
        b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    };
    click(page.m_chatButton.m_button);
    EXPECT_TRUE(frame.opened.empty()) << "no row selected";

    list.SetCurSel(1);
    gui::CaptureClient(list);
    click(page.m_chatButton.m_button);
    click(page.m_callButton.m_button);
    click(page.m_sendFileButton.m_button);
    EXPECT_EQ((std::vector<OpenedPage>{{L"Ben Baker", L"ben@mail", 1}, {L"Ben Baker", L"ben@mail", 0},
                                       {L"Ben Baker", L"ben@mail", 2}}),
              frame.opened);

    list.m_mainFrame = nullptr;
    list.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CHAT_BUTTON, BN_CLICKED), 0);
    EXPECT_EQ(3u, frame.opened.size()) << "no main frame, no page";
}

TEST_F(ContactListTest, ScrollingHidesTheButtonsUntilTheSelectedRowIsPaintedAgain)
{
    for (int i = 0; i < 20; ++i) list.AddItem((L"Contact " + std::to_wstring(i)).c_str(), L"c", 0);
    list.SetCurSel(0);
    gui::CaptureClient(list);
    for (CBmpBtn* b : Buttons()) ASSERT_TRUE(Shown(*b));
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(200, 200));
    for (CBmpBtn* b : Buttons()) EXPECT_FALSE(Shown(*b));
    gui::CaptureClient(list);
    for (CBmpBtn* b : Buttons()) EXPECT_FALSE(Shown(*b)) << "the selected row is out of sight";
    list.SendMessage(WM_VSCROLL, SB_TOP, 0);
    gui::CaptureClient(list);
    for (CBmpBtn* b : Buttons()) EXPECT_TRUE(Shown(*b));
}

TEST_F(ContactListTest, ScreenshotOfTheContactPage)
{
    const struct {
        const wchar_t* text;
        int32_t status;
    } contacts[] = {{L"Marta Lindqvist", 0}, {L"jonas.weber", 1}, {L"Priya Raman", 0}, {L"Tomasz K.", 1},
                    {L"Ada Okafor", 0},      {L"Li Wei", 0},      {L"Samuel Ortiz", 1}};
    for (const auto& c : contacts) list.AddItem(c.text, c.text, c.status);
    list.SortItems();
    list.SetCurSel(1);
    page.RequestRepaint();
    EXPECT_TRUE(gui::SavePng(gui::CaptureScreen(host), "contact_list"));
}
