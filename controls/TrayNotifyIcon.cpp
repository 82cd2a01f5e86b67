#include "TrayNotifyIcon.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {
TrayShellNotify g_notify = nullptr;
int g_versionOverride = 0;

int RealShellVersion()
{
    static const int version = [] {
        typedef HRESULT(CALLBACK * DllGetVersionFunction)(DLLVERSIONINFO*);
        HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
        FARPROC found = shell ? ::GetProcAddress(shell, "DllGetVersion") : nullptr;
        DllGetVersionFunction get = reinterpret_cast<DllGetVersionFunction>(reinterpret_cast<void*>(found));
        DLLVERSIONINFO info = {};
        info.cbSize = sizeof(info);
        if (!get || FAILED(get(&info))) return 4;
        return static_cast<int>(info.dwMajorVersion);
    }();
    return version;
}

// The record's size tells the shell which of its fields it may read.
DWORD RecordSize(int version)
{
    if (version < 5) return NOTIFYICONDATAW_V1_SIZE;
    if (version == 5) return NOTIFYICONDATAW_V2_SIZE;
    return NOTIFYICONDATAW_V3_SIZE;
}

DWORD BalloonFlags(int style, bool noSound)
{
    static const DWORD kStyles[] = {NIIF_WARNING, NIIF_ERROR, NIIF_INFO, NIIF_NONE, NIIF_USER};
    DWORD flags = (style >= 0 && style <= 4) ? kStyles[style] : NIIF_NONE;
    return noSound ? flags | NIIF_NOSOUND : flags;
}

template <size_t N>
void CopyField(wchar_t (&field)[N], LPCWSTR text)
{
    lstrcpynW(field, text ? text : L"", static_cast<int>(N));
}

// A bitmap as the colour plane of an icon of small-icon size, with an
// all-zero (opaque) mask.
HICON IconFromBitmap(HBITMAP bitmap)
{
    if (!bitmap) return nullptr;
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    std::vector<BYTE> zeros(static_cast<size_t>((cx + 15) / 16 * 2) * cy, 0);
    HBITMAP mask = ::CreateBitmap(cx, cy, 1, 1, zeros.data());
    if (!mask) return nullptr;
    ICONINFO info = {TRUE, 0, 0, mask, bitmap};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    return icon;
}
}  // namespace

void SetTrayShell(TrayShellNotify notify, int majorVersion)
{
    g_notify = notify;
    g_versionOverride = majorVersion;
}

int TrayShellVersion() { return g_versionOverride ? g_versionOverride : RealShellVersion(); }

// ---------------------------------------------------------------- the hook

CTrayIconHooker::~CTrayIconHooker()
{
    StopAnimation();
    Uninstall();
}

bool CTrayIconHooker::Install(HWND window)
{
    HWND top = nullptr;
    for (HWND w = window; w;)
        w = ((::GetWindowLongW(top = w, GWL_STYLE) & WS_CHILD) ? ::GetParent(w) : ::GetWindow(w, GW_OWNER));
    if (!top) top = window;
    if (m_hWnd == top) return true;
    Uninstall();
    return SubclassWindow(top) != FALSE;
}

void CTrayIconHooker::Uninstall()
{
    // Refused while another procedure sits on top of ours: the hook then
    // stays in the chain and passes every message on.
    if (m_hWnd) UnsubclassWindow();
}

bool CTrayIconHooker::StartAnimation(const HICON* icons, int count, UINT delay)
{
    StopAnimation();
    if (!icons || count <= 0 || !m_hWnd) return false;
    m_icons.reset(new HICON[static_cast<size_t>(count)]);
    std::copy(icons, icons + count, m_icons.get());
    m_count = count;
    m_index = 0;
    m_timer = SetTimer(m_tray->GetId(), delay);
    if (!m_timer) StopAnimation();
    return m_timer != 0;
}

void CTrayIconHooker::StopAnimation()
{
    if (m_timer && m_hWnd && ::IsWindow(m_hWnd)) KillTimer(m_timer);
    m_timer = 0;
    m_icons.reset();
    m_count = m_index = 0;
}

BOOL CTrayIconHooker::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult, DWORD)
{
    if (uMsg != 0 && uMsg == GetTaskbarCreatedMessage()) {
        m_tray->OnTaskbarCreated();
        lResult = 0;
        return TRUE;
    }
    if (uMsg == WM_TIMER && m_timer && wParam == m_tray->GetId()) {
        m_index = (m_index + 1) % m_count;
        m_tray->OnAnimationTick(m_icons[m_index]);
        lResult = 0;
        return TRUE;
    }
    if (uMsg == WM_DESTROY) {
        // The window's own handling first: taking the icon away unhooks.
        lResult = DefWindowProc(uMsg, wParam, lParam);
        m_tray->RemoveIcon();
        return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------- the icon

CTrayNotifyIcon::CTrayNotifyIcon() : m_data(), m_hook(this)
{
    m_data.cbSize = RecordSize(TrayShellVersion());
}

CTrayNotifyIcon::~CTrayNotifyIcon()
{
    RemoveIcon();
    if (m_menu) ::DestroyMenu(m_menu);
    KeepIcon(nullptr);
}

bool CTrayNotifyIcon::Notify(DWORD message, UINT flags)
{
    NOTIFYICONDATAW data = m_data;
    data.uFlags = flags;
    return (g_notify ? g_notify : ::Shell_NotifyIconW)(message, &data) != FALSE;
}

void CTrayNotifyIcon::SetVersion()
{
    // The version shares its field with the balloon's time-out; that stays.
    NOTIFYICONDATAW data = m_data;
    data.uVersion = NOTIFYICON_VERSION;
    (g_notify ? g_notify : ::Shell_NotifyIconW)(NIM_SETVERSION, &data);
}

bool CTrayNotifyIcon::AddToShell()
{
    if (!Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP)) return false;
    if (TrayShellVersion() > 4) SetVersion();
    return true;
}

void CTrayNotifyIcon::KeepIcon(HICON owned)
{
    if (m_ownedIcon && m_ownedIcon != owned) ::DestroyIcon(m_ownedIcon);
    m_ownedIcon = owned;
}

void CTrayNotifyIcon::ApplyDefaultItem()
{
    HMENU popup = m_menu ? ::GetSubMenu(m_menu, 0) : nullptr;
    if (popup) ::SetMenuDefaultItem(popup, m_defaultItem, m_defaultByPosition);
}

bool CTrayNotifyIcon::CreateWith(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, HICON icon,
                                 UINT callbackMessage, UINT menuId, UINT extraFlags)
{
    RemoveIcon();
    if (!notificationWindow) return false;
    HMENU menu = ::LoadMenuW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(menuId ? menuId : id));
    if (!menu || !::GetSubMenu(menu, 0)) {
        if (menu) ::DestroyMenu(menu);
        return false;
    }
    if (m_menu) ::DestroyMenu(m_menu);
    m_menu = menu;
    ApplyDefaultItem();
    if (!m_hook.Install(notificationWindow->m_hWnd)) return false;

    m_notificationWindow = notificationWindow;
    m_data.hWnd = notificationWindow->m_hWnd;
    m_data.uID = id;
    m_data.uCallbackMessage = callbackMessage;
    m_data.hIcon = icon;
    CopyField(m_data.szTip, tooltip);
    m_created = Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP | extraFlags);
    m_hidden = false;
    // A failed add leaves the window unhooked.
    if (!m_created) m_hook.Uninstall();
    return m_created;
}

bool CTrayNotifyIcon::Create(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, LPCWSTR balloonText,
                             LPCWSTR balloonTitle, UINT balloonTimeout, int balloonStyle, HICON icon,
                             UINT callbackMessage, UINT menuId, bool noSound)
{
    CopyField(m_data.szInfo, balloonText);
    CopyField(m_data.szInfoTitle, balloonTitle);
    m_data.uTimeout = balloonTimeout;
    m_data.dwInfoFlags = BalloonFlags(balloonStyle, noSound);
    if (!CreateWith(notificationWindow, id, tooltip, icon, callbackMessage, menuId, NIF_INFO)) return false;
    SetVersion();
    return true;
}

bool CTrayNotifyIcon::Create(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, HICON icon,
                             UINT callbackMessage, UINT menuId)
{
    if (!CreateWith(notificationWindow, id, tooltip, icon, callbackMessage, menuId, 0)) return false;
    if (TrayShellVersion() > 4) SetVersion();
    return true;
}

bool CTrayNotifyIcon::CreateFromBitmap(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, HBITMAP bitmap,
                                       UINT callbackMessage, UINT menuId)
{
    HICON icon = IconFromBitmap(bitmap);
    if (!icon) return false;
    bool created = Create(notificationWindow, id, tooltip, icon, callbackMessage, menuId);
    if (created)
        KeepIcon(icon);
    else
        ::DestroyIcon(icon);
    return created;
}

bool CTrayNotifyIcon::CreateFromBitmap(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip,
                                       LPCWSTR balloonText, LPCWSTR balloonTitle, UINT balloonTimeout,
                                       int balloonStyle, HBITMAP bitmap, UINT callbackMessage, UINT menuId,
                                       bool noSound)
{
    HICON icon = IconFromBitmap(bitmap);
    if (!icon) return false;
    bool created = Create(notificationWindow, id, tooltip, balloonText, balloonTitle, balloonTimeout, balloonStyle,
                          icon, callbackMessage, menuId, noSound);
    if (created)
        KeepIcon(icon);
    else
        ::DestroyIcon(icon);
    return created;
}

bool CTrayNotifyIcon::CreateAnimated(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip, const HICON* icons,
                                     int count, UINT delay, UINT callbackMessage, UINT menuId)
{
    if (!icons || count <= 0) return false;
    if (!Create(notificationWindow, id, tooltip, icons[0], callbackMessage, menuId)) return false;
    m_hook.StartAnimation(icons, count, delay);
    return true;
}

bool CTrayNotifyIcon::CreateAnimated(ATL::CWindow* notificationWindow, UINT id, LPCWSTR tooltip,
                                     LPCWSTR balloonText, LPCWSTR balloonTitle, UINT balloonTimeout,
                                     int balloonStyle, const HICON* icons, int count, UINT delay,
                                     UINT callbackMessage, UINT menuId, bool noSound)
{
    if (!icons || count <= 0) return false;
    if (!Create(notificationWindow, id, tooltip, balloonText, balloonTitle, balloonTimeout, balloonStyle, icons[0],
                callbackMessage, menuId, noSound))
        return false;
    m_hook.StartAnimation(icons, count, delay);
    return true;
}

LRESULT CTrayNotifyIcon::OnTrayNotification(WPARAM id, LPARAM mouseMessage)
{
    if (id != m_data.uID) return 0;
    HMENU popup = m_menu ? ::GetSubMenu(m_menu, 0) : nullptr;
    HWND window = m_notificationWindow ? m_notificationWindow->m_hWnd : nullptr;
    if (!popup || !window) return 1;
    switch (mouseMessage) {
    case WM_RBUTTONUP: {
        POINT cursor;
        ::GetCursorPos(&cursor);
        ::SetForegroundWindow(window);
        ::TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
        // Without it the menu stays open when the user clicks elsewhere.
        ::PostMessageW(window, WM_NULL, 0, 0);
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        ::SetForegroundWindow(window);
        UINT command = ::GetMenuDefaultItem(popup, FALSE, GMDI_GOINTOPOPUPS);
        if (command != static_cast<UINT>(-1)) ::SendMessageW(window, WM_COMMAND, command, 0);
        break;
    }
    default:
        break;
    }
    return 1;
}

bool CTrayNotifyIcon::SetBalloonDetails(LPCWSTR text, LPCWSTR title, int style, UINT timeout, HICON userIcon,
                                        bool noSound)
{
    if (!m_created) return false;
    CopyField(m_data.szInfo, text);
    CopyField(m_data.szInfoTitle, title);
    m_data.uTimeout = timeout;
    m_data.dwInfoFlags = BalloonFlags(style, noSound);
    UINT flags = NIF_INFO;
    if (style == kUser && userIcon) {
        m_hook.StopAnimation();
        m_data.hIcon = userIcon;
        KeepIcon(nullptr);
        flags |= NIF_ICON;
    }
    return Notify(NIM_MODIFY, flags);
}

bool CTrayNotifyIcon::SetTooltipText(LPCWSTR text)
{
    const size_t field = sizeof(m_data.szTip) / sizeof(m_data.szTip[0]);
    if (!m_created || !text || std::wcslen(text) >= field) return false;
    CopyField(m_data.szTip, text);
    return Notify(NIM_MODIFY, NIF_TIP);
}

bool CTrayNotifyIcon::SetTooltipText(UINT stringId)
{
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(ATL::GetModuleInstance(), stringId, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return false;
    return SetTooltipText(std::wstring(text, static_cast<size_t>(length)).c_str());
}

bool CTrayNotifyIcon::SetIcon(HICON icon)
{
    if (!m_created) return false;
    m_hook.StopAnimation();
    m_data.hIcon = icon;
    KeepIcon(icon == m_ownedIcon ? icon : nullptr);
    return Notify(NIM_MODIFY, NIF_ICON);
}

bool CTrayNotifyIcon::SetIconFromBitmap(HBITMAP bitmap)
{
    if (!m_created) return false;
    HICON icon = IconFromBitmap(bitmap);
    if (!icon) return false;
    KeepIcon(icon);
    return SetIcon(icon);
}

bool CTrayNotifyIcon::SetIconFromResource(LPCWSTR name)
{
    if (!m_created) return false;
    HICON icon = static_cast<HICON>(::LoadImageW(ATL::GetModuleInstance(), name, IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    if (!icon) return false;
    KeepIcon(icon);
    return SetIcon(icon);
}

bool CTrayNotifyIcon::SetStandardIcon(LPCWSTR standardId)
{
    if (!m_created) return false;
    HICON icon = ::LoadIconW(nullptr, standardId);  // shared: never destroyed
    return icon && SetIcon(icon);
}

bool CTrayNotifyIcon::SetAnimatedIcon(const HICON* icons, int count, UINT delay)
{
    if (!m_created || !icons || count <= 0 || !SetIcon(icons[0])) return false;
    return m_hook.StartAnimation(icons, count, delay);
}

HICON CTrayNotifyIcon::GetIcon() const { return m_hook.IsAnimating() ? m_hook.CurrentFrame() : m_data.hIcon; }

void CTrayNotifyIcon::OnAnimationTick(HICON frame)
{
    NOTIFYICONDATAW data = m_data;
    data.uFlags = NIF_ICON;
    data.hIcon = frame;
    (g_notify ? g_notify : ::Shell_NotifyIconW)(NIM_MODIFY, &data);
}

bool CTrayNotifyIcon::SetNotificationWindow(ATL::CWindow* notificationWindow)
{
    if (!m_created || !notificationWindow || !notificationWindow->IsWindow()) return false;
    // The shell knows the icon by its window: it leaves under the old one
    // and comes back under the new one.
    // The animation's timer belonged to the old window: it stops.
    Notify(NIM_DELETE, 0);
    m_hook.StopAnimation();
    m_notificationWindow = notificationWindow;
    m_data.hWnd = notificationWindow->m_hWnd;
    m_hook.Install(m_data.hWnd);
    if (m_hidden && TrayShellVersion() < 5) return true;
    if (!AddToShell()) {
        m_created = false;
        m_hook.Uninstall();
        return false;
    }
    if (m_hidden) Notify(NIM_MODIFY, NIF_STATE);
    return true;
}

bool CTrayNotifyIcon::SetMenu(HMENU menu)
{
    if (!m_created || !menu || !::IsMenu(menu)) return false;
    if (m_menu && m_menu != menu) ::DestroyMenu(m_menu);
    m_menu = menu;
    ApplyDefaultItem();
    return true;
}

bool CTrayNotifyIcon::SetDefaultMenuItem(UINT item, bool byPosition)
{
    if (!m_created) return false;
    m_defaultItem = item;
    m_defaultByPosition = byPosition;
    ApplyDefaultItem();
    return true;
}

bool CTrayNotifyIcon::SetFocus() { return m_created && Notify(NIM_SETFOCUS, 0); }

bool CTrayNotifyIcon::Hide()
{
    if (!m_created) return false;
    if (m_hidden) return true;
    bool done;
    if (TrayShellVersion() < 5) {
        done = Notify(NIM_DELETE, 0);
    } else {
        m_data.dwState = m_data.dwStateMask = NIS_HIDDEN;
        done = Notify(NIM_MODIFY, NIF_STATE);
    }
    m_hidden = true;
    return done;
}

bool CTrayNotifyIcon::Show()
{
    if (!m_created) return false;
    if (!m_hidden) return true;
    bool done;
    if (TrayShellVersion() < 5) {
        done = Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    } else {
        m_data.dwState = 0;
        m_data.dwStateMask = NIS_HIDDEN;
        // A shell started since the icon was hidden does not know it.
        done = Notify(NIM_MODIFY, NIF_STATE) || AddToShell();
    }
    m_hidden = false;
    return done;
}

void CTrayNotifyIcon::OnTaskbarCreated()
{
    // A new shell knows no icon: a shown one is added anew.
    if (m_created && !m_hidden) AddToShell();
}

void CTrayNotifyIcon::RemoveIcon()
{
    if (!m_created) return;
    Notify(NIM_DELETE, 0);
    m_hook.StopAnimation();
    m_hook.Uninstall();
    m_created = false;
    m_hidden = false;
}

HICON CTrayNotifyIcon::LoadSmallIcon(UINT id)
{
    HINSTANCE module = ATL::GetModuleInstance();
    HICON icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
    return icon ? icon : ::LoadIconW(module, MAKEINTRESOURCEW(id));
}
