// The conversation window in a stand-in for the main frame: where the page
// tests open the program's pages, as the frame would.
#pragma once

#include <windows.h>

#include "settings/LanguageTable.h"
#include "TabbedWnd.h"
#include "WindowImpl.h"

// Stands in for the main frame: the conversation window's parent, and the
// owner of the boxes its pages show.
class FrameStandIn : public ATL::CWindowImpl<FrameStandIn> {
public:
    DECLARE_WND_CLASS_EX(L"PvPageTestFrame", 0, COLOR_WINDOW)
    BEGIN_MSG_MAP(FrameStandIn)
    END_MSG_MAP()
};

struct ConversationHost {
    FrameStandIn frame;
    CTabbedWnd tabbed;

    // The frame at (40, 40), shown without activation, and the conversation
    // window filling it.
    bool Create(int width, int height)
    {
        RECT r = {40, 40, 40 + width, 40 + height};
        if (!frame.Create(nullptr, &r, L"", WS_POPUP | WS_CLIPCHILDREN)) return false;
        RECT all = {0, 0, width, height};
        if (!tabbed.Create(frame, &all, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN))
            return false;
        frame.ShowWindow(SW_SHOWNOACTIVATE);
        return true;
    }
    // The contact list's place, as the main frame fills it: the first tab,
    // which never closes. Null when it could not be made.
    HWND AddContactsTab()
    {
        HWND contacts =
            CreateWindowW(L"Static", L"", WS_CHILD, 0, 0, 10, 10, tabbed.m_tabHost, nullptr, nullptr, nullptr);
        return contacts && tabbed.m_tabHost.AddTab(contacts, LanguageTable[91]) == 0 ? contacts : nullptr;
    }
    // The tab the window shows now.
    CTabViewTabItem* Selected() const { return tabbed.m_tabStrip->GetItem(tabbed.m_tabStrip->GetCurSel()); }
    // The windows go before the objects: the pages leave the core then.
    void Destroy()
    {
        if (frame.IsWindow()) frame.DestroyWindow();
    }
    ~ConversationHost() { Destroy(); }
};
