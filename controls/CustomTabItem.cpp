#include "CustomTabItem.h"

CCustomTabItem::CCustomTabItem() : m_rect{0, 0, 0, 0}, m_imageIndex(-1), m_highlighted(false), m_canClose(true) {}

bool CCustomTabItem::MatchItem(const CCustomTabItem& probe, DWORD flags) const
{
    if ((flags & kMatchRect) && !::EqualRect(&m_rect, &probe.m_rect)) return false;
    if ((flags & kMatchImage) && m_imageIndex != probe.m_imageIndex) return false;
    if ((flags & kMatchText) && m_text != probe.m_text) return false;
    if ((flags & kMatchToolTip) && m_toolTip != probe.m_toolTip) return false;
    if ((flags & kMatchHighlighted) && m_highlighted != probe.m_highlighted) return false;
    if ((flags & kMatchCanClose) && m_canClose != probe.m_canClose) return false;
    return true;
}

bool CTabViewTabItem::MatchItem(const CTabViewTabItem& probe, DWORD flags) const
{
    if ((flags & kMatchTabView) && m_tabView != probe.m_tabView) return false;
    return CCustomTabItem::MatchItem(probe, flags);
}
