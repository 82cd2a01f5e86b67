#include "BackgroundDlg.h"

#include "DIBSection.h"
#include "settings/LanguageTable.h"

namespace {
// Where child's client point lies in parent's client area.
POINT InParent(HWND parent, HWND child, POINT p)
{
    ::ClientToScreen(child, &p);
    ::ScreenToClient(parent, &p);
    return p;
}

bool HasBitmap(const WTL::CBitmap* background) { return background && !background->IsNull(); }
}  // namespace

void PaintParentBackground(HDC dc, HWND parent, HWND child, const WTL::CBitmap* background)
{
    if (!HasBitmap(background)) return;
    RECT client;
    ::GetClientRect(child, &client);
    CCompatibleDC memory(dc);
    HGDIOBJ old = ::SelectObject(memory, *background);
    POINT origin = InParent(parent, child, {0, 0});
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, origin.x, origin.y, SRCCOPY);
    ::SelectObject(memory, old);
}

void PaintParentBackgroundRect(HDC dc, HWND parent, HWND child, const RECT& rect, const WTL::CBitmap* background)
{
    if (!HasBitmap(background)) return;
    CCompatibleDC memory(dc);
    HGDIOBJ old = ::SelectObject(memory, *background);
    POINT origin = InParent(parent, child, {rect.left, rect.top});
    ::BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory, origin.x, origin.y,
             SRCCOPY);
    ::SelectObject(memory, old);
}

void PaintParentBackgroundVeiled(HDC dc, HWND parent, HWND child, const WTL::CBitmap* background, BYTE alpha)
{
    PaintParentBackground(dc, parent, child, background);
    RECT client;
    ::GetClientRect(child, &client);
    VeilRect(dc, client, alpha);
}

WTL::CBitmap* CPageBackground::GetParentBackground()
{
    WTL::CBitmap* picture = m_source ? m_source->GetParentBackground() : nullptr;
    if (!HasBitmap(picture) || !::IsWindow(m_page)) return nullptr;
    HWND host = ::GetParent(m_page);
    RECT client;
    ::GetClientRect(m_page, &client);
    const POINT origin = InParent(host, m_page, {0, 0});
    const RECT place = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    if (m_part.IsNull() || m_takenFrom != *picture || !::EqualRect(&place, &m_takenAt)) {
        m_part.DeleteObject();
        m_takenFrom = nullptr;
        if (client.right <= 0 || client.bottom <= 0) return nullptr;
        HDC screen = ::GetDC(m_page);
        m_part.CreateCompatibleBitmap(screen, client.right, client.bottom);
        if (!m_part.IsNull()) {
            CCompatibleDC memory(screen);
            HGDIOBJ old = ::SelectObject(memory, m_part);
            PaintParentBackground(memory, host, m_page, picture);
            ::SelectObject(memory, old);
            m_takenFrom = *picture;
            m_takenAt = place;
        }
        ::ReleaseDC(m_page, screen);
    }
    return m_part.IsNull() ? nullptr : &m_part;
}

void AlphaBlendConst(HDC destination, int x, int y, int width, int height, HDC source, BYTE alpha)
{
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    ::AlphaBlend(destination, x, y, width, height, source, 0, 0, width, height, blend);
}

void VeilRect(HDC dc, const RECT& rect, BYTE alpha)
{
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;
    // White with opaque alpha bytes. A bitmap filled by GDI would carry
    // alpha bytes of 0, and blended as premultiplied that adds the alpha to
    // every channel instead of laying a veil.
    CDIBSection white;
    if (!white.Create(width, -height, 32)) return;
    DWORD* pixels = static_cast<DWORD*>(white.GetBits());
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) pixels[i] = 0xFFFFFFFF;
    CCompatibleDC memory(dc);
    HGDIOBJ old = ::SelectObject(memory, white.GetBitmap());
    AlphaBlendConst(dc, rect.left, rect.top, width, height, memory, alpha);
    ::SelectObject(memory, old);
}

void CaptureControlBackground(HWND control, WTL::CBitmap& target, HDC parentDC)
{
    RECT client;
    ::GetClientRect(control, &client);
    POINT origin = InParent(::GetParent(control), control, {0, 0});
    target.DeleteObject();
    target.CreateCompatibleBitmap(parentDC, client.right, client.bottom);
    CCompatibleDC memory(parentDC);
    HGDIOBJ old = ::SelectObject(memory, target);
    ::BitBlt(memory, 0, 0, client.right, client.bottom, parentDC, origin.x, origin.y, SRCCOPY);
    ::SelectObject(memory, old);
}

void GradientFillRectV(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom)
{
    TRIVERTEX vertices[2] = {
        {rect.left, rect.top, COLOR16(GetRValue(top) << 8), COLOR16(GetGValue(top) << 8), COLOR16(GetBValue(top) << 8), 0},
        {rect.right, rect.bottom, COLOR16(GetRValue(bottom) << 8), COLOR16(GetGValue(bottom) << 8),
         COLOR16(GetBValue(bottom) << 8), 0}};
    GRADIENT_RECT mesh = {0, 1};
    ::GradientFill(dc, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_V);
}

void DrawLevelBar(HDC dc, const RECT& area, int percent)
{
    RECT inside = area;
    if (IsRectEmpty(&inside)) return;
    HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    ::FrameRect(dc, &inside, white);
    ::InflateRect(&inside, -1, -1);
    if (IsRectEmpty(&inside)) return;
    GradientFillRectV(dc, inside, RGB(84, 82, 82), RGB(12, 11, 1));
    ::InflateRect(&inside, -3, -3);
    if (IsRectEmpty(&inside)) return;
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    inside.right = inside.left + (inside.right - inside.left) * percent / 100;
    if (inside.right > inside.left) GradientFillRectV(dc, inside, RGB(248, 0, 0), RGB(112, 6, 6));
}

LOGFONTW BoldTahoma(LONG pointTenths)
{
    LOGFONTW font = {};
    font.lfHeight = pointTenths;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    return font;
}

void DrawBannerColumns(HDC hdc, int firstLeft, int secondLeft, int right, int bottom)
{
    WTL::CDCHandle dc(hdc);
    WTL::CRect row(firstLeft, bottom - 70, right, bottom - 70 + 22);
    for (int k = 0; k < 4; ++k) {
        const wchar_t* text = LanguageTable[129 + k];
        row.top = bottom - 70 + 17 * k;
        dc.SetTextColor(0x77746F);
        dc.DrawText(text, -1, &row, DT_VCENTER);
        WTL::CRect lifted = row;
        lifted.OffsetRect(-1, -1);
        dc.SetTextColor(0xFFFFFF);
        dc.DrawText(text, -1, &lifted, DT_VCENTER);
        row.bottom += 22;
    }

    static const int kSecondColumn[4] = {133, 134, 137, 135};
    row = WTL::CRect(secondLeft, bottom - 71, right, bottom - 48);
    dc.SetTextColor(0xFF3333);
    for (int k = 0; k < 4; ++k) {
        row.top = bottom - 71 + 17 * k;
        dc.DrawText(LanguageTable[kSecondColumn[k]], -1, &row, DT_VCENTER);
        row.bottom += 22;
    }
}
