// A small native client for the relay's own tests: frames, keep-alive
// answers, the sign-in steps and a UDP socket. Test infrastructure only.
#pragma once

#include <netinet/in.h>

#include <deque>
#include <vector>
#include <string>

#include "Messages.h"

namespace relay {

class TestClient {
public:
    TestClient(std::string email, std::string identity, std::string password = "demo");
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool Connect(uint16_t port);
    void Close();
    bool Send(const Message& m);
    bool SendBytes(const Bytes& b);

    // The next frame of that type within the time; frames of other types that
    // arrive meanwhile are kept for later calls.
    bool Expect(uint32_t type, Message& out, int timeoutMs = 5000);
    bool Expect(uint32_t type, int timeoutMs = 5000);
    // The first frame of any of those types.
    bool ExpectAny(const std::vector<uint32_t>& types, Message& out, int timeoutMs = 5000);
    // True when no frame of that type arrives within the time.
    bool Quiet(uint32_t type, int timeoutMs);
    // True when the relay ends the connection within the time; `reset` tells
    // whether it was reset rather than closed.
    bool WaitClosed(int timeoutMs, bool* reset = nullptr);

    Message Credentials(uint32_t type) const;
    Message SessionRequest() const;
    Message Registration(const std::string& deviceName) const;
    // Login, enrolment when asked for, session; the status of the session
    // reply, or -1. A new pad is kept.
    int SignIn(const std::string& deviceName = "Test PC");

    bool OpenUdp();
    uint16_t UdpPort() const { return udpPort_; }
    bool SendUdp(uint16_t port, const Bytes& b);
    bool SendProbe(uint16_t port);
    bool ReceiveUdp(Bytes& b, int timeoutMs, sockaddr_in* from = nullptr);

    // The type the relay sends for a first-set type: its twin while the relay
    // enciphers names.
    uint32_t In(uint32_t type) const { return twin && TwinOf(type) ? TwinOf(type) : type; }

    const std::string email, identity, password;
    bool twin = true;
    Bytes pad;
    Bytes publicKey;
    int keepAlives = 0;
    bool answerKeepAlives = true;
    int malformed = 0;  // frames from the relay that did not decode completely
    std::string trace;  // 'k' per keep-alive and 'f' per frame, in arrival order
    Bytes lastBody;     // body of the frame the last Expect returned
    struct Received {
        Decoded decoded;
        Bytes body;
    };
    std::deque<Received> backlog;

private:
    bool Pump(int timeoutMs);

    int fd_ = -1, udp_ = -1;
    uint16_t udpPort_ = 0;
    Bytes in_;
    bool closed_ = false, reset_ = false;
};

}  // namespace relay
