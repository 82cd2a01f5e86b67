#include "DialogTestKit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>

#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "TrayNotifyIcon.h"
#include "wire/Buf.h"
#include "wire/CmdMsg.h"

// The process-wide GUI objects the application library reaches.
CTrayNotifyIcon g_trayIcon;
UINT g_taskbarCreatedMessage = ::RegisterWindowMessageW(L"TaskbarCreated");
CTrayNotifyIcon* GetTrayIcon() { return &g_trayIcon; }
UINT GetTaskbarCreatedMessage() { return g_taskbarCreatedMessage; }

namespace dlgtest {

UserRegistrySandbox::UserRegistrySandbox()
{
    path_ = L"Software\\PelvaneDialogTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount());
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_,
                        nullptr) != ERROR_SUCCESS) {
        scratch_ = nullptr;
        return;
    }
    if (RegOverridePredefKey(HKEY_CURRENT_USER, scratch_) != ERROR_SUCCESS) {
        RegCloseKey(scratch_);
        scratch_ = nullptr;
    }
}

UserRegistrySandbox::~UserRegistrySandbox()
{
    if (!scratch_) return;
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(scratch_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
}

std::wstring ReadString(const wchar_t* key, const wchar_t* name)
{
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

void WriteString(const wchar_t* key, const wchar_t* name, const std::wstring& value)
{
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr));
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

// ---------------------------------------------------------------- script

namespace {
std::map<UINT_PTR, Script*>& Scripts()
{
    static std::map<UINT_PTR, Script*> scripts;
    return scripts;
}
}  // namespace

Script::Script(std::vector<Step> steps, DWORD stepTimeoutMs) : steps_(std::move(steps)), timeout_(stepTimeoutMs) {}

Script::~Script()
{
    if (timer_) {
        KillTimer(nullptr, timer_);
        Scripts().erase(timer_);
    }
}

void Script::Start()
{
    stepStart_ = GetTickCount();
    timer_ = SetTimer(nullptr, 0, 30, Tick);
    Scripts()[timer_] = this;
}

void CALLBACK Script::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    auto it = Scripts().find(id);
    if (it != Scripts().end() && !it->second->running_) it->second->Run();
}

void Script::Run()
{
    if (aborted_) {
        // Close what is open, innermost first, until the test's loop ends.
        std::vector<HWND> open = ThreadDialogs();
        for (HWND d : open) PostMessageW(d, WM_CLOSE, 0, 0);
        return;
    }
    if (Finished()) {
        // The test's loop should end soon after the last step.
        if (GetTickCount() - stepStart_ > timeout_ && !ThreadDialogs().empty()) {
            ADD_FAILURE() << "dialogs still open after the last step";
            aborted_ = true;
        }
        return;
    }
    running_ = true;
    bool done = steps_[next_]();
    running_ = false;
    if (done) {
        ++next_;
        stepStart_ = GetTickCount();
    } else if (GetTickCount() - stepStart_ > timeout_ || ::testing::Test::HasFatalFailure()) {
        ADD_FAILURE() << "step " << next_ << " did not finish";
        aborted_ = true;
    }
}

Script::Step Do(std::function<void()> action)
{
    return [action] {
        action();
        return true;
    };
}

Script::Step Pause(DWORD ms)
{
    // When the wait began; unset until the step is first tried.
    auto start = std::make_shared<std::pair<bool, DWORD>>(false, 0);
    return [start, ms] {
        if (!start->first) *start = {true, GetTickCount()};
        return GetTickCount() - start->second >= ms;
    };
}

// ---------------------------------------------------------------- boxes

Script::Step AnswerBox(std::function<HWND()> owner, ShownBox* seen, int button)
{
    return [owner, seen, button] {
        HWND o = owner();
        HWND box = o ? FindOwnedDialog(o) : nullptr;
        if (!box) return false;
        if (seen) *seen = ReadBox(box);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        return true;
    };
}

bool NoBoxOver(HWND owner)
{
    HWND box = FindOwnedDialog(owner);
    if (box) {
        ShownBox shown = ReadBox(box);
        ADD_FAILURE() << "unexpected box: " << std::string(shown.text.begin(), shown.text.end());
    }
    return true;
}

Script::Step CountOpenAfter(std::function<HWND()> owner, DWORD ms, size_t* open)
{
    // When the box was first seen; unset until then.
    auto seen = std::make_shared<std::pair<bool, DWORD>>(false, 0);
    return [owner, ms, open, seen] {
        HWND o = owner();
        if (!o || !FindOwnedDialog(o)) return false;
        if (!seen->first) *seen = {true, GetTickCount()};
        if (GetTickCount() - seen->second < ms) return false;
        *open = OwnedDialogs(o).size();
        return true;
    };
}

ShownBox Answering(std::function<HWND()> owner, std::function<void()> act, int button)
{
    ShownBox seen;
    Script script({AnswerBox(owner, &seen, button)});
    script.Start();
    act();
    return seen;
}

// ---------------------------------------------------------------- events

void Post(VoipEventKind kind) { GetVoIPManager()->GetHandlerRegistry().Broadcast(kind); }

void Post(VoipEventKind kind, const std::string& text)
{
    GetVoIPManager()->GetHandlerRegistry().Broadcast(kind, VoipEventText{text});
}

void PostPair(VoipEventKind kind, const std::string& first, const std::string& second)
{
    GetVoIPManager()->GetHandlerRegistry().Broadcast(kind, TextPair{first, second});
}

void PostValue(VoipEventKind kind, int32_t value)
{
    HandlerRegistry& registry = GetVoIPManager()->GetHandlerRegistry();
    switch (ShapeOfKind(kind)) {
    case VP_None:
        registry.Broadcast(kind);
        break;
    case VP_Byte:
        registry.Broadcast(kind, VoipEventByte{static_cast<uint8_t>(value)});
        break;
    default:
        registry.Broadcast(kind, VoipEventValue{value});
    }
}

EventProbe::EventProbe() { GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&handler_); }

EventProbe::~EventProbe()
{
    GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    Kinds();
}

std::vector<int> EventProbe::Kinds()
{
    std::vector<int> kinds;
    while (VoipEvent* e = handler_.PopEvent()) {
        kinds.push_back(e->GetKind());
        delete e;
    }
    return kinds;
}

void DeliverContactList(const std::vector<std::pair<std::string, std::string>>& contacts)
{
    std::vector<unsigned char> body;
    auto u32 = [&body](uint32_t v) {
        for (int i = 0; i < 4; ++i) body.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto text = [&body](const std::string& s) {
        body.insert(body.end(), s.begin(), s.end());
        body.push_back(0);
    };
    u32(2);
    u32(static_cast<uint32_t>(contacts.size()));
    for (const auto& c : contacts) {
        text(c.first);
        text(c.second);
    }
    unsigned char* bytes = AllocBytes(static_cast<int>(body.size()));
    std::memcpy(bytes, body.data(), body.size());
    CmdMsg message(bytes, static_cast<int>(body.size()));
    GetVoIPManager()->HandleCmd(message);
}

// ---------------------------------------------------------------- fixture

namespace {
struct Winsock {
    Winsock()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~Winsock() { WSACleanup(); }
} g_winsock;
}  // namespace

void DialogTest::SetUp()
{
    ASSERT_TRUE(registry.Active());
    ASSERT_TRUE(LoadLanguage(0));
    AppConfig* config = GetAppConfig();
    config->SetDefaults();
    config->SetServerHost("");
    config->SetBackupServerHost("");
    config->SetUserName("");
    config->SetPassword("");
    config->SetInstanceIndex(-1);
    config->SetPort(FreeUdpPort());
}

void DialogTest::TearDown()
{
    GetVoIPManager()->Stop();
    GetVoIPManager()->GetHandlerRegistry().Clear();
}

// ---------------------------------------------------------------- sockets

uint16_t FreeUdpPort()
{
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(local);
    uint16_t port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&local), size) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &size) == 0)
        port = ntohs(local.sin_port);
    closesocket(s);
    return port;
}

std::wstring BesideExe(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + name;
}

}  // namespace dlgtest
