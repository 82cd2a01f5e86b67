#include "RegisterMidDlg.h"

#include <memory>

#include "base/FileHandle.h"
#include "Gdi.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/LanguageTable.h"
#include "WideText.h"

namespace {
// The part of the picture that is shown, stretched over the picture area.
const int kPictureWidth = 236;
const int kPictureHeight = 62;
const int kMaxNameUnits = 1024;
}  // namespace

CRegisterMidDlg::~CRegisterMidDlg()
{
    if (picture_) DeleteObject(picture_);
}

LRESULT CRegisterMidDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    wchar_t path[MAX_PATH];
    if (GetModuleDirPath(L"pics\\logo.jpg", path, MAX_PATH))
        picture_ = static_cast<HBITMAP>(
            LoadImageW(nullptr, path, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE | LR_LOADFROMFILE));
    pictureArea_.Attach(GetDlgItem(IDC_DEVICE_PICTURE));
    statusText_.Attach(GetDlgItem(IDC_STATUS));
    registerButton_.Attach(GetDlgItem(IDC_REGISTER));
    // The installation's picture takes the built-in banner's place.
    if (picture_) ::ShowWindow(GetDlgItem(IDB_BANNER), SW_HIDE);
    SetTimer(kTimerId, 100);
    GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&handler_);
    return FALSE;
}

LRESULT CRegisterMidDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    WTL::CPaintDC dc(m_hWnd);
    if (!picture_ || !pictureArea_.m_hWnd) return 0;
    WTL::CRect area;
    pictureArea_.GetClientRect(&area);
    pictureArea_.ClientToScreen(&area);
    ScreenToClient(&area);
    WTL::CDC memory;
    memory.CreateCompatibleDC(dc);
    HBITMAP old = memory.SelectBitmap(picture_);
    dc.SetStretchBltMode(COLORONCOLOR);
    dc.StretchBlt(area.left, area.top, area.Width(), area.Height(), memory, 0, 0, kPictureWidth, kPictureHeight,
                  SRCCOPY);
    memory.SelectBitmap(old);
    return 0;
}

LRESULT CRegisterMidDlg::OnRegister(WORD, WORD, HWND, BOOL&)
{
    std::wstring name = GetWindowTextLimited(GetDlgItem(IDC_NAME), kMaxNameUnits);
    if (name.empty()) {
        boxes_.Box(m_hWnd, LanguageTable[46], LanguageTable[45], MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        return 0;
    }
    statusText_.SetWindowText(LanguageTable[47]);
    registerButton_.EnableWindow(FALSE);
    std::string ansiName = ToAnsi(name);
    GetAppConfig()->SetDeviceName(ansiName);
    GetVoIPManager()->RegisterDevice(ansiName, GetDeviceKind());
    return 0;
}

LRESULT CRegisterMidDlg::OnTimer(UINT, WPARAM, LPARAM, BOOL&)
{
    if (boxes_.IsOpen()) return 0;
    std::unique_ptr<VoipEvent> event(handler_.PopEvent());
    if (!event) return 0;
    switch (event->GetKind()) {
    case VE_DeviceRegisterFailed: {
        VoipEventText* reason = event->Payload<VoipEventText>();
        std::wstring text = reason ? FromAnsi(reason->text) : std::wstring();
        boxes_.Box(m_hWnd, text.c_str(), LanguageTable[41], MB_ICONEXCLAMATION | MB_SETFOREGROUND);
        statusText_.SetWindowText(LanguageTable[42]);
        registerButton_.EnableWindow(TRUE);
        break;
    }
    case VE_DeviceRegistered:
        boxes_.Box(m_hWnd, LanguageTable[43], LanguageTable[44], MB_SETFOREGROUND);
        EndDialog(1);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CRegisterMidDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    KillTimer(kTimerId);
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    return 0;
}

LRESULT CRegisterMidDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(2);
    return 0;
}
