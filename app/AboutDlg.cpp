#include "AboutDlg.h"

#include <algorithm>
#include <initializer_list>

#include "settings/LanguageTable.h"
#include "VersionInfo.h"

namespace {
const wchar_t kEdition[] = L"Quorvel Enterprise";
const wchar_t kTrademark[] = L"TM";
const wchar_t kNotice[] = L"Copyright (C) Quorvel. All rights reserved.";
const COLORREF kMagenta = RGB(255, 0, 255);

SIZE TextSize(WTL::CDCHandle dc, const wchar_t* text)
{
    SIZE size = {};
    dc.GetTextExtent(text, lstrlenW(text), &size);
    return size;
}

// The widest of the given language texts.
LONG WidestText(WTL::CDCHandle dc, std::initializer_list<int> ids)
{
    LONG widest = 0;
    for (int id : ids) widest = std::max(widest, TextSize(dc, LanguageTable[id]).cx);
    return widest;
}
}  // namespace

LRESULT CAboutDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    m_banner = false;
    versionText_ = L"---";
    CFileVersionInfo version;
    if (version.Open(nullptr)) versionText_ = version.GetProductVersion();
    return TRUE;
}

void CAboutDlg::DoPaint(WTL::CDCHandle dc)
{
    DrawBackground(dc);
    WTL::CRect client;
    GetClientRect(&client);
    const LONG right = client.right, bottom = client.bottom;

    SIZE logo = {};
    m_logo.GetSize(logo);
    const int y0 = bottom / 2 - logo.cy / 2 - 30;
    const int x0 = right / 2 - logo.cx / 2;
    if (!m_logo.IsNull()) {
        CCompatibleDC memory(dc);
        HGDIOBJ old = ::SelectObject(memory, m_logo);
        dc.TransparentBlt(x0, y0 - logo.cy, logo.cx, logo.cy, memory, 0, 0, logo.cx, logo.cy, kMagenta);
        ::SelectObject(memory, old);
    }

    dc.SetBkMode(TRANSPARENT);
    WTL::CFont editionFont, smallFont;
    const LOGFONTW edition12 = BoldTahoma(120), small7 = BoldTahoma(70);
    editionFont.CreatePointFontIndirect(&edition12, dc);
    smallFont.CreatePointFontIndirect(&small7, dc);
    HFONT oldFont = dc.SelectFont(editionFont);
    dc.SetTextColor(0x333333);
    WTL::CRect text(client.left, y0 + 30, right, bottom);
    dc.DrawText(kEdition, -1, &text, DT_CENTER | DT_VCENTER);
    const SIZE edition = TextSize(dc, kEdition);

    dc.SelectFont(smallFont);
    WTL::CRect mark(right / 2 + edition.cx / 2, text.top, right, bottom);
    dc.DrawText(kTrademark, -1, &mark, DT_VCENTER);

    text.top += edition.cy + 10;
    std::wstring version = std::wstring(LanguageTable[136]) + versionText_;
    dc.DrawText(version.c_str(), -1, &text, DT_CENTER | DT_VCENTER);

    text.top = bottom - 30;
    dc.SetTextColor(0x666666);
    dc.DrawText(kNotice, -1, &text, DT_CENTER | DT_VCENTER);

    DrawTextBlock(dc, WTL::CRect(client.left, client.top, right, bottom - 30));
    dc.SelectFont(oldFont);
}

void CAboutDlg::DrawTextBlock(WTL::CDCHandle dc, const RECT& area)
{
    dc.SetBkMode(TRANSPARENT);
    WTL::CFont font;
    font.CreatePointFontIndirect(&BannerFont(), dc);
    HFONT oldFont = dc.SelectFont(font);
    // Each column as wide as its widest text in the current language, so
    // that no label runs into its value.
    const LONG first = WidestText(dc, {129, 130, 131, 132});
    const LONG second = WidestText(dc, {133, 134, 137, 135});
    const LONG left = area.right / 2 - (first + second + 40) / 2;
    DrawBannerColumns(dc, left + 20, left + first + 40, area.right, area.bottom);
    dc.SelectFont(oldFont);
}
