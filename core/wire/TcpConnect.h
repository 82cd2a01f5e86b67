// Opening a TCP connection without blocking the caller for more than one
// short wait at a time: the host lookup and the connect both wait in slices
// and ask between them whether the caller still wants the connection.
#pragma once

#include <winsock2.h>

#include <cstdint>

#include "wire/HostNames.h"

// Asked by a lookup or connect in progress between its waits.
class ConnectWatch {
public:
    // True ends the lookup or connect at once, as a failure.
    virtual bool Abandoned() = 0;

protected:
    ~ConnectWatch() {}
};

// One pump period of the session manager: a stop or a reset takes effect
// within it.
const uint32_t kConnectWaitMs = 100;

typedef bool (*HostResolver)(const char* host, uint32_t& address);

// Like ResolveHost (network order). With a watch, a name that needs the
// system's resolver is looked up on a thread of its own; when the watch
// gives up first, that thread finishes alone and its answer is dropped.
bool LookUpHost(const char* host, uint32_t& address, ConnectWatch* watch,
                HostResolver resolve = ResolveHost);

// A connected, non-blocking socket, or INVALID_SOCKET when the host does not
// resolve, the connect fails or the watch gives up. Without a watch it waits
// for as long as the system's own connect time-out.
SOCKET OpenTcpConnection(const char* host, uint16_t port, ConnectWatch* watch);
