// Windows for the tab tests: a parent that records the notifications it is
// sent (in one log shared with its own parent, so that the order between the
// two shows) and answers them as the test says, and a strip inside it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "DotNetTabCtrl.h"
#include "GuiHarness.h"
#include "WindowImpl.h"

namespace tabtest {

// Shown without taking the activation: Wine waits two seconds for the
// display when an active window goes.
inline void ShowUnactivated(HWND hWnd) { ShowWindow(hWnd, SW_SHOWNOACTIVATE); }

typedef CDotNetTabCtrl<CTabViewTabItem> Strip;

struct Notice {
    HWND to;
    HWND from;
    int code;
    UINT_PTR idFrom;
    WPARAM wParam;
    int first;   // item, or the first of two items
    int second;  // the second of two items; -100 for records of one item
    POINT pt;
};

inline bool IsPairRecord(const NMHDR* h)
{
    switch (static_cast<int>(h->code)) {
    case CTCN_SELCHANGE:
    case CTCN_SELCHANGING:
    case CTCN_ACCEPTITEMDRAG:
        return true;
    case CTCN_MOVEITEM:
        // The scroll buttons send an item record under the ids 1 and -1.
        return h->idFrom != 1 && h->idFrom != UINT_PTR(-1);
    default:
        return false;
    }
}

class Recorder : public ATL::CWindowImpl<Recorder> {
public:
    DECLARE_WND_CLASS_EX(L"PvTabTestRecorder", CS_DBLCLKS, COLOR_WINDOW)

    std::vector<Notice>* log = nullptr;
    std::map<int, LRESULT> replies;
    // Answers custom drawing; null lets the strip draw by itself.
    std::function<LRESULT(NMCTCCUSTOMDRAW*)> customDraw;

    BEGIN_MSG_MAP(Recorder)
        MESSAGE_HANDLER(WM_NOTIFY, OnNotify)
    END_MSG_MAP()

    LRESULT OnNotify(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
    {
        NMHDR* h = reinterpret_cast<NMHDR*>(lParam);
        const int code = static_cast<int>(h->code);
        if (code == int(NM_CUSTOMDRAW)) return customDraw ? customDraw(reinterpret_cast<NMCTCCUSTOMDRAW*>(h)) : 0;
        if (code == static_cast<int>(TTN_GETDISPINFOW) || code == static_cast<int>(TTN_SHOW) ||
            code == static_cast<int>(TTN_POP))
            return 0;
        Notice n = {m_hWnd, h->hwndFrom, code, h->idFrom, wParam, 0, -100, {0, 0}};
        if (IsPairRecord(h)) {
            const NMCTC2ITEMS* r = reinterpret_cast<const NMCTC2ITEMS*>(h);
            n.first = r->iItem1;
            n.second = r->iItem2;
            n.pt = r->pt;
        } else {
            const NMCTCITEM* r = reinterpret_cast<const NMCTCITEM*>(h);
            n.first = r->iItem;
            n.pt = r->pt;
        }
        if (log) log->push_back(n);
        auto reply = replies.find(code);
        return reply == replies.end() ? 0 : reply->second;
    }
};

// A grandparent window holding a parent window holding the strip.
struct StripFixture {
    std::vector<Notice> log;
    Recorder grandparent;
    Recorder parent;
    Strip strip;
    static constexpr int kStripId = 7;

    bool Create(DWORD styles, int width = 400, int height = 24)
    {
        RECT outer = {40, 40, 40 + width + 40, 40 + height + 40};
        if (!grandparent.Create(nullptr, &outer, L"tab test", WS_POPUP | WS_CLIPCHILDREN)) return false;
        ShowUnactivated(grandparent);
        RECT inner = {10, 10, 10 + width + 20, 10 + height + 20};
        if (!parent.Create(grandparent, &inner, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN)) return false;
        RECT r = {10, 10, 10 + width, 10 + height};
        if (!strip.Create(parent, &r, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | styles, 0,
                          kStripId))
            return false;
        parent.log = &log;
        grandparent.log = &log;
        return true;
    }
    void Destroy()
    {
        if (grandparent.IsWindow()) grandparent.DestroyWindow();
    }

    int Add(const wchar_t* text, HWND view = nullptr, bool select = false)
    {
        CTabViewTabItem* item = new CTabViewTabItem;
        item->SetText(text);
        item->SetTabView(view);
        return strip.InsertItem(strip.GetItemCount(), item, select);
    }

    // The notices of one code, in order.
    std::vector<Notice> Of(int code) const
    {
        std::vector<Notice> out;
        for (const Notice& n : log)
            if (n.code == code) out.push_back(n);
        return out;
    }
    std::vector<int> Codes() const
    {
        std::vector<int> out;
        for (const Notice& n : log) out.push_back(n.code);
        return out;
    }

    // Mouse messages as the strip gets them, with the cursor really there
    // (the strip asks to be told when the mouse leaves).
    void Mouse(UINT msg, POINT pt, WPARAM keys = 0)
    {
        POINT screen = pt;
        strip.ClientToScreen(&screen);
        SetCursorPos(screen.x, screen.y);
        strip.SendMessage(msg, keys, MAKELPARAM(pt.x, pt.y));
    }
    POINT ItemCentre(int index) const
    {
        RECT r = strip.GetItem(index)->GetRect();
        return {(r.left + r.right) / 2 + strip.GetScrollOffset(), (r.top + r.bottom) / 2};
    }
};

// The natural width of a tab: its text in the strip's font plus margins and
// spacing, the selected tab in the selected font.
inline int TextWidth(HWND strip, HFONT font, const wchar_t* text)
{
    HDC dc = GetDC(strip);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text, -1, &r, DT_SINGLELINE | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(strip, dc);
    return r.right - r.left;
}

}  // namespace tabtest
