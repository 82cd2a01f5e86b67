#include "OwnerDrawListBox.h"

#include <cctype>
#include <utility>

#include "settings/LanguageTable.h"

std::string ToAnsiText(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int units = static_cast<int>(text.size());
    int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text.data(), units, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring ToWideText(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int bytes = static_cast<int>(text.size());
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, &out[0], n);
    return out;
}

namespace {
std::string SortKey(const std::string& text)
{
    std::string key(text);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

const COLORREF kGrey = RGB(111, 116, 119);
const COLORREF kReachableBlue = RGB(10, 32, 117);
const COLORREF kMarkKey = RGB(164, 164, 164);
const UINT kTextFlags = DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS;
// Language text 95: what an unreachable contact's row says on its right.
const int kOfflineText = 95;

// The row font: Tahoma 9 point, bold.
const LOGFONTW& RowFont()
{
    static const LOGFONTW font = BoldTahoma(90);
    return font;
}

void DrawMark(WTL::CDCHandle dc, HBITMAP mark, SIZE size, int left, int top)
{
    CCompatibleDC memory(dc);
    HGDIOBJ old = ::SelectObject(memory, mark);
    dc.TransparentBlt(left, top, size.cx, size.cy, memory, 0, 0, size.cx, size.cy, kMarkKey);
    ::SelectObject(memory, old);
}

void DrawOffline(WTL::CDCHandle dc, int left, int right, const RECT& text)
{
    WTL::CRect place(left, text.top, right, text.bottom);
    dc.SetTextColor(kGrey);
    dc.DrawText(LanguageTable[kOfflineText], -1, &place, kTextFlags | DT_RIGHT);
}

void FramedRoundRect(WTL::CDCHandle dc, const RECT& rect, int corner, COLORREF penColour)
{
    WTL::CPen pen;
    pen.CreatePen(PS_SOLID, 1, penColour);
    HPEN oldPen = dc.SelectPen(pen);
    HBRUSH oldBrush = dc.SelectBrush(::GetSysColorBrush(COLOR_WINDOW));
    dc.RoundRect(&rect, {corner, corner});
    dc.SelectBrush(oldBrush);
    dc.SelectPen(oldPen);
}
}  // namespace

void SortContactGroup(std::vector<SortedContactRow>& group)
{
    std::vector<std::string> keys;
    keys.reserve(group.size());
    for (const SortedContactRow& s : group) keys.push_back(SortKey(s.row.displayText));
    for (size_t i = 0; i + 1 < group.size(); ++i) {
        for (size_t j = i + 1; j < group.size(); ++j) {
            if (keys[j] < keys[i]) {
                std::swap(keys[i], keys[j]);
                std::swap(group[i], group[j]);
            }
        }
    }
}

RECT DrawContactRow(HDC hdc, const RECT& rect, const wchar_t* text, int32_t status, bool selected, HBITMAP mark)
{
    WTL::CDCHandle dc(hdc);
    const WTL::CRect row(rect);
    WTL::CFont font;
    font.CreatePointFontIndirect(&RowFont());
    HFONT oldFont = dc.SelectFont(font);
    dc.SetBkMode(TRANSPARENT);

    SIZE markSize = {0, 0};
    const bool hasMark = mark && WTL::CBitmapHandle(mark).GetSize(markSize);
    if (!hasMark) markSize = {0, 0};

    WTL::CRect textRect(row);
    textRect.DeflateRect(2, 2);
    WTL::CRect inner(row);
    UINT align = status == kContactCentred ? DT_CENTER : 0;
    if (!selected) {
        if (hasMark) DrawMark(dc, mark, markSize, row.left + 10, row.top + (row.Height() - markSize.cy) / 2 + 2);
        textRect.left += markSize.cx + 16;
        if (status == kContactUnreachable) DrawOffline(dc, row.right - 120, row.right - 20, textRect);
        dc.SetTextColor(status == kContactReachable ? kReachableBlue : kGrey);
    } else {
        inner.DeflateRect(3, 3);
        FramedRoundRect(dc, inner, 5, RGB(55, 55, 55));
        WTL::CRect second(inner);
        second.DeflateRect(1, 1);
        FramedRoundRect(dc, second, 2, RGB(110, 113, 120));
        inner.DeflateRect(2, 2);
        GradientFillRectV(dc, inner, RGB(93, 93, 93), RGB(6, 6, 6));
        if (hasMark) DrawMark(dc, mark, markSize, inner.left + 5, inner.top + (inner.Height() - markSize.cy) / 2);
        textRect.left += markSize.cx + 18;
        if (status == kContactUnreachable) DrawOffline(dc, inner.right - 120, inner.right - 15, textRect);
        dc.SetTextColor(RGB(255, 255, 255));
    }
    dc.DrawText(text, -1, &textRect, kTextFlags | align);
    dc.SelectFont(oldFont);
    return inner;
}
