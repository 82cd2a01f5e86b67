// The manager's lifecycle: start and stop, the connect thread with its host
// rotation and 100 ms pump, the reset, and the watchdog that brings the
// session back to the primary server.
#include "session/VoIPManager.h"

#include <cstring>

#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"
#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/LanguageTable.h"
#include "wire/TcpConnect.h"

VoIPManager::VoIPManager()
    : connectThread(nullptr),
      watchdogThread(nullptr),
      serverPort(0),
      localUdpPort(0),
      dropConnection(false),
      callState(0),
      hostIndex(0),
      onSecondary(false),
      fallbackSuccesses(0),
      sessionReady(false),
      callRequested(false),
      resetCount(0)
{
    stopEvent.Create(1, 0, nullptr);
}

VoIPManager::~VoIPManager()
{
}

void VoIPManager::SetStopFlag(bool stop)
{
    stopFlag.Set(stop);
    if (stop)
        stopEvent.Set();
    else
        stopEvent.Reset();
}

void VoIPManager::Pause(uint32_t ms)
{
    // Stop waits for both threads; a plain Sleep would keep it waiting for
    // up to a whole watchdog period.
    WaitForSingleObject(stopEvent.GetHandle(), ms);
}

class VoIPManager::AttemptWatch : public ConnectWatch {
public:
    explicit AttemptWatch(VoIPManager& manager) : manager_(manager), resets_(manager.resetCount) {}
    bool Abandoned() override { return manager_.IsStopping() || manager_.resetCount != resets_; }

private:
    VoIPManager& manager_;
    const uint32_t resets_;
};

std::string VoIPManager::GetOwnName()
{
    ScopedLock lock(contactsLock);
    return ownName;
}

void VoIPManager::PostText(VoipEventKind kind, int32_t languageId)
{
    handlerRegistry.Broadcast(kind, VoipEventText{GetLanguageString(languageId)});
}

bool VoIPManager::Start(const char* host, uint16_t port, const char* user, const char* pass,
                        uint16_t udpPortBase)
{
    if (connectThread)
        return false;
    serverHost = host ? host : "";
    serverPort = port;
    userName = user ? user : "";
    password = pass ? pass : "";
    const int32_t instance = GetAppConfig()->GetInstanceIndex();
    localUdpPort = static_cast<uint16_t>(udpPortBase + (instance != -1 ? instance : 0));
    SetStopFlag(false);

    watchdogThread = CreateThread(nullptr, 0, WatchdogThreadProc, this, 0, nullptr);
    if (!watchdogThread)
        return false;
    connectThread = CreateThread(nullptr, 0, ConnectThreadProc, this, 0, nullptr);
    if (!connectThread) {
        // Without a connect thread Stop would not run; end the watchdog here.
        SetStopFlag(true);
        WaitForSingleObject(watchdogThread, INFINITE);
        CloseHandle(watchdogThread);
        watchdogThread = nullptr;
        return false;
    }
    return true;
}

void VoIPManager::Stop()
{
    if (!connectThread)
        return;
    SetStopFlag(true);
    handlerRegistry.Clear();
    for (HANDLE* thread : {&watchdogThread, &connectThread}) {
        if (*thread) {
            WaitForSingleObject(*thread, INFINITE);
            CloseHandle(*thread);
            *thread = nullptr;
        }
    }
    {
        ScopedLock lock(linkLock);
        sessionReady = false;
        link.Close();
    }
    // The next start begins without a call or transfer of this session.
    DropTransfers();
    EndCallOnReset();
    mediaEngine.CloseSocket();
}

DWORD WINAPI VoIPManager::ConnectThreadProc(void* manager)
{
    VoIPManager* self = static_cast<VoIPManager*>(manager);
    if (!self->Initialise())
        return 1;
    self->RunConnection();
    return 0;
}

DWORD WINAPI VoIPManager::WatchdogThreadProc(void* manager)
{
    static_cast<VoIPManager*>(manager)->RunWatchdog();
    return 0;
}

bool VoIPManager::Initialise()
{
    handlerRegistry.Broadcast(VE_StartSucceeded);
    if (!GetMachineId(identity)) {
        PostText(VE_StartFailed, 53);
        return false;
    }
    if (!GetCodecSet()->Init()) {
        PostText(VE_StartFailed, 54);
        return false;
    }
    CryptoCore* crypto = GetCryptoCore();
    if (!crypto->GenerateKeys()) {
        PostText(VE_StartFailed, 55);
        return false;
    }
    if (!mediaEngine.OpenSocket(localUdpPort)) {
        PostText(VE_StartFailed, 56);
        return false;
    }
    unsigned char area[kLoginArea];
    std::memset(area, 0, sizeof(area));
    uint32_t n = crypto->EncryptWithBuiltinKey(identity, static_cast<uint32_t>(identity.size()), area);
    encryptedIdentity.Assign(area, static_cast<int>(n));
    std::memset(area, 0, sizeof(area));
    n = crypto->EncryptWithBuiltinKey(userName, static_cast<uint32_t>(userName.size()), area);
    encryptedUserName.Assign(area, static_cast<int>(n));
    link.AddHandler(this);
    return true;
}

std::string VoIPManager::ChooseServerHost()
{
    AppConfig* config = GetAppConfig();
    const int32_t index = hostIndex;
    if (index <= 0) {
        hostIndex = index + 1;
        return config->GetServerHost();
    }
    if (index == 1) {
        hostIndex = 2;
        return config->GetBackupServerHost();
    }
    hostIndex = 0;
    return std::string();
}

bool VoIPManager::ConnectToServer()
{
    // Before the host is chosen: a reset from here on restarts the rotation,
    // and this attempt is not part of it.
    AttemptWatch watch(*this);
    const std::string host = ChooseServerHost();
    if (host.empty()) {
        handlerRegistry.Broadcast(VE_ConnectFailed);
        onSecondary = false;
        return false;
    }
    handlerRegistry.Broadcast(VE_Connecting);
    // Without the link lock: windows send and reset while this waits.
    SOCKET s = OpenTcpConnection(host.c_str(), serverPort, &watch);
    ScopedLock lock(linkLock);
    link.Close();
    if (s != INVALID_SOCKET && watch.Abandoned()) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    AppConfig* config = GetAppConfig();
    link.SetTestInstance(config->GetInstanceIndex() != -1);
    if (!link.Attach(s)) {
        handlerRegistry.Broadcast(VE_ConnectFailed);
        onSecondary = false;
        return false;
    }
    if (host == config->GetServerHost())
        onSecondary = false;
    else if (host == config->GetBackupServerHost())
        onSecondary = true;
    handlerRegistry.Broadcast(VE_Connected);
    // Under the same lock, so that the login is the first message of every
    // connection.
    SendLogin();
    return true;
}

void VoIPManager::RunConnection()
{
    while (!IsStopping()) {
        if (!ConnectToServer()) {
            Pause(kRetryPauseMs);
            continue;
        }
        while (!IsStopping()) {
            bool lost;
            {
                ScopedLock lock(linkLock);
                lost = !link.Pump() || dropConnection;
                if (lost)
                    ResetSession();
            }
            if (lost) {
                // Without the lock: a window's request meanwhile finds the
                // link closed or the session not signed in, and is refused.
                Pause(kResetPauseMs);
                break;
            }
            ReportProbedPath();
            PumpFileTransfers();
            Pause(kPumpPeriodMs);
        }
    }
}

void VoIPManager::ReportProbedPath()
{
    if (callState == 2) {
        SendProbeReport(false);
        callState = 4;
    }
    if (callState == 3) {
        SendProbeReport(true);
        callState = 4;
    }
}

void VoIPManager::ResetSession()
{
    ++resetCount;
    hostIndex = 0;
    onSecondary = false;
    fallbackSuccesses = 0;
    dropConnection = false;
    // Neither sends, so neither needs the link lock; a reset from the
    // watchdog must not hold it while it waits for a transfer lock.
    DropTransfers();
    EndCallOnReset();
    // Taken here, so that a reset from the watchdog or a window never closes
    // the link under a running pump; the connect thread already holds it.
    ScopedLock lock(linkLock);
    sessionReady = false;
    handlerRegistry.Broadcast(VE_CallEnded);
    link.Close();
    handlerRegistry.Broadcast(VE_SessionReset);
}

void VoIPManager::RunWatchdog()
{
    while (!IsStopping()) {
        if (onSecondary && !dropConnection && TestPrimaryServer()) {
            if (fallbackSuccesses < kFallbackTestsCounted)
                ++fallbackSuccesses;
            else
                ResetSession();
        }
        Pause(kWatchdogPeriodMs);
    }
}

bool VoIPManager::TestPrimaryServer()
{
    AttemptWatch watch(*this);
    SOCKET s = OpenTcpConnection(GetAppConfig()->GetServerHost().c_str(), GetServerPort(), &watch);
    if (s == INVALID_SOCKET)
        return false;
    closesocket(s);
    return true;
}
