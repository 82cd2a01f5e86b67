// A menu bar that lives in a rebar band: a flat tool bar with one text
// button for each popup of the attached menu. A click opens that popup under
// its button; moving the mouse to another button, or Left and Right, moves to
// the next popup. Alt with a popup's mnemonic letter and F10 open popups from
// the keyboard. Commands go to the top-level window that holds the bar.
#pragma once

#include "AppModule.h"
#include "Frame.h"
#include "WindowImpl.h"

namespace WTL {

class CCommandBarCtrl : public ATL::CWindowImpl<CCommandBarCtrl, ATL::CWindow, ATL::CControlWinTraits>,
                        public CMessageFilter {
public:
    DECLARE_WND_SUPERCLASS(L"Pelvane_CommandBar", TOOLBARCLASSNAMEW)

    CCommandBarCtrl();
    ~CCommandBarCtrl() override;

    HWND Create(HWND parent, const RECT* rect = nullptr, LPCWSTR name = nullptr,
                DWORD style = ATL_SIMPLE_CMDBAR_PANE_STYLE, DWORD exStyle = 0, UINT id = ATL_IDW_COMMAND_BAR);

    // Takes the menu over (it is destroyed with the bar or when another menu
    // is attached) and rebuilds the buttons from its popups; attaching the
    // same menu again just rebuilds them.
    BOOL AttachMenu(HMENU menu);
    HMENU GetMenu() const { return menu_; }

    // Opens popup index under its button and tracks it; returns when the
    // menu closes.
    void TrackPopup(int index);

    BOOL PreTranslateMessage(MSG* pMsg) override;

    BEGIN_MSG_MAP(CCommandBarCtrl)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnLButtonDown)
    END_MSG_MAP()

private:
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    static LRESULT CALLBACK MenuHook(int code, WPARAM wParam, LPARAM lParam);
    int ButtonAt(POINT screenPoint) const;
    int FindMnemonic(wchar_t key) const;

    HMENU menu_;
    CMessageLoop* loop_;
    int openIndex_;
    int nextIndex_;
};

}  // namespace WTL
