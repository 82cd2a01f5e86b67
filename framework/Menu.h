// Menus: CMenu owns and destroys its menu, CMenuHandle only wraps one.
#pragma once

#include <windows.h>

#include "Gdi.h"
#include "Window.h"

namespace WTL {

template <bool t_bManaged>
class CMenuT : private detail::CopyPolicy<t_bManaged> {
public:
    HMENU m_hMenu;

    CMenuT(HMENU h = nullptr) : m_hMenu(h) {}
    ~CMenuT()
    {
        if (t_bManaged) DestroyMenu();
    }
    operator HMENU() const { return m_hMenu; }
    bool IsNull() const { return m_hMenu == nullptr; }
    BOOL IsMenu() const { return ::IsMenu(m_hMenu); }

    void Attach(HMENU h)
    {
        if (t_bManaged && m_hMenu && m_hMenu != h) ::DestroyMenu(m_hMenu);
        m_hMenu = h;
    }
    HMENU Detach()
    {
        HMENU h = m_hMenu;
        m_hMenu = nullptr;
        return h;
    }
    BOOL DestroyMenu()
    {
        if (!m_hMenu) return FALSE;
        BOOL ok = ::DestroyMenu(m_hMenu);
        m_hMenu = nullptr;
        return ok;
    }

    HMENU LoadMenu(UINT id)
    {
        Attach(::LoadMenuW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(id)));
        return m_hMenu;
    }
    HMENU CreatePopupMenu()
    {
        Attach(::CreatePopupMenu());
        return m_hMenu;
    }

    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    HMENU GetSubMenu(int position) const { return ::GetSubMenu(m_hMenu, position); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    int GetMenuString(UINT item, LPWSTR text, int count, UINT flags) const
    {
        return ::GetMenuStringW(m_hMenu, item, text, count, flags);
    }
    BOOL AppendMenu(UINT flags, UINT_PTR idOrPopup = 0, LPCWSTR text = nullptr)
    {
        return ::AppendMenuW(m_hMenu, flags, idOrPopup, text);
    }
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR idOrPopup = 0, LPCWSTR text = nullptr)
    {
        return ::InsertMenuW(m_hMenu, position, flags, idOrPopup, text);
    }
    BOOL DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
    BOOL RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
    BOOL SetMenuDefaultItem(UINT item, BOOL byPosition) { return ::SetMenuDefaultItem(m_hMenu, item, byPosition); }
    UINT GetMenuDefaultItem(BOOL byPosition, UINT flags) const
    {
        return ::GetMenuDefaultItem(m_hMenu, byPosition, flags);
    }
    DWORD CheckMenuItem(UINT item, UINT check) { return ::CheckMenuItem(m_hMenu, item, check); }
    BOOL EnableMenuItem(UINT item, UINT enable) { return ::EnableMenuItem(m_hMenu, item, enable); }
    BOOL TrackPopupMenu(UINT flags, int x, int y, HWND owner, const RECT* exclude = nullptr)
    {
        return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner, exclude);
    }
};
typedef CMenuT<true> CMenu;
typedef CMenuT<false> CMenuHandle;

}  // namespace WTL
