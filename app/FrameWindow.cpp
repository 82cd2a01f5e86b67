// The frame's window operations: hide and show, flash, come to the front,
// and the tray icon's image.
#include "PelvaneFrame.h"
#include "TrayNotifyIcon.h"

void CPelvaneFrame::ToggleVisible()
{
    if (IsWindowVisible()) {
        ShowWindow(SW_HIDE);
    } else {
        ShowWindow(SW_SHOW);
        SetForegroundWindow();
    }
}

void CPelvaneFrame::ShowAndFlash()
{
    // A hidden frame comes back minimised: flashing on the task bar, not in
    // the user's way.
    ShowWindow(IsWindowVisible() ? SW_SHOW : SW_SHOWMINIMIZED);
    FlashWindow(TRUE);
}

void CPelvaneFrame::ForceForeground()
{
    const DWORD own = ::GetCurrentThreadId();
    const DWORD foreground = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const bool attached = foreground && foreground != own && ::AttachThreadInput(own, foreground, TRUE);
    SetForegroundWindow();
    if (attached) ::AttachThreadInput(own, foreground, FALSE);
}

HICON CPelvaneFrame::TrayImage(bool online)
{
    // The tray shows the icon it was given again after a shell restart, so
    // both live as long as the process.
    static const HICON offline = CTrayNotifyIcon::LoadSmallIcon(IDI_TRAY_OFFLINE);
    static const HICON signedIn = CTrayNotifyIcon::LoadSmallIcon(IDI_TRAY_ONLINE);
    return online ? signedIn : offline;
}

void CPelvaneFrame::UpdateTrayIcon()
{
    if (m_frameState == kFrameOffline) GetTrayIcon()->SetIcon(TrayImage(false));
    if (m_frameState == kFrameIdle) GetTrayIcon()->SetIcon(TrayImage(true));
}
