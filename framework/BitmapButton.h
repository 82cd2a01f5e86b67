// A push button drawn from an image list: one image for each of normal,
// pushed, focused (or, in hover mode, under the mouse) and disabled. It
// tracks the mouse itself, so it needs nothing from its parent but the
// BN_CLICKED it sends; T::DoPaint(CDCHandle) draws the face.
#pragma once

#include "Controls.h"
#include "Gdi.h"
#include "ImageList.h"
#include "WindowImpl.h"

#define BMPBTN_HOVER 0x00000001
#define BMPBTN_AUTO3D_SINGLE 0x00000002
#define BMPBTN_AUTO3D_DOUBLE 0x00000004
#define BMPBTN_AUTOSIZE 0x00000008
#define BMPBTN_SHAREIMAGELISTS 0x00000010

namespace WTL {

template <class T, class TBase = CButton, class TWinTraits = ATL::CControlWinTraits>
class CBitmapButtonImpl : public ATL::CWindowImpl<T, TBase, TWinTraits> {
public:
    DECLARE_WND_SUPERCLASS(nullptr, TBase::GetWndClassName())

    enum { kNormal = 0, kPushed = 1, kFocusOrHover = 2, kDisabled = 3 };

    CImageList m_ImageList;
    int m_nImage[4] = {-1, -1, -1, -1};
    DWORD m_dwExtendedStyle;
    bool m_fMouseOver = false;
    bool m_fPressed = false;

    CBitmapButtonImpl(DWORD extendedStyle = BMPBTN_AUTOSIZE, HIMAGELIST imageList = nullptr)
        : m_ImageList(imageList), m_dwExtendedStyle(extendedStyle)
    {
    }
    ~CBitmapButtonImpl() override
    {
        if (!(m_dwExtendedStyle & BMPBTN_SHAREIMAGELISTS)) m_ImageList.Destroy();
    }

    DWORD GetBitmapButtonExtendedStyle() const { return m_dwExtendedStyle; }
    DWORD SetBitmapButtonExtendedStyle(DWORD style, DWORD mask = 0)
    {
        DWORD old = m_dwExtendedStyle;
        m_dwExtendedStyle = mask ? (old & ~mask) | (style & mask) : style;
        return old;
    }
    // The old list is destroyed unless the lists are shared.
    HIMAGELIST SetImageList(HIMAGELIST imageList)
    {
        HIMAGELIST old = m_ImageList.m_hImageList;
        if (old && old != imageList && !(m_dwExtendedStyle & BMPBTN_SHAREIMAGELISTS)) {
            m_ImageList.Destroy();
            old = nullptr;
        }
        m_ImageList.m_hImageList = imageList;
        if (this->m_hWnd && (m_dwExtendedStyle & BMPBTN_AUTOSIZE)) SizeToImage();
        return old;
    }
    void SetImages(int normal, int pushed = -1, int focusOrHover = -1, int disabled = -1)
    {
        m_nImage[kNormal] = normal;
        m_nImage[kPushed] = pushed;
        m_nImage[kFocusOrHover] = focusOrHover;
        m_nImage[kDisabled] = disabled;
    }
    BOOL SizeToImage()
    {
        int cx = 0, cy = 0;
        if (m_ImageList.IsNull() || !m_ImageList.GetIconSize(cx, cy)) return FALSE;
        return this->SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    BOOL SubclassWindow(HWND hWnd)
    {
        if (!ATL::CWindowImpl<T, TBase, TWinTraits>::SubclassWindow(hWnd)) return FALSE;
        Init();
        return TRUE;
    }

    bool IsHoverMode() const { return (m_dwExtendedStyle & BMPBTN_HOVER) != 0; }
    bool HasFocus() const { return ::GetFocus() == this->m_hWnd; }
    // The image index the button's state asks for (-1 when none fits).
    int ChooseImage() const
    {
        int index = -1;
        if (!this->IsWindowEnabled())
            index = m_nImage[kDisabled];
        else if (m_fPressed)
            index = m_nImage[kPushed];
        else if ((!IsHoverMode() && HasFocus()) || (IsHoverMode() && m_fMouseOver))
            index = m_nImage[kFocusOrHover];
        return index == -1 ? m_nImage[kNormal] : index;
    }

    // The standard face: the image for the state, a 3-D edge when asked for,
    // and the focus rectangle when focused outside hover mode.
    void DoPaint(CDCHandle dc)
    {
        int index = ChooseImage();
        bool auto3d = (m_dwExtendedStyle & (BMPBTN_AUTO3D_SINGLE | BMPBTN_AUTO3D_DOUBLE)) != 0;
        int shift = (m_fPressed && auto3d && m_nImage[kPushed] == -1) ? 1 : 0;
        if (index != -1 && !m_ImageList.IsNull()) m_ImageList.Draw(dc, index, shift, shift, ILD_NORMAL);
        if (!auto3d) return;
        CRect rect;
        this->GetClientRect(&rect);
        bool single = (m_dwExtendedStyle & BMPBTN_AUTO3D_SINGLE) != 0;
        if (m_fPressed)
            dc.DrawEdge(&rect, single ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT);
        else if (!IsHoverMode() || m_fMouseOver)
            dc.DrawEdge(&rect, single ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
        if (!IsHoverMode() && HasFocus()) {
            rect.DeflateRect(single ? 2 : 3, single ? 2 : 3);
            dc.DrawFocusRect(&rect);
        }
    }

    BEGIN_MSG_MAP(CBitmapButtonImpl)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_PRINTCLIENT, OnPaint)
        MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
        MESSAGE_HANDLER(WM_SETFOCUS, OnFocus)
        MESSAGE_HANDLER(WM_KILLFOCUS, OnFocus)
        MESSAGE_HANDLER(WM_ENABLE, OnEnable)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnLButtonDown)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_CAPTURECHANGED, OnCaptureChanged)
        MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_KEYUP, OnKeyUp)
    END_MSG_MAP()

private:
    void Init()
    {
        // Owner-draw keeps the button's own procedure from painting a face.
        this->SendMessage(BM_SETSTYLE, (this->GetStyle() & ~0x0FUL & 0xFFFF) | BS_OWNERDRAW, TRUE);
        if (m_dwExtendedStyle & BMPBTN_AUTOSIZE) SizeToImage();
    }
    void Repaint()
    {
        this->Invalidate(FALSE);
        this->UpdateWindow();
    }
    void SetPressed(bool pressed)
    {
        if (m_fPressed == pressed) return;
        m_fPressed = pressed;
        Repaint();
    }
    void Click()
    {
        ::SendMessageW(this->GetParent(), WM_COMMAND, MAKEWPARAM(this->GetDlgCtrlID(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(this->m_hWnd));
    }

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&)
    {
        LRESULT result = this->DefWindowProc(uMsg, wParam, lParam);
        if (result != -1) Init();
        return result;
    }
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
    LRESULT OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&)
    {
        if (wParam) {
            static_cast<T*>(this)->DoPaint(reinterpret_cast<HDC>(wParam));
        } else {
            CPaintDC dc(this->m_hWnd);
            static_cast<T*>(this)->DoPaint(dc.m_hDC);
        }
        return 0;
    }
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        static_cast<T*>(this)->DoPaint(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)->hDC);
        return TRUE;
    }
    LRESULT OnFocus(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Repaint();
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnEnable(UINT, WPARAM, LPARAM, BOOL& bHandled)
    {
        Repaint();
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&)
    {
        this->SetFocus();
        this->SetCapture();
        SetPressed(true);
        return 0;
    }
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&)
    {
        CPoint point(lParam);
        CRect client;
        this->GetClientRect(&client);
        bool inside = client.PtInRect(point);
        if (::GetCapture() == this->m_hWnd) SetPressed(inside);
        if (IsHoverMode() && inside && !m_fMouseOver) {
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, this->m_hWnd, 0};
            ::TrackMouseEvent(&track);
            m_fMouseOver = true;
            Repaint();
        }
        return 0;
    }
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&)
    {
        if (::GetCapture() != this->m_hWnd) return 0;
        bool click = m_fPressed;
        ::ReleaseCapture();
        if (click) Click();
        return 0;
    }
    LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&)
    {
        SetPressed(false);
        return 0;
    }
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&)
    {
        if (m_fMouseOver) {
            m_fMouseOver = false;
            Repaint();
        }
        return 0;
    }
    LRESULT OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
    {
        if (wParam != VK_SPACE) {
            bHandled = FALSE;
            return 0;
        }
        if (!(lParam & 0x40000000)) SetPressed(true);
        return 0;
    }
    LRESULT OnKeyUp(UINT, WPARAM wParam, LPARAM, BOOL& bHandled)
    {
        if (wParam != VK_SPACE) {
            bHandled = FALSE;
            return 0;
        }
        if (m_fPressed) {
            SetPressed(false);
            Click();
        }
        return 0;
    }
};

}  // namespace WTL
