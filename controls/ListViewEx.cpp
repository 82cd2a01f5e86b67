#include "ListViewEx.h"

namespace {
// Tahoma 9 point bold, italic for the second column.
HFONT ItemFont(bool italic)
{
    LOGFONTW font = BoldTahoma(90);
    font.lfItalic = italic ? TRUE : FALSE;
    return WTL::CreatePointFontFromLogFont(font, nullptr);
}

void DrawColumn(WTL::CDCHandle dc, const std::wstring& text, RECT rect, UINT format, COLORREF colour, bool italic)
{
    WTL::CFont font(ItemFont(italic));
    HFONT oldFont = dc.SelectFont(font);
    COLORREF oldColour = dc.SetTextColor(colour);
    dc.DrawText(text.c_str(), -1, &rect, format);
    dc.SetTextColor(oldColour);
    dc.SelectFont(oldFont);
}
}  // namespace

void CListViewEx::DoPaint(WTL::CDCHandle dc)
{
    WTL::CRect client;
    GetClientRect(&client);
    PaintParentBackground(dc, GetParent(), m_hWnd, m_host ? m_host->GetParentBackground() : nullptr);
    // As many items as 15-pixel rows reach the bottom, from the top one.
    WTL::CRect row(0, 0, client.right, kRowHeight);
    for (int item = GetTopIndex(); item < GetItemCount() && row.top <= client.bottom; ++item) {
        row.bottom = row.top + kRowHeight;
        DrawItem(dc, item);
        row.OffsetRect(0, kRowHeight);
    }
}

void CListViewEx::DrawItem(WTL::CDCHandle dc, int item)
{
    dc.SetBkMode(TRANSPARENT);
    RECT bounds = {}, second = {};
    GetItemRect(item, &bounds, LVIR_BOUNDS);
    GetSubItemRect(item, 1, LVIR_BOUNDS, &second);
    RECT first = bounds;
    first.right = second.left - 1;
    const COLORREF colour = ItemColour(static_cast<LPARAM>(GetItemData(item)));
    // DT_VCENTER without DT_SINGLELINE leaves the text at the top.
    DrawColumn(dc, GetItemText(item, 0), first, DT_CENTER | DT_VCENTER, colour, false);
    second.left += 8;
    DrawColumn(dc, GetItemText(item, 1), second, DT_VCENTER, colour, true);
}
