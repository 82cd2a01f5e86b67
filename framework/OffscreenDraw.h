// Double-buffered painting as a mix-in: WM_PAINT and WM_PRINTCLIENT call
// T::DoPaint(CDCHandle) with a memory DC that covers the area to paint, in
// client coordinates, and copy it to the window in one go; WM_ERASEBKGND
// erases nothing. PaintRect() tells DoPaint which area is being painted.
#pragma once

#include "Gdi.h"
#include "MessageMap.h"

namespace WTL {

template <class T>
class COffscreenDrawRect {
public:
    BEGIN_MSG_MAP(COffscreenDrawRect)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_PRINTCLIENT, OnPaint)
    END_MSG_MAP()

    const CRect& PaintRect() const { return paintRect_; }
    // Whether this paint draws all of place: only then does the memory DC
    // hold what lies under a child there.
    bool PaintCovers(const RECT& place) const
    {
        CRect overlap;
        overlap.IntersectRect(place, paintRect_);
        return overlap == place;
    }

    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

    LRESULT OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        T* self = static_cast<T*>(this);
        if (wParam) {
            // Printing (or a DC handed in with WM_PAINT): the whole client area.
            ::GetClientRect(self->m_hWnd, &paintRect_);
            CMemoryDC memory(reinterpret_cast<HDC>(wParam), paintRect_);
            self->DoPaint(memory.m_hDC);
        } else {
            CPaintDC dc(self->m_hWnd);
            paintRect_ = dc.m_ps.rcPaint;
            if (!paintRect_.IsRectEmpty()) {
                CMemoryDC memory(dc.m_hDC, paintRect_);
                self->DoPaint(memory.m_hDC);
            }
        }
        return 0;
    }

private:
    CRect paintRect_;
};

}  // namespace WTL
