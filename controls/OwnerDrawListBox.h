// The contact list of the main window: an owner-drawn list box that draws
// each contact as a row with its status mark and display text over the
// page's painted background. The selected row is taller, framed, darkened,
// and carries the page's call, chat and send-file buttons. Reachable
// contacts come first, each group in the order of its display texts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BackgroundDlg.h"
#include "BmpBtn.h"
#include "Controls.h"
#include "OffscreenDraw.h"
#include "OwnerDraw.h"
#include "WindowImpl.h"
#include "resource.h"

enum ContactRowStatus : int32_t {
    kContactReachable = 0,
    kContactUnreachable = 1,
    // A row that only carries a message, drawn centred.
    kContactCentred = 2,
};

// A row's item data, owned by the list.
struct ContactRow {
    std::string contactName;  // the account name, in the ANSI code page
    std::string displayText;  // the row's text, in the ANSI code page; the sort key
    int32_t status;           // ContactRowStatus
};

std::string ToAnsiText(const std::wstring& text);
std::wstring ToWideText(const std::string& text);

// A row as the sort moves it: its record and the text the list shows.
struct SortedContactRow {
    ContactRow row;
    std::wstring text;
};
// Orders a group by display text, letters compared in upper case; equal
// texts are never exchanged.
void SortContactGroup(std::vector<SortedContactRow>& group);

// Draws one row into rect: the mark (none when null), the text and, for an
// unreachable contact, the offline text on the right. Returns the inner
// rectangle the selected row's buttons are placed by (the row itself when
// not selected).
RECT DrawContactRow(HDC dc, const RECT& rect, const wchar_t* text, int32_t status, bool selected, HBITMAP mark);

// TMainFrame opens the pages: OpenContactPage(display text, contact name,
// kind) with kind 0 call, 1 chat, 2 send a file. TOwner is the page that
// hosts the list: a window with GetParentBackground() (the background of its
// own parent, the tab host), the status marks m_markReachable and
// m_markUnreachable, and the buttons m_callButton, m_chatButton and
// m_sendFileButton (CBmpBtnItem), created as hidden children of the list.
template <class TMainFrame, class TOwner>
class COwnerDrawListBoxT
    : public ATL::CWindowImpl<COwnerDrawListBoxT<TMainFrame, TOwner>, WTL::CListBox>,
      public WTL::COwnerDraw<COwnerDrawListBoxT<TMainFrame, TOwner>>,
      public WTL::COffscreenDrawRect<COwnerDrawListBoxT<TMainFrame, TOwner>> {
public:
    typedef COwnerDrawListBoxT<TMainFrame, TOwner> ThisClass;

    enum { kSelectedExtra = 20, kButtonWidth = 73, kButtonHeight = 23 };

    int32_t m_baseRowHeight = 32;
    TMainFrame* m_mainFrame = nullptr;
    TOwner* m_owner = nullptr;

    BEGIN_MSG_MAP(ThisClass)
        MESSAGE_HANDLER(WM_VSCROLL, OnScroll)
        MESSAGE_HANDLER(WM_MOUSEWHEEL, OnScroll)
        COMMAND_ID_HANDLER(IDC_CHAT_BUTTON, OnChatButton)
        COMMAND_ID_HANDLER(IDC_CALL_BUTTON, OnCallButton)
        COMMAND_ID_HANDLER(IDC_SEND_FILE_BUTTON, OnSendFileButton)
        CHAIN_MSG_MAP(WTL::COffscreenDrawRect<ThisClass>)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        CHAIN_MSG_MAP(WTL::COwnerDraw<ThisClass>)
        CHAIN_MSG_MAP_ALT(WTL::COwnerDraw<ThisClass>, 1)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // Appends a row showing displayText; -1 when the list refused it.
    int AddItem(const wchar_t* displayText, const wchar_t* contactName, int32_t status)
    {
        if (!displayText) displayText = L"";
        int index = this->AddString(displayText);
        if (index < 0) return -1;
        ContactRow* row = new ContactRow{ToAnsiText(contactName ? contactName : L""), ToAnsiText(displayText), status};
        if (this->SetItemData(index, reinterpret_cast<DWORD_PTR>(row)) == LB_ERR) {
            delete row;
            this->DeleteString(index);
            return -1;
        }
        return index;
    }

    // The record of a row; null when it has none.
    ContactRow* GetRow(int index) const
    {
        DWORD_PTR data = this->GetItemData(index);
        return data == static_cast<DWORD_PTR>(LB_ERR) ? nullptr : reinterpret_cast<ContactRow*>(data);
    }

    void ResetContent()
    {
        const bool hadSelection = this->GetCurSel() >= 0;
        ShowActionButtons(SW_HIDE);
        while (this->GetCount() > 0) {
            delete GetRow(0);
            this->DeleteString(0);
        }
        if (hadSelection) TellSelectionChanged();
    }

    // Rebuilds the rows: reachable contacts first, then every other one as
    // unreachable, each group in display-text order. The selection stays on
    // its contact, wherever the row moved: the row's buttons act on it.
    void SortItems()
    {
        std::string selectedContact;
        const bool keepSelection = GetSelectedContact(selectedContact);
        std::vector<SortedContactRow> reachable, others;
        for (int i = 0, count = this->GetCount(); i < count; ++i) {
            std::wstring text = this->GetText(i);
            const ContactRow* row = GetRow(i);
            SortedContactRow sorted{row ? *row : ContactRow{std::string(), ToAnsiText(text), kContactUnreachable},
                                    text};
            (sorted.row.status == kContactReachable ? reachable : others).push_back(sorted);
        }
        // Each change would update the scroll bar at once; a few hundred
        // rows took seconds. (Asked only of a shown list: redrawing on
        // shows a window.)
        const bool shown = (this->GetStyle() & WS_VISIBLE) != 0;
        if (shown) this->SetRedraw(FALSE);
        ResetContent();
        SortContactGroup(reachable);
        SortContactGroup(others);
        for (const SortedContactRow& s : reachable)
            AddItem(s.text.c_str(), ToWideText(s.row.contactName).c_str(), kContactReachable);
        for (const SortedContactRow& s : others)
            AddItem(s.text.c_str(), ToWideText(s.row.contactName).c_str(), kContactUnreachable);
        if (keepSelection) SelectContact(selectedContact);
        if (shown) this->SetRedraw(TRUE);
        this->Invalidate(FALSE);
    }

    // The account name of the selected row (empty for a row without a
    // record); false when no row is selected.
    bool GetSelectedContact(std::string& contactName) const
    {
        const int selection = this->GetCurSel();
        if (selection < 0) return false;
        const ContactRow* row = GetRow(selection);
        contactName = row ? row->contactName : std::string();
        return true;
    }

    // Selects the first row of that contact; none when no row has it.
    void SelectContact(const std::string& contactName)
    {
        int found = -1;
        for (int i = 0, count = this->GetCount(); i < count && found < 0; ++i) {
            const ContactRow* row = GetRow(i);
            if (row && row->contactName == contactName) found = i;
        }
        if (found == this->GetCurSel()) return;
        this->SetCurSel(found);
        TellSelectionChanged();
    }

    void ShowActionButtons(int showCommand)
    {
        if (!m_owner) return;
        for (CBmpBtnItem* item : {&m_owner->m_callButton, &m_owner->m_chatButton, &m_owner->m_sendFileButton})
            if (item->m_button.IsWindow()) item->m_button.ShowWindow(showCommand);
    }

    void DoPaint(WTL::CDCHandle dc)
    {
        WTL::CRect client;
        this->GetClientRect(&client);
        if (m_owner)
            PaintParentBackground(dc, ::GetParent(m_owner->m_hWnd), this->m_hWnd, m_owner->GetParentBackground());
        VeilRect(dc, client, 25);

        const int count = this->GetCount(), selected = this->GetCurSel();
        if (count > 0) SetRowHeight(0, selected == 0);
        int y = client.top;
        for (int index = this->GetTopIndex(); index >= 0 && index < count && y < client.bottom; ++index) {
            const int height = SetRowHeight(index, index == selected);
            DrawRow(dc, index, WTL::CRect(client.left, y, client.right, y + height), index == selected);
            y += height;
        }
    }

    // Rows are drawn by DoPaint alone.
    void MeasureItem(LPMEASUREITEMSTRUCT item)
    {
        item->itemHeight = 32;
        m_baseRowHeight = 32;
    }
    void DrawItem(LPDRAWITEMSTRUCT) {}
    int CompareItem(LPCOMPAREITEMSTRUCT) { return 0; }
    void DeleteItem(LPDELETEITEMSTRUCT) {}

private:
    // The page repaints and remembers the selected index when the list
    // tells it of a change; the list's own changes are told the same way.
    void TellSelectionChanged()
    {
        ::SendMessageW(this->GetParent(), WM_COMMAND, MAKEWPARAM(this->GetDlgCtrlID(), LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(this->m_hWnd));
    }

    // Sets a row's height for its selection; the list repaints only when it
    // changes, so painting does not ask for painting again.
    int SetRowHeight(int index, bool selected)
    {
        const int height = m_baseRowHeight + (selected ? kSelectedExtra : 0);
        if (this->GetItemHeight(index) != height) this->SetItemHeight(index, static_cast<UINT>(height));
        return height;
    }

    void DrawRow(WTL::CDCHandle dc, int index, const WTL::CRect& rect, bool selected)
    {
        const ContactRow* row = GetRow(index);
        const int32_t status = row ? row->status : kContactCentred;
        HBITMAP mark = nullptr;
        if (m_owner && status == kContactReachable) mark = m_owner->m_markReachable;
        if (m_owner && status == kContactUnreachable) mark = m_owner->m_markUnreachable;
        const std::wstring text = this->GetText(index);
        const WTL::CRect inner = DrawContactRow(dc, rect, text.c_str(), status, selected, mark);
        if (selected) PlaceActionButtons(dc, inner, status == kContactReachable);
    }

    void PlaceActionButtons(WTL::CDCHandle dc, const WTL::CRect& inner, bool show)
    {
        if (!m_owner) return;
        const struct {
            CBmpBtnItem* item;
            int fromRight;
        } buttons[] = {{&m_owner->m_callButton, 225}, {&m_owner->m_chatButton, 150}, {&m_owner->m_sendFileButton, 75}};
        for (const auto& b : buttons) {
            CBmpBtn& button = b.item->m_button;
            if (!button.IsWindow()) continue;
            const WTL::CRect place(inner.right - b.fromRight, inner.top + 9, inner.right - b.fromRight + kButtonWidth,
                                   inner.top + 9 + kButtonHeight);
            button.SetWindowPos(nullptr, &place, SWP_NOZORDER | SWP_NOACTIVATE);
            if (!show) {
                button.ShowWindow(SW_HIDE);
                continue;
            }
            // The button shows what this paint put under its new place; an
            // area outside this paint is painted again first.
            if (this->PaintCovers(place))
                CaptureControlBackground(button, button.BackgroundBitmap(), dc);
            else
                this->InvalidateRect(&place, FALSE);
            button.ShowWindow(SW_SHOW);
            button.Invalidate(FALSE);
        }
    }

    void OpenSelected(int kind)
    {
        const int selected = this->GetCurSel();
        const ContactRow* row = selected >= 0 ? GetRow(selected) : nullptr;
        if (!m_mainFrame || !row) return;
        const std::wstring text = this->GetText(selected);
        m_mainFrame->OpenContactPage(text.c_str(), ToWideText(row->contactName).c_str(), kind);
    }

    LRESULT OnScroll(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        ShowActionButtons(SW_HIDE);
        this->Invalidate(FALSE);
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnChatButton(WORD, WORD, HWND, BOOL&)
    {
        OpenSelected(1);
        return 0;
    }
    LRESULT OnCallButton(WORD, WORD, HWND, BOOL&)
    {
        OpenSelected(0);
        return 0;
    }
    LRESULT OnSendFileButton(WORD, WORD, HWND, BOOL&)
    {
        OpenSelected(2);
        return 0;
    }
    // The records go with the window; the list itself forgets them unread.
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        for (int i = 0, count = this->GetCount(); i < count; ++i) {
            delete GetRow(i);
            this->SetItemData(i, 0);
        }
        bHandled = FALSE;
        return 0;
    }
};
