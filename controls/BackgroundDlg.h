// The painted surface of the program's pages. A child window draws no flat
// background of its own: it copies the part of its host's background bitmap
// that lies under it (optionally under a white veil), so that the whole
// window reads as one picture. CBackgroundDlg is the dialog base that paints
// so, double-buffered, with a white border and the encryption banner.
#pragma once

#include <windows.h>

#include "DialogImpl.h"
#include "Gdi.h"
#include "OffscreenDraw.h"
#include "resource.h"
#include "settings/LanguageTable.h"

// A memory DC made compatible with a given DC, deleted with the holder.
class CCompatibleDC {
public:
    explicit CCompatibleDC(HDC dc) : m_hDC(::CreateCompatibleDC(dc)) {}
    ~CCompatibleDC()
    {
        if (m_hDC) ::DeleteDC(m_hDC);
    }
    CCompatibleDC(const CCompatibleDC&) = delete;
    CCompatibleDC& operator=(const CCompatibleDC&) = delete;
    operator HDC() const { return m_hDC; }

    HDC m_hDC;
};

// What a child that paints its host's background under itself asks of the
// host: the background bitmap of the window behind it (null: nothing to
// copy).
class CBackgroundHost {
public:
    virtual WTL::CBitmap* GetParentBackground() = 0;

protected:
    ~CBackgroundHost() = default;
};

// The part of a host's background that lies under a page, in the page's own
// client coordinates. A child of the page maps its place into the page, not
// into the host: given this instead of the host's whole picture, it copies
// what really lies under it and lines up with the page around it. Taken
// again when the page has moved or changed size, or the picture changed.
class CPageBackground : public CBackgroundHost {
public:
    // source gives the picture the page itself is cut from.
    void SetPage(HWND page, CBackgroundHost* source)
    {
        m_page = page;
        m_source = source;
    }
    WTL::CBitmap* GetParentBackground() override;

private:
    HWND m_page = nullptr;
    CBackgroundHost* m_source = nullptr;
    WTL::CBitmap m_part;
    HBITMAP m_takenFrom = nullptr;
    RECT m_takenAt = {};
};

// Copies the part of background that lies under child (a child-client-sized
// area at child's place in parent's client area) to (0, 0) of dc. Nothing
// without a bitmap.
void PaintParentBackground(HDC dc, HWND parent, HWND child, const WTL::CBitmap* background);
// The same for one rectangle of child's client area, to that rectangle.
void PaintParentBackgroundRect(HDC dc, HWND parent, HWND child, const RECT& rect, const WTL::CBitmap* background);
// PaintParentBackground, then a white veil of the given strength over the
// whole client area (also when there is no bitmap).
void PaintParentBackgroundVeiled(HDC dc, HWND parent, HWND child, const WTL::CBitmap* background, BYTE alpha);
// Blends (0, 0, width, height) of source over the destination area with a
// constant alpha, the source's own alpha bytes taken as premultiplied.
void AlphaBlendConst(HDC destination, int x, int y, int width, int height, HDC source, BYTE alpha);
// A white veil of the given strength over rect: on every platform the
// result is each channel c becoming c + (255 - c) x alpha / 255.
void VeilRect(HDC dc, const RECT& rect, BYTE alpha);
// Replaces target with a copy of what the parent's painted DC shows under
// control.
void CaptureControlBackground(HWND control, WTL::CBitmap& target, HDC parentDC);
// The face the pages write with: Tahoma, bold, ClearType, its height in
// tenths of a point (for CreatePointFontIndirect).
LOGFONTW BoldTahoma(LONG pointTenths);
// Fills rect with a vertical gradient from top to bottom.
void GradientFillRectV(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);
// The pages' bar: a white frame round a dark well, red from the left for
// the percent (0 to 100) of its inner width.
void DrawLevelBar(HDC dc, const RECT& area, int percent);
// The banner's two columns of four language texts in the selected font:
// the labels engraved (shadow, then white a pixel up and left) from
// firstLeft, the values in blue from secondLeft, 70 pixels above bottom.
void DrawBannerColumns(HDC dc, int firstLeft, int secondLeft, int right, int bottom);

template <class T>
class CBackgroundDlg : public ATL::CDialogImpl<T>, public WTL::COffscreenDrawRect<T> {
public:
    WTL::CBitmap m_capturedBackground;
    WTL::CBitmap m_logo;
    bool m_captureRequested;
    int m_veilAlpha;
    bool m_veiledBackground;
    bool m_whiteBorder;
    bool m_banner;

    CBackgroundDlg()
        : m_captureRequested(false), m_veilAlpha(25), m_veiledBackground(true), m_whiteBorder(true), m_banner(true)
    {
        m_logo.LoadBitmap(IDB_LOGO);
    }

    BEGIN_MSG_MAP(CBackgroundDlg)
        CHAIN_MSG_MAP(WTL::COffscreenDrawRect<T>)
    END_MSG_MAP()

    // The next paint also keeps a copy of what it painted.
    void RequestRepaint()
    {
        m_captureRequested = true;
        this->Invalidate(TRUE);
    }

    void DoPaint(WTL::CDCHandle dc) { DrawBackground(dc); }

    void DrawBackground(WTL::CDCHandle dc)
    {
        T* self = static_cast<T*>(this);
        WTL::CRect client;
        this->GetClientRect(&client);
        if (m_veiledBackground)
            PaintParentBackgroundVeiled(dc, this->GetParent(), this->m_hWnd, self->GetParentBackground(),
                                        static_cast<BYTE>(m_veilAlpha));
        else
            PaintParentBackground(dc, this->GetParent(), this->m_hWnd, self->GetParentBackground());
        if (m_whiteBorder) {
            WTL::CPen pen;
            pen.CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
            HPEN old = dc.SelectPen(pen);
            dc.MoveTo(client.right - 1, 0);
            dc.LineTo(client.right - 1, client.bottom - 1);
            dc.LineTo(0, client.bottom - 1);
            dc.LineTo(0, 0);
            dc.SelectPen(old);
        }
        if (m_banner) DrawBanner(dc);
        if (m_captureRequested) {
            CaptureBackground(dc);
            m_captureRequested = false;
        }
    }

    // The logo and two columns of four lines, centred at the bottom. The
    // columns' widths come from two fixed strings, whatever the language.
    void DrawBanner(WTL::CDCHandle dc)
    {
        WTL::CRect client;
        this->GetClientRect(&client);
        const int right = client.right, bottom = client.bottom;
        dc.SetBkMode(TRANSPARENT);
        WTL::CFont font;
        font.CreatePointFontIndirect(&BannerFont());
        HFONT oldFont = dc.SelectFont(font);

        static const wchar_t kFirstWidth[] = L"Elliptic Curve Encryption:";
        static const wchar_t kSecondWidth[] = L"16,384 Bits";
        SIZE first = {}, second = {};
        dc.GetTextExtent(kFirstWidth, lstrlenW(kFirstWidth), &first);
        dc.GetTextExtent(kSecondWidth, lstrlenW(kSecondWidth), &second);
        SIZE logo = {};
        m_logo.GetSize(logo);
        const int total = first.cx + second.cx + 80 + logo.cx;
        const int x = right / 2 - total / 2;
        const int y = bottom - 70;
        if (!m_logo.IsNull()) {
            CCompatibleDC memory(dc);
            HBITMAP old = static_cast<HBITMAP>(::SelectObject(memory, m_logo));
            dc.TransparentBlt(x, y, logo.cx, logo.cy, memory, 0, 0, logo.cx, logo.cy, RGB(255, 0, 255));
            ::SelectObject(memory, old);
        }

        DrawBannerColumns(dc, x + logo.cx + 20, x + logo.cx + first.cx + 79, right, bottom);
        dc.SelectFont(oldFont);
    }

    // The banner's font: Tahoma 7.5 point, bold.
    static const LOGFONTW& BannerFont()
    {
        static const LOGFONTW font = BoldTahoma(75);
        return font;
    }

    // Gives a bitmap button (through its BackgroundBitmap()) a copy of what
    // this dialog painted under it.
    template <class TButton>
    static void CaptureParentBackground(TButton& button, HDC dc)
    {
        CaptureControlBackground(button.m_hWnd, button.BackgroundBitmap(), dc);
    }

    void CaptureBackground(HDC dc)
    {
        WTL::CRect client;
        this->GetClientRect(&client);
        m_capturedBackground.DeleteObject();
        m_capturedBackground.CreateCompatibleBitmap(dc, client.Width(), client.Height());
        CCompatibleDC memory(dc);
        HGDIOBJ old = ::SelectObject(memory, m_capturedBackground);
        ::BitBlt(memory, 0, 0, client.Width(), client.Height(), dc, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
    }
};
