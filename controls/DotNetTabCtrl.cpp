#include "DotNetTabCtrl.h"

#include <algorithm>

namespace {
int MaxChannel(COLORREF c) { return std::max({GetRValue(c), GetGValue(c), GetBValue(c)}); }

// The button face, lightened so that the strip stands out from it.
COLORREF Lightened(COLORREF face)
{
    const int max = MaxChannel(face);
    const int delta = max < 221 ? 35 : 255 - max;
    auto channel = [&](int c) {
        if (max == 0) return c + delta;
        return static_cast<int>(c + static_cast<double>(delta) * c / max + 0.5);
    };
    return RGB(channel(GetRValue(face)), channel(GetGValue(face)), channel(GetBValue(face)));
}

// The button text, a little softer, for the tabs that are not selected.
COLORREF Softened(COLORREF text)
{
    const int max = MaxChannel(text);
    if (max == 0) return text;
    auto channel = [&](int c) {
        if (c <= 42) return c / 2;
        return static_cast<int>(c - (static_cast<double>(c) / max * 43 + 0.5));
    };
    return RGB(channel(GetRValue(text)), channel(GetGValue(text)), channel(GetBValue(text)));
}

void FrameButton(HDC dc, const RECT& r, TabButtonEdge edge)
{
    RECT frame = r;
    if (edge == kEdgeSunken)
        ::DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
    else if (edge == kEdgeRaised)
        ::DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
}
}  // namespace

TabStripColors ChooseTabStripColors(int bitsPerPixel, COLORREF buttonFace, COLORREF buttonText, COLORREF grayText)
{
    if (bitsPerPixel < 9) return {true, 0, grayText};
    return {false, Lightened(buttonFace), Softened(buttonText)};
}

int TabTextTopOffset(LONG fontHeight) { return (-fontHeight - 11) / 2; }

void DrawTabLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color)
{
    HPEN pen = ::CreatePen(PS_SOLID, 1, color);
    HGDIOBJ old = ::SelectObject(dc, pen);
    ::MoveToEx(dc, x1, y1, nullptr);
    ::LineTo(dc, x2, y2);
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
}

void DrawTabCloseButton(HDC dc, const RECT& r, bool pressed, TabButtonEdge edge, COLORREF color)
{
    RECT g = r;
    if (pressed) ::OffsetRect(&g, 1, 1);
    HPEN pen = ::CreatePen(PS_SOLID, 1, color);
    HGDIOBJ old = ::SelectObject(dc, pen);
    const POINT strokes[4][2] = {{{g.left + 3, g.top + 4}, {g.right - 5, g.bottom - 4}},
                                 {{g.left + 4, g.top + 4}, {g.right - 4, g.bottom - 4}},
                                 {{g.left + 3, g.bottom - 5}, {g.right - 5, g.top + 3}},
                                 {{g.left + 4, g.bottom - 5}, {g.right - 4, g.top + 3}}};
    for (const auto& s : strokes) {
        ::MoveToEx(dc, s[0].x, s[0].y, nullptr);
        ::LineTo(dc, s[1].x, s[1].y);
    }
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
    FrameButton(dc, r, edge);
}

void DrawTabScrollButton(HDC dc, const RECT& r, bool right, bool pressed, TabButtonEdge edge, COLORREF color)
{
    RECT g = r;
    if (pressed) ::OffsetRect(&g, 1, 1);
    const int middle = (g.bottom + g.top) / 2;
    POINT triangle[3];
    if (right) {
        triangle[0] = {g.left + 5, g.top + 3};
        triangle[1] = {g.left + 5, g.bottom - 4};
        triangle[2] = {g.right - 6, middle};
    } else {
        triangle[0] = {g.right - 6, g.top + 3};
        triangle[1] = {g.right - 6, g.bottom - 4};
        triangle[2] = {g.left + 5, middle};
    }
    HPEN pen = ::CreatePen(PS_SOLID, 1, color);
    HBRUSH brush = ::CreateSolidBrush(color);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    ::Polygon(dc, triangle, 3);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(brush);
    ::DeleteObject(pen);
    FrameButton(dc, r, edge);
}
