// The one datagram socket of the call media path.
#pragma once

#include <winsock2.h>

#include <cstdint>

#include "base/Locks.h"

class AudioEngine;

class UdpSocket {
public:
    // Receive reads at most this much; a longer datagram is dropped.
    static constexpr int kReceiveBytes = 1024;

    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    void SetOwner(AudioEngine* engine) { owner = engine; }
    // Non-blocking, bound to every local address at the port; false when the
    // port is taken (or no socket can be made).
    bool Open(uint16_t localPort);
    void Close();
    bool IsOpen() const { return socket_ != INVALID_SOCKET; }

    // Address in host order.
    void SetDestination(uint32_t address, uint16_t port);
    // True only when the whole datagram went.
    bool Send(const void* data, int length);
    // Address in network order, as ResolveHost gives it.
    bool SendTo(const void* data, int length, uint32_t address, uint16_t port);
    // The byte count, or -1 when nothing is waiting, the datagram was longer
    // than kReceiveBytes, or the socket failed. buffer holds kReceiveBytes.
    int Receive(void* buffer);

    // The bound port (useful when Open was given 0); 0 when closed.
    uint16_t GetLocalPort();

private:
    bool SendLocked(const void* data, int length, const sockaddr_in& to);

    AudioEngine* owner;
    SOCKET socket_;
    uint32_t destinationAddress;
    uint16_t destinationPort;
    sockaddr_in destination;
    CriticalSection lock;
};
