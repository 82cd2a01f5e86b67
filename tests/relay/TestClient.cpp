#include "TestClient.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "RelayCrypto.h"

namespace relay {

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

}  // namespace

TestClient::TestClient(std::string e, std::string i, std::string p)
    : email(std::move(e)), identity(std::move(i)), password(std::move(p)) {
    publicKey.assign(49, 0x11);
    publicKey[0] = 0x02;
    publicKey[1] = uint8_t(email.size());  // tell the clients' keys apart
}

TestClient::~TestClient() {
    Close();
    if (udp_ >= 0) close(udp_);
}

bool TestClient::Connect(uint16_t port) {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(port);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        Close();
        return false;
    }
    closed_ = reset_ = false;
    in_.clear();
    backlog.clear();
    return true;
}

void TestClient::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool TestClient::SendBytes(const Bytes& b) {
    if (fd_ < 0) return false;
    if (send(fd_, b.data(), b.size(), MSG_NOSIGNAL) == ssize_t(b.size())) return true;
    // The socket reports a reset once, to whichever call comes first.
    if (errno == ECONNRESET) closed_ = reset_ = true;
    return false;
}

bool TestClient::Send(const Message& m) {
    return SendBytes(Frame(Encode(m)));
}

bool TestClient::Pump(int timeoutMs) {
    if (fd_ < 0 || closed_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    uint8_t buf[65536];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) {
        closed_ = true;
        reset_ = n < 0 && errno == ECONNRESET;
        return false;
    }
    in_.insert(in_.end(), buf, buf + n);
    size_t used = 0;
    while (in_.size() - used >= 4) {
        uint32_t length = ReadLe32(in_.data() + used);
        if (length == kKeepAliveWord) {
            ++keepAlives;
            trace += 'k';
            used += 4;
            if (answerKeepAlives) SendBytes(KeepAlive());
            continue;
        }
        if (in_.size() - used - 4 < length) break;
        Bytes body(in_.begin() + used + 4, in_.begin() + used + 4 + length);
        used += 4 + length;
        Decoded d = Decode(body, Direction::ToClient);
        if (!d.complete) ++malformed;
        trace += 'f';
        backlog.push_back({d, body});
    }
    in_.erase(in_.begin(), in_.begin() + used);
    return true;
}

bool TestClient::Expect(uint32_t type, Message& out, int timeoutMs) {
    return ExpectAny({type}, out, timeoutMs);
}

bool TestClient::ExpectAny(const std::vector<uint32_t>& types, Message& out, int timeoutMs) {
    int64_t end = NowMs() + timeoutMs;
    for (;;) {
        for (auto it = backlog.begin(); it != backlog.end(); ++it) {
            if (std::find(types.begin(), types.end(), it->decoded.message.type) == types.end()) continue;
            out = it->decoded.message;
            lastBody = it->body;
            backlog.erase(it);
            return true;
        }
        int64_t left = end - NowMs();
        if (left <= 0 || closed_) return false;
        Pump(int(left));
    }
}

bool TestClient::Expect(uint32_t type, int timeoutMs) {
    Message ignored;
    return Expect(type, ignored, timeoutMs);
}

bool TestClient::Quiet(uint32_t type, int timeoutMs) {
    Message ignored;
    return !Expect(type, ignored, timeoutMs);
}

bool TestClient::WaitClosed(int timeoutMs, bool* reset) {
    int64_t end = NowMs() + timeoutMs;
    while (!closed_ && NowMs() < end) Pump(int(end - NowMs()));
    if (reset) *reset = reset_;
    return closed_;
}

Message TestClient::Credentials(uint32_t type) const {
    return Message(type).Enc("identity", identity).Enc("user", email).Str("digest", Md5Hex(password));
}

Message TestClient::SessionRequest() const {
    bool noPad = pad.size() != kPadSize;
    return Credentials(cmd::Session)
        .Blob("publicKey", publicKey)
        .U8("noPad", noPad)
        .Blob("padDigest", noPad ? Bytes(32, 0) : Sha256(pad))
        .Caps(1, 0, 1);
}

Message TestClient::Registration(const std::string& deviceName) const {
    return Credentials(cmd::RegisterDevice).Enc("device", deviceName).I32("one", 1).Enc("kindEnc", "PC").Str("kind", "PC");
}

int TestClient::SignIn(const std::string& deviceName) {
    Message step, reply;
    if (!Send(Credentials(cmd::Login)) || !Expect(In(cmd::LoginStep), step) || !step.Num("accepted")) return -1;
    if (step.Num("unknownDevice")) {
        if (!Send(Registration(deviceName)) || !Expect(In(cmd::RegistrationReply), reply) || !reply.Num("registered"))
            return -1;
    }
    if (!Send(SessionRequest()) || !Expect(In(cmd::SessionReply), reply)) return -1;
    if (reply.Num("status") == 1) pad = reply.BlobOf("pad");
    return int(reply.Num("status"));
}

bool TestClient::OpenUdp() {
    udp_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    if (udp_ < 0 || bind(udp_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(udp_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return false;
    udpPort_ = ntohs(a.sin_port);
    return true;
}

bool TestClient::SendUdp(uint16_t port, const Bytes& b) {
    sockaddr_in a = Loopback(port);
    return sendto(udp_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) == ssize_t(b.size());
}

bool TestClient::SendProbe(uint16_t port) {
    Bytes probe(identity.begin(), identity.end());
    probe.push_back(0);
    return SendUdp(port, probe);
}

bool TestClient::ReceiveUdp(Bytes& b, int timeoutMs, sockaddr_in* from) {
    pollfd p{udp_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    uint8_t buf[65536];
    sockaddr_in src{};
    socklen_t len = sizeof src;
    ssize_t n = recvfrom(udp_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&src), &len);
    if (n < 0) return false;
    b.assign(buf, buf + n);
    if (from) *from = src;
    return true;
}

}  // namespace relay
