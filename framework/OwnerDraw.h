// Owner-draw messages as a mix-in: WM_DRAWITEM, WM_MEASUREITEM,
// WM_COMPAREITEM and WM_DELETEITEM (in map 1 their reflected forms, for a
// control that draws its own items) go to T's DrawItem, MeasureItem,
// CompareItem and DeleteItem. The defaults leave the message unhandled, so T
// overrides only what it draws.
#pragma once

#include <windows.h>

#include "MessageMap.h"

namespace WTL {

template <class T>
class COwnerDraw {
public:
    BEGIN_MSG_MAP(COwnerDraw)
        MESSAGE_HANDLER(WM_DRAWITEM, OnDrawItem)
        MESSAGE_HANDLER(WM_MEASUREITEM, OnMeasureItem)
        MESSAGE_HANDLER(WM_COMPAREITEM, OnCompareItem)
        MESSAGE_HANDLER(WM_DELETEITEM, OnDeleteItem)
    ALT_MSG_MAP(1)
        MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
        MESSAGE_HANDLER(OCM_MEASUREITEM, OnMeasureItem)
        MESSAGE_HANDLER(OCM_COMPAREITEM, OnCompareItem)
        MESSAGE_HANDLER(OCM_DELETEITEM, OnDeleteItem)
    END_MSG_MAP()

    void DrawItem(LPDRAWITEMSTRUCT) { handled_ = FALSE; }
    void MeasureItem(LPMEASUREITEMSTRUCT) { handled_ = FALSE; }
    int CompareItem(LPCOMPAREITEMSTRUCT)
    {
        handled_ = FALSE;
        return 0;
    }
    void DeleteItem(LPDELETEITEMSTRUCT) { handled_ = FALSE; }

protected:
    // An override may clear this to let the message go on.
    void SetOwnerDrawHandled(BOOL handled) { handled_ = handled; }

private:
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
    {
        handled_ = TRUE;
        static_cast<T*>(this)->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        bHandled = handled_;
        return TRUE;
    }
    LRESULT OnMeasureItem(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
    {
        handled_ = TRUE;
        static_cast<T*>(this)->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        bHandled = handled_;
        return TRUE;
    }
    LRESULT OnCompareItem(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
    {
        handled_ = TRUE;
        int result = static_cast<T*>(this)->CompareItem(reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
        bHandled = handled_;
        return result;
    }
    LRESULT OnDeleteItem(UINT, WPARAM, LPARAM lParam, BOOL& bHandled)
    {
        handled_ = TRUE;
        static_cast<T*>(this)->DeleteItem(reinterpret_cast<LPDELETEITEMSTRUCT>(lParam));
        bHandled = handled_;
        return TRUE;
    }

    BOOL handled_ = TRUE;
};

}  // namespace WTL
