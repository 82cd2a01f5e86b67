#include "Gdi.h"

#include <cstdlib>

namespace WTL {

HFONT CreatePointFontFromLogFont(const LOGFONTW& pointFont, HDC dc)
{
    HDC screen = dc ? nullptr : ::GetDC(nullptr);
    HDC target = dc ? dc : screen;
    // Tenths of a point to device pixels, then to the DC's logical units.
    POINT size = {0, ::MulDiv(pointFont.lfHeight, ::GetDeviceCaps(target, LOGPIXELSY), 720)};
    POINT origin = {0, 0};
    ::DPtoLP(target, &size, 1);
    ::DPtoLP(target, &origin, 1);
    LOGFONTW font = pointFont;
    font.lfHeight = -std::abs(size.y - origin.y);
    if (screen) ::ReleaseDC(nullptr, screen);
    return ::CreateFontIndirectW(&font);
}

CMemoryDC::CMemoryDC(HDC target, const RECT& area) : target_(target), area_(area), oldBitmap_(nullptr)
{
    CreateCompatibleDC(target);
    bitmap_.CreateCompatibleBitmap(target, area_.Width(), area_.Height());
    oldBitmap_ = SelectBitmap(bitmap_);
    SetViewportOrg(-area_.left, -area_.top);
}

CMemoryDC::~CMemoryDC()
{
    ::BitBlt(target_, area_.left, area_.top, area_.Width(), area_.Height(), m_hDC, area_.left, area_.top, SRCCOPY);
    SelectBitmap(oldBitmap_);
}

}  // namespace WTL
