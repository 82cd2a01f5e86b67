// The program's icon in the notification area: tooltip, optional balloon,
// animated frames, a context menu on a right click and the menu's default
// command on a left click. CTrayIconHooker subclasses the top-level window
// that receives the icon's notifications, so that the icon comes back after
// the shell restarts, the animation ticks, and the icon goes with the window.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "WindowImpl.h"

class CTrayNotifyIcon;

// The process-wide tray icon and the registered number of the shell's
// "TaskbarCreated" message, defined with the other process-wide objects.
CTrayNotifyIcon* GetTrayIcon();
UINT GetTaskbarCreatedMessage();

// What the icon asks of the shell: Shell_NotifyIconW, and the shell's major
// version (DllGetVersion of shell32, read once; 4 when it has none). A test
// puts its own in place before it builds an icon; null and 0 restore the
// real ones.
typedef BOOL(WINAPI* TrayShellNotify)(DWORD message, PNOTIFYICONDATAW data);
void SetTrayShell(TrayShellNotify notify, int majorVersion);
int TrayShellVersion();

class CTrayIconHooker : public ATL::CWindowImpl<CTrayIconHooker> {
public:
    explicit CTrayIconHooker(CTrayNotifyIcon* tray) : m_tray(tray) {}
    ~CTrayIconHooker() override;
    CTrayIconHooker(const CTrayIconHooker&) = delete;
    CTrayIconHooker& operator=(const CTrayIconHooker&) = delete;

    // Subclasses the top-level window above window (through parents, then
    // owners), or window itself.
    bool Install(HWND window);
    void Uninstall();
    bool IsInstalled() const { return m_hWnd != nullptr; }

    // Frames shown in turn every delay milliseconds, on a timer of the hooked
    // window whose id is the icon's.
    bool StartAnimation(const HICON* icons, int count, UINT delay);
    void StopAnimation();
    bool IsAnimating() const { return m_timer != 0; }
    HICON CurrentFrame() const { return m_count ? m_icons[m_index] : nullptr; }

    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                              DWORD dwMsgMapID = 0) override;

private:
    CTrayNotifyIcon* m_tray;
    std::unique_ptr<HICON[]> m_icons;
    int m_count = 0;
    int m_index = 0;
    UINT_PTR m_timer = 0;
};

class CTrayNotifyIcon {
public:
    // Balloon styles.
    enum { kWarning = 0, kError = 1, kInfo = 2, kNone = 3, kUser = 4 };

    CTrayNotifyIcon();
    virtual ~CTrayNotifyIcon();
    CTrayNotifyIcon(const CTrayNotifyIcon&) = delete;
    CTrayNotifyIcon& operator=(const CTrayNotifyIcon&) = delete;

    // The mouse on the icon: wParam and lParam of the callback message. 1
    // when the notification is this icon's, else 0.
    virtual LRESULT OnTrayNotification(WPARAM id, LPARAM mouseMessage);

    // Adds the icon with tooltip and balloon. The menu is resource menuId
    // (the icon id when 0); its first popup is the context menu. Texts
    // longer than their fields (127, 255 and 63 characters) are cut.
    bool Create(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, LPCWSTR balloonText,
                LPCWSTR balloonTitle, UINT balloonTimeout, int balloonStyle, HICON icon, UINT callbackMessage,
                UINT menuId, bool noSound);
    // Without a balloon.
    bool Create(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, HICON icon, UINT callbackMessage,
                UINT menuId);
    // The icon made from a bitmap.
    bool CreateFromBitmap(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, HBITMAP bitmap,
                          UINT callbackMessage, UINT menuId);
    bool CreateFromBitmap(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, LPCWSTR balloonText,
                          LPCWSTR balloonTitle, UINT balloonTimeout, int balloonStyle, HBITMAP bitmap,
                          UINT callbackMessage, UINT menuId, bool noSound);
    // Shows the first icon, then each in turn every delay milliseconds.
    bool CreateAnimated(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, const HICON* icons, int count,
                        UINT delay, UINT callbackMessage, UINT menuId);
    bool CreateAnimated(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, LPCWSTR balloonText,
                        LPCWSTR balloonTitle, UINT balloonTimeout, int balloonStyle, const HICON* icons, int count,
                        UINT delay, UINT callbackMessage, UINT menuId, bool noSound);

    // Every setter is refused (false) while the icon is not created.
    bool SetBalloonDetails(LPCWSTR text, LPCWSTR title, int style, UINT timeout, HICON userIcon = nullptr,
                           bool noSound = false);
    std::wstring GetBalloonText() const { return m_data.szInfo; }
    std::wstring GetBalloonTitle() const { return m_data.szInfoTitle; }
    UINT GetBalloonTimeout() const { return m_data.uTimeout; }
    // Refused too when the text does not fit the tooltip's 127 characters.
    bool SetTooltipText(LPCWSTR text);
    bool SetTooltipText(UINT stringId);
    std::wstring GetTooltipText() const { return m_data.szTip; }

    // The caller keeps an icon it hands in; the icon kept from a bitmap or a
    // resource belongs to this object until it is replaced.
    bool SetIcon(HICON icon);
    bool SetIconFromBitmap(HBITMAP bitmap);
    bool SetIconFromResource(LPCWSTR name);
    bool SetIconFromResource(UINT id) { return SetIconFromResource(MAKEINTRESOURCEW(id)); }
    bool SetStandardIcon(LPCWSTR standardId);
    bool SetAnimatedIcon(const HICON* icons, int count, UINT delay);
    // The frame shown when animating, else the icon.
    HICON GetIcon() const;

    bool SetNotificationWindow(ATL::CWindow* notificationWindow);
    ATL::CWindow* GetNotificationWindow() const { return m_notificationWindow; }

    // The object owns the menu it is given.
    bool SetMenu(HMENU menu);
    HMENU GetMenu() const { return m_menu; }
    bool SetDefaultMenuItem(UINT item, bool byPosition);

    bool SetFocus();
    bool Hide();
    bool Show();
    void RemoveIcon();

    bool IsCreated() const { return m_created; }
    bool IsHidden() const { return m_hidden; }
    UINT GetId() const { return m_data.uID; }

    // A numeric icon resource of the module at 16 x 16; the caller owns it.
    static HICON LoadSmallIcon(UINT id);

private:
    friend class CTrayIconHooker;

    bool CreateWith(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, HICON icon, UINT callbackMessage,
                    UINT menuId, UINT extraFlags);
    bool Notify(DWORD message, UINT flags);
    // Adds the icon to the shell as it stands (also anew, after a restart).
    bool AddToShell();
    void SetVersion();
    void KeepIcon(HICON owned);
    void ApplyDefaultItem();
    void OnTaskbarCreated();
    void OnAnimationTick(HICON frame);

    NOTIFYICONDATAW m_data;
    bool m_created = false;
    bool m_hidden = false;
    ATL::CWindow* m_notificationWindow = nullptr;
    CTrayIconHooker m_hook;
    HMENU m_menu = nullptr;
    UINT m_defaultItem = 0;
    bool m_defaultByPosition = true;
    HICON m_ownedIcon = nullptr;
};
