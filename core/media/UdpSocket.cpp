#include "media/UdpSocket.h"

#include <cstring>

namespace {
sockaddr_in MakeAddress(uint32_t networkAddress, uint16_t port)
{
    sockaddr_in a;
    std::memset(&a, 0, sizeof(a));
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = networkAddress;
    a.sin_port = htons(port);
    return a;
}
}  // namespace

UdpSocket::UdpSocket()
    : owner(nullptr),
      socket_(INVALID_SOCKET),
      destinationAddress(0),
      destinationPort(0),
      destination(MakeAddress(0, 0))
{
}

UdpSocket::~UdpSocket()
{
    Close();
}

bool UdpSocket::Open(uint16_t localPort)
{
    ScopedLock guard(lock);
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET)
        return false;
    u_long nonBlocking = 1;
    sockaddr_in local = MakeAddress(htonl(INADDR_ANY), localPort);
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
        bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
        closesocket(s);
        return false;
    }
    socket_ = s;
    return true;
}

void UdpSocket::Close()
{
    ScopedLock guard(lock);
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

void UdpSocket::SetDestination(uint32_t address, uint16_t port)
{
    ScopedLock guard(lock);
    destinationAddress = address;
    destinationPort = port;
    destination = MakeAddress(htonl(address), port);
}

bool UdpSocket::Send(const void* data, int length)
{
    ScopedLock guard(lock);
    return SendLocked(data, length, destination);
}

bool UdpSocket::SendTo(const void* data, int length, uint32_t address, uint16_t port)
{
    ScopedLock guard(lock);
    return SendLocked(data, length, MakeAddress(address, port));
}

bool UdpSocket::SendLocked(const void* data, int length, const sockaddr_in& to)
{
    if (socket_ == INVALID_SOCKET || length < 0)
        return false;
    int sent = sendto(socket_, static_cast<const char*>(data), length, 0,
                      reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    return sent == length;
}

int UdpSocket::Receive(void* buffer)
{
    ScopedLock guard(lock);
    if (socket_ == INVALID_SOCKET)
        return -1;
    sockaddr_in from;
    int fromLength = sizeof(from);
    int n = recvfrom(socket_, static_cast<char*>(buffer), kReceiveBytes, 0,
                     reinterpret_cast<sockaddr*>(&from), &fromLength);
    return n < 0 ? -1 : n;
}

uint16_t UdpSocket::GetLocalPort()
{
    ScopedLock guard(lock);
    sockaddr_in local;
    int length = sizeof(local);
    if (socket_ == INVALID_SOCKET ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}
