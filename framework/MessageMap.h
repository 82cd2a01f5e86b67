// Message maps: a class declares, in order, which member handles which
// window message, command or notification. The first entry that handles a
// message ends the search; a handler that clears its handled flag lets the
// later entries, the chained maps and finally default processing see it.
#pragma once

#include <windows.h>
#include <commctrl.h>

// A child control receives the notifications its parent reflects back to it
// under these numbers: the original message plus OCM__BASE.
#define OCM__BASE (WM_USER + 0x1c00)
#define OCM_COMMAND (OCM__BASE + WM_COMMAND)
#define OCM_CTLCOLORBTN (OCM__BASE + WM_CTLCOLORBTN)
#define OCM_CTLCOLOREDIT (OCM__BASE + WM_CTLCOLOREDIT)
#define OCM_CTLCOLORDLG (OCM__BASE + WM_CTLCOLORDLG)
#define OCM_CTLCOLORLISTBOX (OCM__BASE + WM_CTLCOLORLISTBOX)
#define OCM_CTLCOLORMSGBOX (OCM__BASE + WM_CTLCOLORMSGBOX)
#define OCM_CTLCOLORSCROLLBAR (OCM__BASE + WM_CTLCOLORSCROLLBAR)
#define OCM_CTLCOLORSTATIC (OCM__BASE + WM_CTLCOLORSTATIC)
#define OCM_DRAWITEM (OCM__BASE + WM_DRAWITEM)
#define OCM_MEASUREITEM (OCM__BASE + WM_MEASUREITEM)
#define OCM_DELETEITEM (OCM__BASE + WM_DELETEITEM)
#define OCM_VKEYTOITEM (OCM__BASE + WM_VKEYTOITEM)
#define OCM_CHARTOITEM (OCM__BASE + WM_CHARTOITEM)
#define OCM_COMPAREITEM (OCM__BASE + WM_COMPAREITEM)
#define OCM_HSCROLL (OCM__BASE + WM_HSCROLL)
#define OCM_VSCROLL (OCM__BASE + WM_VSCROLL)
#define OCM_PARENTNOTIFY (OCM__BASE + WM_PARENTNOTIFY)
#define OCM_NOTIFY (OCM__BASE + WM_NOTIFY)

namespace ATL {

// Anything with a message map. Map 0 is the default one; ALT_MSG_MAP adds
// further numbered maps that a chaining class can ask for.
class CMessageMap {
public:
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD dwMsgMapID) = 0;
};

}  // namespace ATL

#define BEGIN_MSG_MAP(theClass)                                                           \
public:                                                                                   \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,         \
                              LRESULT& lResult, DWORD dwMsgMapID = 0)                     \
    {                                                                                     \
        BOOL bHandled = TRUE;                                                             \
        (void)hWnd;                                                                       \
        (void)bHandled;                                                                   \
        switch (dwMsgMapID) {                                                             \
        case 0:

#define ALT_MSG_MAP(msgMapID) \
    break;                    \
    case msgMapID:

#define END_MSG_MAP() \
    break;            \
    default:          \
        break;        \
        }             \
        return FALSE; \
        }

#define MESSAGE_HANDLER(msg, func)                             \
    if (uMsg == (msg)) {                                       \
        bHandled = TRUE;                                       \
        lResult = func(uMsg, wParam, lParam, bHandled);        \
        if (bHandled) return TRUE;                             \
    }

#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)         \
    if (uMsg >= (msgFirst) && uMsg <= (msgLast)) {             \
        bHandled = TRUE;                                       \
        lResult = func(uMsg, wParam, lParam, bHandled);        \
        if (bHandled) return TRUE;                             \
    }

// Command handlers: func(WORD notifyCode, WORD id, HWND control, BOOL& handled).
#define COMMAND_HANDLER(id, code, func)                                                      \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {          \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define COMMAND_ID_HANDLER(id, func)                                                         \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                      \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define COMMAND_CODE_HANDLER(code, func)                                                     \
    if (uMsg == WM_COMMAND && HIWORD(wParam) == (code)) {                                    \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define COMMAND_RANGE_HANDLER(idFirst, idLast, func)                                         \
    if (uMsg == WM_COMMAND && LOWORD(wParam) >= (idFirst) && LOWORD(wParam) <= (idLast)) {   \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

// Notification handlers: func(int controlId, LPNMHDR header, BOOL& handled).
#define NOTIFY_HANDLER(id, cd, func)                                                         \
    if (uMsg == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lParam)->idFrom == (UINT_PTR)(id) &&  \
        reinterpret_cast<LPNMHDR>(lParam)->code == (UINT)(cd)) {                             \
        bHandled = TRUE;                                                                     \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define NOTIFY_CODE_HANDLER(cd, func)                                                        \
    if (uMsg == WM_NOTIFY && reinterpret_cast<LPNMHDR>(lParam)->code == (UINT)(cd)) {        \
        bHandled = TRUE;                                                                     \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

// Offers the message to another class's map (a base or a mix-in of this one).
#define CHAIN_MSG_MAP(theChainClass)                                                         \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

#define CHAIN_MSG_MAP_ALT(theChainClass, msgMapID)                                           \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, msgMapID))  \
        return TRUE;

#define CHAIN_MSG_MAP_MEMBER(theChainMember)                                                 \
    if ((theChainMember).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

// Sends a child's notification back to the child as OCM__BASE + message.
#define REFLECT_NOTIFICATIONS()                                                              \
    {                                                                                        \
        bHandled = TRUE;                                                                     \
        lResult = this->ReflectNotifications(uMsg, wParam, lParam, bHandled);                      \
        if (bHandled) return TRUE;                                                           \
    }

// Passes a child's notifications on to this window's own parent.
#define FORWARD_NOTIFICATIONS()                                                              \
    {                                                                                        \
        bHandled = TRUE;                                                                     \
        lResult = this->ForwardNotifications(uMsg, wParam, lParam, bHandled);                      \
        if (bHandled) return TRUE;                                                           \
    }

// In a control: a reflected message nobody handled gets the default answer
// of the original message.
#define DEFAULT_REFLECTION_HANDLER()                                                         \
    if (this->DefaultReflectionHandler(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;
