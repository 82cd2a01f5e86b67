#include "wire/TcpConnect.h"

#include <memory>
#include <string>

#include "base/Locks.h"

namespace {

// Shared by the waiting caller and the lookup thread: whichever lets go last
// frees it, so a caller that gave up leaves nothing the thread still uses.
struct Lookup {
    std::string host;
    HostResolver resolve;
    uint32_t address;
    bool found;
    CEvent done;
};
typedef std::shared_ptr<Lookup> LookupPtr;

DWORD WINAPI LookupThreadProc(void* held)
{
    std::unique_ptr<LookupPtr> lookup(static_cast<LookupPtr*>(held));
    Lookup& l = **lookup;
    l.found = l.resolve(l.host.c_str(), l.address);
    l.done.Set();
    return 0;
}

// Waits for the non-blocking connect of s; false when it fails or the watch
// gives up.
bool AwaitConnect(SOCKET s, const sockaddr_in& addr, ConnectWatch* watch)
{
    if (connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0)
        return true;
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return false;
    for (;;) {
        fd_set done, failed;
        FD_ZERO(&done);
        FD_ZERO(&failed);
        FD_SET(s, &done);
        FD_SET(s, &failed);
        timeval wait = {0, static_cast<long>(kConnectWaitMs * 1000)};
        const int ready = select(0, nullptr, &done, &failed, watch ? &wait : nullptr);
        if (ready == SOCKET_ERROR)
            return false;
        // A failed connect is reported in the exception set.
        if (ready > 0)
            return FD_ISSET(s, &done) && !FD_ISSET(s, &failed);
        if (watch->Abandoned())
            return false;
    }
}

}  // namespace

bool LookUpHost(const char* host, uint32_t& address, ConnectWatch* watch, HostResolver resolve)
{
    // A dotted address needs no resolver and comes back at once.
    if (!watch || !host || inet_addr(host) != INADDR_NONE)
        return resolve(host, address);
    LookupPtr lookup = std::make_shared<Lookup>();
    lookup->host = host;
    lookup->resolve = resolve;
    lookup->address = 0;
    lookup->found = false;
    if (!lookup->done.Create(1, 0, nullptr))
        return resolve(host, address);
    LookupPtr* held = new LookupPtr(lookup);
    HANDLE thread = CreateThread(nullptr, 0, LookupThreadProc, held, 0, nullptr);
    if (!thread) {
        delete held;
        return resolve(host, address);
    }
    CloseHandle(thread);
    while (WaitForSingleObject(lookup->done.GetHandle(), kConnectWaitMs) == WAIT_TIMEOUT)
        if (watch->Abandoned())
            return false;
    if (lookup->found)
        address = lookup->address;
    return lookup->found;
}

SOCKET OpenTcpConnection(const char* host, uint16_t port, ConnectWatch* watch)
{
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    uint32_t address = 0;
    if (!LookUpHost(host, address, watch))
        return INVALID_SOCKET;
    addr.sin_addr.s_addr = address;

    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return INVALID_SOCKET;
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) == SOCKET_ERROR || !AwaitConnect(s, addr, watch)) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}
