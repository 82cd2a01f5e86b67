// The control wrappers where they do more than pass a message on: reading
// texts of any length, item data, ranges, and the menu holder.
#include <gtest/gtest.h>

#include <string>

#include "Controls.h"
#include "Menu.h"

namespace {
struct Parent {
    HWND hWnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ~Parent() { DestroyWindow(hWnd); }
};
}  // namespace

TEST(ControlWrappers, ListViewReadsLongItemTextWhole)
{
    Parent parent;
    WTL::CListViewCtrl list;
    RECT r = {0, 0, 300, 200};
    ASSERT_NE(nullptr, list.Create(parent.hWnd, &r, nullptr, WS_CHILD | LVS_REPORT));
    list.InsertColumn(0, L"name", LVCFMT_LEFT, 100);
    list.InsertColumn(1, L"text", LVCFMT_LEFT, 100);
    std::wstring longText(700, L'x');
    longText += L"end";
    ASSERT_EQ(0, list.InsertItem(0, L"first", 1));
    ASSERT_EQ(1, list.InsertItem(1, L"second", 7));
    EXPECT_TRUE(list.SetItemText(1, 1, longText.c_str()));
    EXPECT_EQ(2, list.GetItemCount());
    EXPECT_EQ(L"second", list.GetItemText(1, 0));
    EXPECT_EQ(longText, list.GetItemText(1, 1));
    EXPECT_EQ(L"", list.GetItemText(0, 1));
    EXPECT_EQ(1u, list.GetItemData(0));
    EXPECT_EQ(7u, list.GetItemData(1));
    RECT item = {}, sub = {};
    EXPECT_TRUE(list.GetItemRect(0, &item, LVIR_BOUNDS));
    EXPECT_TRUE(list.GetSubItemRect(0, 1, LVIR_BOUNDS, &sub));
    EXPECT_EQ(100, sub.left - item.left) << "subitem 1 starts after column 0";
}

TEST(ControlWrappers, ListBoxTextsAndData)
{
    Parent parent;
    WTL::CListBox list;
    ASSERT_NE(nullptr, list.Create(parent.hWnd, nullptr, nullptr, WS_CHILD | LBS_HASSTRINGS));
    EXPECT_EQ(0, list.AddString(L"alpha"));
    EXPECT_EQ(1, list.AddString(L"beta"));
    list.SetItemData(1, 0xBEEF);
    EXPECT_EQ(L"beta", list.GetText(1));
    EXPECT_EQ(L"", list.GetText(5)) << "no such row";
    EXPECT_EQ(0xBEEFu, list.GetItemData(1));
    list.SetCurSel(1);
    EXPECT_EQ(1, list.GetCurSel());
    list.DeleteString(0);
    EXPECT_EQ(1, list.GetCount());
}

TEST(ControlWrappers, TrackBarKeepsItsPositionInRange)
{
    Parent parent;
    WTL::CTrackBarCtrl bar;
    ASSERT_NE(nullptr, bar.Create(parent.hWnd, nullptr, nullptr, WS_CHILD));
    bar.SetRange(0, 10);
    bar.SetPos(7);
    EXPECT_EQ(7, bar.GetPos());
    bar.SetPos(25);
    EXPECT_EQ(10, bar.GetPos());
}

TEST(ControlWrappers, MenuHolderDestroysOnlyWhatItOwns)
{
    HMENU owned, borrowed = CreatePopupMenu();
    {
        WTL::CMenu menu;
        owned = menu.CreatePopupMenu();
        EXPECT_TRUE(menu.AppendMenu(MF_STRING, 5, L"five"));
        EXPECT_TRUE(menu.InsertMenu(0, MF_BYPOSITION | MF_STRING, 4, L"four"));
        EXPECT_EQ(4u, menu.GetMenuItemID(0));
        EXPECT_TRUE(menu.SetMenuDefaultItem(1, TRUE));
        EXPECT_EQ(5u, menu.GetMenuDefaultItem(FALSE, 0));
        WTL::CMenuHandle view(borrowed);
        EXPECT_TRUE(view.IsMenu());
    }
    EXPECT_FALSE(IsMenu(owned));
    EXPECT_TRUE(IsMenu(borrowed));
    DestroyMenu(borrowed);
}
