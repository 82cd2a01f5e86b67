// Wrappers of the standard and common controls: a window handle with the
// control's messages as members. TBase is the window class they extend
// (ATL::CWindow, or a window implementation that subclasses the control).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "Window.h"

namespace WTL {

#define PELVANE_CONTROL_BASICS(ThisClass, ClassName)                                                 \
    ThisClass(HWND hWnd = nullptr) { this->m_hWnd = hWnd; }                                         \
    ThisClass& operator=(HWND hWnd)                                                                \
    {                                                                                              \
        this->m_hWnd = hWnd;                                                                       \
        return *this;                                                                              \
    }                                                                                              \
    static LPCWSTR GetWndClassName() { return ClassName; }                                         \
    HWND Create(HWND parent, const RECT* rect = nullptr, LPCWSTR name = nullptr, DWORD style = 0,   \
                DWORD exStyle = 0, UINT id = 0)                                                    \
    {                                                                                              \
        return ATL::CWindow::Create(GetWndClassName(), parent, rect, name, style, exStyle, id);    \
    }

template <class TBase>
class CButtonT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CButtonT, L"BUTTON")

    int GetCheck() const { return static_cast<int>(this->SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { this->SendMessage(BM_SETCHECK, check); }
    UINT GetState() const { return static_cast<UINT>(this->SendMessage(BM_GETSTATE)); }
    UINT GetButtonStyle() const { return static_cast<UINT>(this->GetStyle()) & 0xFFFF; }
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { this->SendMessage(BM_SETSTYLE, style, redraw); }
    void Click() { this->SendMessage(BM_CLICK); }
};
typedef CButtonT<ATL::CWindow> CButton;

template <class TBase>
class CEditT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CEditT, L"EDIT")

    void LimitText(int max) { this->SendMessage(EM_LIMITTEXT, max); }
    void SetSel(int start, int end, BOOL noScroll = FALSE)
    {
        this->SendMessage(EM_SETSEL, start, end);
        if (!noScroll) this->SendMessage(EM_SCROLLCARET);
    }
    void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE) { this->SendMessage(EM_REPLACESEL, canUndo, LPARAM(text)); }
    void SetReadOnly(BOOL readOnly = TRUE) { this->SendMessage(EM_SETREADONLY, readOnly); }
};
typedef CEditT<ATL::CWindow> CEdit;

template <class TBase>
class CStaticT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CStaticT, L"STATIC")

    HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(this->SendMessage(STM_SETICON, WPARAM(icon))); }
    HBITMAP SetBitmap(HBITMAP bitmap)
    {
        return reinterpret_cast<HBITMAP>(this->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap)));
    }
};
typedef CStaticT<ATL::CWindow> CStatic;

template <class TBase>
class CListBoxT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CListBoxT, L"LISTBOX")

    int GetCount() const { return static_cast<int>(this->SendMessage(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(this->SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(this->SendMessage(LB_SETCURSEL, index)); }
    int GetTopIndex() const { return static_cast<int>(this->SendMessage(LB_GETTOPINDEX)); }
    int AddString(LPCWSTR text) { return static_cast<int>(this->SendMessage(LB_ADDSTRING, 0, LPARAM(text))); }
    int InsertString(int index, LPCWSTR text)
    {
        return static_cast<int>(this->SendMessage(LB_INSERTSTRING, index, LPARAM(text)));
    }
    int DeleteString(int index) { return static_cast<int>(this->SendMessage(LB_DELETESTRING, index)); }
    void ResetContent() { this->SendMessage(LB_RESETCONTENT); }
    int GetTextLen(int index) const { return static_cast<int>(this->SendMessage(LB_GETTEXTLEN, index)); }
    int GetText(int index, LPWSTR buffer) const
    {
        return static_cast<int>(this->SendMessage(LB_GETTEXT, index, LPARAM(buffer)));
    }
    std::wstring GetText(int index) const
    {
        int length = GetTextLen(index);
        if (length < 0) return std::wstring();
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(std::max(0, GetText(index, &text[0]))));
        return text;
    }
    DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(this->SendMessage(LB_GETITEMDATA, index)); }
    int SetItemData(int index, DWORD_PTR data)
    {
        return static_cast<int>(this->SendMessage(LB_SETITEMDATA, index, LPARAM(data)));
    }
    int GetItemHeight(int index) const { return static_cast<int>(this->SendMessage(LB_GETITEMHEIGHT, index)); }
    int SetItemHeight(int index, UINT height)
    {
        return static_cast<int>(this->SendMessage(LB_SETITEMHEIGHT, index, MAKELPARAM(height, 0)));
    }
    int GetItemRect(int index, RECT* r) const
    {
        return static_cast<int>(this->SendMessage(LB_GETITEMRECT, index, LPARAM(r)));
    }
};
typedef CListBoxT<ATL::CWindow> CListBox;

template <class TBase>
class CComboBoxT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CComboBoxT, L"COMBOBOX")

    int GetCount() const { return static_cast<int>(this->SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(this->SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(this->SendMessage(CB_SETCURSEL, index)); }
    int AddString(LPCWSTR text) { return static_cast<int>(this->SendMessage(CB_ADDSTRING, 0, LPARAM(text))); }
    int InsertString(int index, LPCWSTR text)
    {
        return static_cast<int>(this->SendMessage(CB_INSERTSTRING, index, LPARAM(text)));
    }
    void ResetContent() { this->SendMessage(CB_RESETCONTENT); }
    void LimitText(int max) { this->SendMessage(CB_LIMITTEXT, max); }
};
typedef CComboBoxT<ATL::CWindow> CComboBox;

template <class TBase>
class CListViewCtrlT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CListViewCtrlT, WC_LISTVIEWW)

    int GetItemCount() const { return static_cast<int>(this->SendMessage(LVM_GETITEMCOUNT)); }
    int GetTopIndex() const { return static_cast<int>(this->SendMessage(LVM_GETTOPINDEX)); }
    BOOL GetItem(LVITEMW* item) const { return static_cast<BOOL>(this->SendMessage(LVM_GETITEMW, 0, LPARAM(item))); }
    DWORD_PTR GetItemData(int index) const
    {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
    }
    BOOL GetItemRect(int index, RECT* r, UINT code) const
    {
        r->left = static_cast<LONG>(code);
        return static_cast<BOOL>(this->SendMessage(LVM_GETITEMRECT, index, LPARAM(r)));
    }
    BOOL GetSubItemRect(int index, int subItem, int code, RECT* r) const
    {
        r->top = subItem;
        r->left = code;
        return static_cast<BOOL>(this->SendMessage(LVM_GETSUBITEMRECT, index, LPARAM(r)));
    }
    // The whole text of an item or subitem, however long.
    std::wstring GetItemText(int index, int subItem) const
    {
        std::wstring text;
        for (int size = 256;; size *= 2) {
            text.assign(static_cast<size_t>(size), L'\0');
            LVITEMW item = {};
            item.iSubItem = subItem;
            item.pszText = &text[0];
            item.cchTextMax = size;
            int length = static_cast<int>(this->SendMessage(LVM_GETITEMTEXTW, index, LPARAM(&item)));
            if (length < size - 1) {
                text.resize(static_cast<size_t>(length));
                return text;
            }
        }
    }
    int InsertColumn(int index, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1)
    {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | (width >= 0 ? LVCF_WIDTH : 0);
        column.fmt = format;
        column.cx = width;
        column.pszText = const_cast<LPWSTR>(heading);
        return static_cast<int>(this->SendMessage(LVM_INSERTCOLUMNW, index, LPARAM(&column)));
    }
    int InsertItem(int index, LPCWSTR text, LPARAM data = 0)
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = index;
        item.pszText = const_cast<LPWSTR>(text);
        item.lParam = data;
        return static_cast<int>(this->SendMessage(LVM_INSERTITEMW, 0, LPARAM(&item)));
    }
    BOOL SetItemText(int index, int subItem, LPCWSTR text)
    {
        LVITEMW item = {};
        item.iSubItem = subItem;
        item.pszText = const_cast<LPWSTR>(text);
        return static_cast<BOOL>(this->SendMessage(LVM_SETITEMTEXTW, index, LPARAM(&item)));
    }
    BOOL DeleteAllItems() { return static_cast<BOOL>(this->SendMessage(LVM_DELETEALLITEMS)); }
};
typedef CListViewCtrlT<ATL::CWindow> CListViewCtrl;

template <class TBase>
class CTrackBarCtrlT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CTrackBarCtrlT, TRACKBAR_CLASSW)

    void SetRange(int minimum, int maximum, BOOL redraw = TRUE)
    {
        this->SendMessage(TBM_SETRANGE, redraw, MAKELPARAM(minimum, maximum));
    }
    int GetPos() const { return static_cast<int>(this->SendMessage(TBM_GETPOS)); }
    void SetPos(int position) { this->SendMessage(TBM_SETPOS, TRUE, position); }
};
typedef CTrackBarCtrlT<ATL::CWindow> CTrackBarCtrl;

template <class TBase>
class CProgressBarCtrlT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CProgressBarCtrlT, PROGRESS_CLASSW)

    int SetPos(int position) { return static_cast<int>(this->SendMessage(PBM_SETPOS, position)); }
    int GetPos() const { return static_cast<int>(this->SendMessage(PBM_GETPOS)); }
};
typedef CProgressBarCtrlT<ATL::CWindow> CProgressBarCtrl;

template <class TBase>
class CToolTipCtrlT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CToolTipCtrlT, TOOLTIPS_CLASSW)

    BOOL AddTool(TOOLINFOW* tool) { return static_cast<BOOL>(this->SendMessage(TTM_ADDTOOLW, 0, LPARAM(tool))); }
    void DelTool(TOOLINFOW* tool) { this->SendMessage(TTM_DELTOOLW, 0, LPARAM(tool)); }
    void SetToolRect(TOOLINFOW* tool) { this->SendMessage(TTM_NEWTOOLRECTW, 0, LPARAM(tool)); }
    void UpdateTipText(TOOLINFOW* tool) { this->SendMessage(TTM_UPDATETIPTEXTW, 0, LPARAM(tool)); }
    int GetToolCount() const { return static_cast<int>(this->SendMessage(TTM_GETTOOLCOUNT)); }
    void Activate(BOOL active) { this->SendMessage(TTM_ACTIVATE, active); }
    void SetDelayTime(DWORD which, int ms) { this->SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(ms, 0)); }
    void RelayEvent(MSG* msg) { this->SendMessage(TTM_RELAYEVENT, 0, LPARAM(msg)); }
};
typedef CToolTipCtrlT<ATL::CWindow> CToolTipCtrl;

template <class TBase>
class CReBarCtrlT : public TBase {
public:
    PELVANE_CONTROL_BASICS(CReBarCtrlT, REBARCLASSNAMEW)

    UINT GetBandCount() const { return static_cast<UINT>(this->SendMessage(RB_GETBANDCOUNT)); }
    BOOL InsertBand(int index, REBARBANDINFOW* band)
    {
        return static_cast<BOOL>(this->SendMessage(RB_INSERTBANDW, index, LPARAM(band)));
    }
    BOOL GetBandInfo(int index, REBARBANDINFOW* band) const
    {
        return static_cast<BOOL>(this->SendMessage(RB_GETBANDINFOW, index, LPARAM(band)));
    }
    BOOL SetBandInfo(int index, REBARBANDINFOW* band)
    {
        return static_cast<BOOL>(this->SendMessage(RB_SETBANDINFOW, index, LPARAM(band)));
    }
    int IdToIndex(UINT id) const { return static_cast<int>(this->SendMessage(RB_IDTOINDEX, id)); }
    BOOL MoveBand(UINT from, UINT to) { return static_cast<BOOL>(this->SendMessage(RB_MOVEBAND, from, to)); }
    UINT GetBarHeight() const { return static_cast<UINT>(this->SendMessage(RB_GETBARHEIGHT)); }
};
typedef CReBarCtrlT<ATL::CWindow> CReBarCtrl;

#undef PELVANE_CONTROL_BASICS

}  // namespace WTL
