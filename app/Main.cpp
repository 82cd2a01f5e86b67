// The program's entry: identity, language tool, configuration and language,
// one normal instance (or a numbered one beside it), Winsock, COM and the
// common controls, the sign-in dialog, the main frame and its message loop,
// and the way back down.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>

#include "AppModule.h"
#include "base/Locks.h"
#include "base/ProcessOrder.h"
#include "LoginDlg.h"
#include "media/SoundSet.h"
#include "PelvaneFrame.h"
#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/LanguageTable.h"
#include "TrayNotifyIcon.h"
#include "UserRegistry.h"
#include "WideText.h"
#include "WindowSettings.h"

namespace {
WTL::CAppModule g_module PELVANE_PROCESS_OBJECT(kOrderAppModule);
CTrayNotifyIcon g_trayIcon PELVANE_PROCESS_OBJECT(kOrderTrayIcon);
// The shell's message that it was restarted: the tray icon is added anew.
struct TaskbarCreatedMessage {
    UINT id = RegisterWindowMessageW(L"TaskbarCreated");
};
TaskbarCreatedMessage g_taskbarCreated PELVANE_PROCESS_OBJECT(kOrderTaskbarCreated);

const wchar_t kToolCommand[] = L"enc_resource";
const wchar_t kIdentityFailure[] =
    L"Computer ID could not be verified, if you are using Windows Vista please run Quorvel as an administrator, "
    L"and disable User Account Control (UAC). If the problem continues please contact support@quorvel.example";
const UINT kErrorStyle = MB_ICONERROR | MB_SETFOREGROUND;

int Fail(const wchar_t* text, const wchar_t* caption, UINT style, int exitCode)
{
    MessageBoxW(nullptr, text, caption, style);
    return exitCode;
}
}  // namespace

CTrayNotifyIcon* GetTrayIcon() { return &g_trayIcon; }
UINT GetTaskbarCreatedMessage() { return g_taskbarCreated.id; }

int Run(const wchar_t*, int showCommand)
{
    WTL::CMessageLoop loop;
    g_module.AddMessageLoop(&loop);
    std::unique_ptr<CPelvaneFrame> frame(new CPelvaneFrame);
    std::unique_ptr<CLoginDlg> login(new CLoginDlg);
    int result = 0;
    if (login->DoModal(GetActiveWindow()) == IDOK && frame->CreateEx()) {
        WindowSettings placement;
        if (placement.Load(kProgramKey, CPelvaneFrame::kPlacementPrefix, HKEY_CURRENT_USER))
            placement.ApplyTo(*frame, showCommand);
        else
            frame->ShowWindow(showCommand);
        SetActiveWindow(*frame);
        BringWindowToTop(*frame);
        SetForegroundWindow(*frame);
        result = loop.Run();
    }
    g_module.RemoveMessageLoop();
    login.reset();
    frame.reset();
    return result;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    std::string identity;
    if (!GetMachineId(identity)) return Fail(kIdentityFailure, L"Error", kErrorStyle, 0);
    const bool toolRun = wcscmp(commandLine, kToolCommand) == 0;
    if (toolRun) EncryptLanguageFiles();

    AppConfig* config = GetAppConfig();
    if (!config->Load()) config->SetDefaults();
    // A chosen language whose file cannot be loaded gives way to English.
    const int32_t language = LoadStartLanguage(config->GetLanguageIndex());
    if (language < 0) return Fail(L"Failed to load resource", L"Error", kErrorStyle, 1);
    config->SetLanguageIndex(language);

    // The instance number is read in the ANSI code page.
    const std::string narrow = ToAnsi(commandLine);
    if (!narrow.empty() && !toolRun) {
        // A numbered instance runs beside the normal one.
        config->SetInstanceIndex(std::atoi(narrow.c_str()));
    } else {
        config->SetInstanceIndex(-1);
        static NamedMutex startupMutex;
        if (startupMutex.Create(true, L"Quorvel_Startup_Mutex") && GetLastError() == ERROR_ALREADY_EXISTS)
            return Fail(LanguageTable[13], LanguageTable[14], MB_OK, 0);
    }

    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return Fail(LanguageTable[15], LanguageTable[16], kErrorStyle, 1);
    if (FAILED(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
        CoUninitialize();
        return Fail(LanguageTable[17], LanguageTable[16], kErrorStyle, 1);
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    g_module.Init(instance);

    const int result = Run(commandLine, showCommand);

    // An event sound may still be playing, the end of a call's above all.
    // Its player is stopped and waited for: under Wine, a player cut off by
    // the end of the process can crash it on the way out.
    GetSoundSet()->Stop();
    g_module.Term();
    CoUninitialize();
    config->Save();
    return result;
}
