#include "AppModule.h"

#include <algorithm>

#include "Window.h"

namespace WTL {

namespace {
CAppModule* g_activeModule = nullptr;

template <typename T>
BOOL AddOnce(std::vector<T*>& list, T* item)
{
    if (!item || std::find(list.begin(), list.end(), item) != list.end()) return FALSE;
    list.push_back(item);
    return TRUE;
}

template <typename T>
BOOL RemoveItem(std::vector<T*>& list, T* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return FALSE;
    list.erase(it);
    return TRUE;
}
}  // namespace

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter) { return AddOnce(filters_, filter); }
BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { return RemoveItem(filters_, filter); }
BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler) { return AddOnce(idleHandlers_, handler); }
BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { return RemoveItem(idleHandlers_, handler); }

BOOL CMessageLoop::PreTranslateMessage(MSG* pMsg)
{
    // A filter may remove itself or others while it runs: walk by index and
    // re-check the bound at every step.
    for (size_t i = filters_.size(); i-- > 0;) {
        if (i >= filters_.size()) continue;
        if (filters_[i]->PreTranslateMessage(pMsg)) return TRUE;
    }
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int /*idleCount*/)
{
    for (size_t i = 0; i < idleHandlers_.size(); ++i) idleHandlers_[i]->OnIdle();
    return FALSE;
}

bool CMessageLoop::IsIdleMessage(const MSG* pMsg)
{
    switch (pMsg->message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case 0x0118:  // the system's caret blink timer
        return false;
    default:
        return true;
    }
}

int CMessageLoop::Run()
{
    bool idle = true;
    int idleCount = 0;
    MSG msg = {};
    for (;;) {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) idle = false;
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (!got) break;
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (IsIdleMessage(&msg)) {
            idle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg.wParam);
}

CAppModule::CAppModule() : instance_(nullptr) { ::InitializeCriticalSection(&lock_); }

CAppModule::~CAppModule()
{
    if (g_activeModule == this) g_activeModule = nullptr;
    ::DeleteCriticalSection(&lock_);
}

HRESULT CAppModule::Init(HINSTANCE instance)
{
    instance_ = instance;
    ATL::SetModuleInstance(instance);
    g_activeModule = this;
    return S_OK;
}

void CAppModule::Term()
{
    ::EnterCriticalSection(&lock_);
    loops_.clear();
    ::LeaveCriticalSection(&lock_);
}

HINSTANCE CAppModule::GetModuleInstance() const { return instance_ ? instance_ : ATL::GetModuleInstance(); }

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop)
{
    ::EnterCriticalSection(&lock_);
    BOOL added = loop && loops_.emplace(::GetCurrentThreadId(), loop).second;
    ::LeaveCriticalSection(&lock_);
    return added;
}

BOOL CAppModule::RemoveMessageLoop()
{
    ::EnterCriticalSection(&lock_);
    BOOL removed = loops_.erase(::GetCurrentThreadId()) != 0;
    ::LeaveCriticalSection(&lock_);
    return removed;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const
{
    ::EnterCriticalSection(&lock_);
    auto it = loops_.find(threadId);
    CMessageLoop* loop = it == loops_.end() ? nullptr : it->second;
    ::LeaveCriticalSection(&lock_);
    return loop;
}

CMessageLoop* ActiveAppModuleLoop() { return g_activeModule ? g_activeModule->GetMessageLoop() : nullptr; }

}  // namespace WTL
