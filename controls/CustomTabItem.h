// The items of the tab strip: a tab's rectangle, image, texts and flags,
// and, for the tabbed window, the view window the tab stands for.
#pragma once

#include <windows.h>

#include <string>

// Which fields a search compares; every flag given must match.
enum TabItemMatch : DWORD {
    kMatchRect = 0x01,
    kMatchImage = 0x02,
    kMatchText = 0x04,
    kMatchToolTip = 0x08,
    kMatchTabView = 0x10,
    kMatchHighlighted = 0x20,
    kMatchCanClose = 0x40,
};

class CCustomTabItem {
public:
    CCustomTabItem();
    virtual ~CCustomTabItem() {}

    const RECT& GetRect() const { return m_rect; }
    void SetRect(const RECT& rect) { m_rect = rect; }
    int GetImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index) { m_imageIndex = index; }
    const std::wstring& GetText() const { return m_text; }
    void SetText(const std::wstring& text) { m_text = text; }
    const std::wstring& GetToolTip() const { return m_toolTip; }
    void SetToolTip(const std::wstring& text) { m_toolTip = text; }
    bool IsHighlighted() const { return m_highlighted; }
    void SetHighlighted(bool highlighted) { m_highlighted = highlighted; }
    bool CanClose() const { return m_canClose; }
    void SetCanClose(bool canClose) { m_canClose = canClose; }

    // Compares the fields named by flags (the tab view is not one of ours).
    bool MatchItem(const CCustomTabItem& probe, DWORD flags) const;

private:
    RECT m_rect;  // client coordinates, before scrolling
    int m_imageIndex;
    std::wstring m_text;
    std::wstring m_toolTip;
    bool m_highlighted;
    bool m_canClose;
};

class CTabViewTabItem : public CCustomTabItem {
public:
    HWND GetTabView() const { return m_tabView; }
    bool SetTabView(HWND view)
    {
        m_tabView = view;
        return true;
    }

    bool MatchItem(const CTabViewTabItem& probe, DWORD flags) const;

private:
    HWND m_tabView = nullptr;
};
