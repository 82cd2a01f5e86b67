#include "Relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstring>
#include <fstream>

#include "RelayCrypto.h"

namespace relay {

namespace {

// No client frame comes near this (a file chunk is at most 8 KiB); a longer
// length word means the stream can no longer be followed.
const uint32_t kMaxClientFrame = 1u << 20;

volatile sig_atomic_t stopRequested = 0;

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int BindSocket(int type, const std::string& host, int port, uint16_t& bound, std::string& error) {
    int fd = socket(AF_INET, type, 0);
    if (fd < 0) {
        error = std::string("socket: ") + strerror(errno);
        return -1;
    }
    // A listening port is taken again at once after a restart. Never for
    // UDP: there it lets the system give two relays one port number, and
    // the datagrams of one relay's clients then reach the other.
    int one = 1;
    if (type == SOCK_STREAM) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1) {
        error = "not an IPv4 address: " + host;
        close(fd);
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || (type == SOCK_STREAM && listen(fd, 16) != 0)) {
        error = host + ":" + std::to_string(port) + ": " + strerror(errno);
        close(fd);
        return -1;
    }
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    bound = ntohs(a.sin_port);
    SetNonBlocking(fd);
    return fd;
}

}  // namespace

Relay::Relay(RelayOptions options) : options_(std::move(options)), set_(options_.settings) {
    if (options_.udpHost.empty()) options_.udpHost = options_.host;
}

Relay::~Relay() {
    for (auto& [id, l] : links_)
        if (l.fd >= 0) close(l.fd);
    for (auto& c : controls_)
        if (c->fd >= 0) close(c->fd);
    for (int fd : {listenFd_, udpFd_, controlFd_})
        if (fd >= 0) close(fd);
    if (log_ && log_ != stderr) fclose(log_);
}

bool Relay::Start(std::string& error) {
    start_ = SteadyMs();
    for (const auto& f : options_.accountFiles)
        if (!accounts_.LoadFile(f, error)) return false;
    if (!options_.enrolFile.empty()) {
        std::ifstream exists(options_.enrolFile);
        if (exists && !accounts_.LoadFile(options_.enrolFile, error)) return false;
    }
    pad_ = DefaultPad();
    if (!options_.padFile.empty()) {
        std::ifstream in(options_.padFile, std::ios::binary);
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (b.size() != kPadSize) {
            error = options_.padFile + ": a pad must hold exactly 2048 bytes";
            return false;
        }
        pad_ = b;
    }
    log_ = options_.logFile.empty() ? stderr : fopen(options_.logFile.c_str(), "w");
    if (!log_) {
        error = options_.logFile + ": " + strerror(errno);
        return false;
    }
    if (!Listen(error)) return false;
    udpFd_ = BindSocket(SOCK_DGRAM, options_.host, options_.udpPort, udpPort_, error);
    if (udpFd_ < 0 || !OpenControl(error)) return false;
    Log("relay ready tcp=" + options_.host + ":" + std::to_string(tcpPort_) + " udp=" + options_.udpHost + ":" +
        std::to_string(udpPort_) + " control=" + std::to_string(controlPort_) + " accounts=" +
        std::to_string(accounts_.All().size()));
    WriteInfo();
    return true;
}

bool Relay::Listen(std::string& error) {
    listenFd_ = BindSocket(SOCK_STREAM, options_.host, tcpPort_ ? tcpPort_ : options_.port, tcpPort_, error);
    return listenFd_ >= 0;
}

int64_t Relay::Now() const {
    return SteadyMs() - start_;
}

void Relay::Log(const std::string& line) {
    char stamp[32];
    int64_t t = Now();
    snprintf(stamp, sizeof stamp, "%4lld.%03lld ", (long long)(t / 1000), (long long)(t % 1000));
    std::string full = stamp + line;
    fprintf(log_, "%s\n", full.c_str());
    fflush(log_);
    lines_.push_back(line);
}

std::string Relay::Tag(const Link& l) const {
    return "#" + std::to_string(l.id) + (l.email.empty() ? "" : "(" + l.email + ")");
}

void Relay::Violation(const Link& l, const std::string& what) {
    ++violations_;
    Log("VIOLATION " + Tag(l) + ": " + what);
}

Relay::Link* Relay::FindLink(int id) {
    auto it = links_.find(id);
    return it == links_.end() || it->second.dead ? nullptr : &it->second;
}

Relay::Link* Relay::Online(const std::string& email) {
    auto it = online_.find(email);
    return it == online_.end() ? nullptr : FindLink(it->second);
}

void Relay::Accept() {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    int fd = accept(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    if (fd < 0) return;
    SetNonBlocking(fd);
    Link& l = links_[nextLink_];
    l.id = nextLink_++;
    l.fd = fd;
    char host[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    l.peer = std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
    l.nextKeepAlive = Now() + set_.keepAliveMs;
    lastLink_ = l.id;
    Log(Tag(l) + " accepted from " + l.peer);
    RunHook("accept", l);
}

void Relay::ReadLink(Link& l) {
    uint8_t buf[65536];
    ssize_t n = recv(l.fd, buf, sizeof buf, 0);
    if (n == 0) return Drop(l, "closed by the client");
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        return Drop(l, std::string("receive failed: ") + strerror(errno));
    }
    l.in.insert(l.in.end(), buf, buf + n);
    size_t used = 0;
    while (!l.dead && l.in.size() - used >= 4) {
        uint32_t length = ReadLe32(l.in.data() + used);
        if (length == kKeepAliveWord) {
            Log(Tag(l) + " < keep-alive");
            used += 4;
            continue;
        }
        if (length == 0) {
            Violation(l, "frame of length 0");
            used += 4;
            continue;
        }
        if (length > kMaxClientFrame) {
            Violation(l, "frame length " + std::to_string(length) + " is beyond any message");
            return Drop(l, "stream cannot be followed");
        }
        if (l.in.size() - used - 4 < length) break;
        Bytes body(l.in.begin() + used + 4, l.in.begin() + used + 4 + length);
        used += 4 + length;
        HandleFrame(l, body);
    }
    if (!l.dead) l.in.erase(l.in.begin(), l.in.begin() + used);
}

void Relay::HandleFrame(Link& l, const Bytes& body) {
    Decoded d = Decode(body, Direction::FromClient);
    Log(Tag(l) + " < " + Format(d));
    if (!d.known) return Violation(l, "type " + std::to_string(d.message.type) + " is not a client command");
    if (!d.complete) return Violation(l, CommandName(d.message.type, Direction::FromClient) + (": " + d.error));
    for (const auto& f : d.faults) Violation(l, std::string(CommandName(d.message.type, Direction::FromClient)) + ": " + f);
    if (RunHook(std::to_string(d.message.type), l)) return;
    uint32_t t = d.message.type;
    bool signInStep = t == cmd::Login || t == cmd::Session || t == cmd::RegisterDevice || t == cmd::Credentials;
    if (!signInStep && l.email.empty()) return Log(Tag(l) + " ignored: not signed in");
    if (t == cmd::FileChunk || t == cmd::ReceiverKey || t == cmd::WrappedKey || t == cmd::TransferDone ||
        t == cmd::ChunkAck || t == cmd::ReadyToReceive || t == cmd::CancelTransfer || t == cmd::TransferError)
        return OnFileRelay(l, d.message, body);
    if (t == cmd::KeyOffer || t == cmd::KeyAnswer) return OnCallRelay(l, d.message, body);
    Dispatch(l, d.message);
}

void Relay::Dispatch(Link& l, const Message& m) {
    switch (m.type) {
    case cmd::Login: return OnLogin(l, m);
    case cmd::Session: return OnSession(l, m);
    case cmd::RegisterDevice: return OnRegister(l, m);
    case cmd::Credentials: return OnCredentials(l, m);
    case cmd::ContactQuery: return OnContactQuery(l, m);
    case cmd::KeyRequest: return OnKeyRequest(l, m);
    case cmd::ChatOut: return OnChat(l, m);
    case cmd::AddContact: return OnAddContact(l, m);
    case cmd::CallRequest: return OnCallRequest(l, m);
    case cmd::ProbeReport: return OnProbeReport(l, m);
    case cmd::CallAccepted: return OnAccept(l, m);
    case cmd::CallEnded: return OnHangUp(l);
    case cmd::CallSignalAnswer: return OnSignalAnswer(l);
    case cmd::FileOfferOut: return OnFileOffer(l, m);
    default: return;
    }
}

void Relay::Send(Link& l, const Message& m, EncodeOptions o) {
    Bytes body = Encode(m, o);
    Log(Tag(l) + " > " + Format(Decode(body, Direction::ToClient)));
    Enqueue(l, Frame(body), true);
}

void Relay::Send(Link& l, const Message& m) {
    EncodeOptions o;
    o.twin = set_.twin;
    Send(l, m, o);
}

void Relay::SendBody(Link& l, const Bytes& body) {
    Log(Tag(l) + " > " + Format(Decode(body, Direction::ToClient)));
    Enqueue(l, Frame(body), true);
}

void Relay::Enqueue(Link& l, Bytes bytes, bool paced) {
    if (l.dead) return;
    Chunk c{std::move(bytes), paced};
    if (paced) {
        l.out.push_back(std::move(c));
        return;
    }
    // Ahead of any backlog, but never into the middle of a frame on the wire.
    auto at = l.out.begin();
    if (l.frontSent > 0 && at != l.out.end()) ++at;
    l.out.insert(at, std::move(c));
}

void Relay::PumpLink(Link& l, int64_t now) {
    if (set_.keepAlive && now >= l.nextKeepAlive) {
        Log(Tag(l) + " > keep-alive");
        Enqueue(l, KeepAlive(), false);
        l.nextKeepAlive = now + set_.keepAliveMs;
    }
    while (!l.dead && !l.out.empty()) {
        Chunk& front = l.out.front();
        if (front.paced && l.frontSent == 0 && now < l.nextSend) return;
        ssize_t n = send(l.fd, front.bytes.data() + l.frontSent, front.bytes.size() - l.frontSent,
                         MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
            return Drop(l, std::string("send failed: ") + strerror(errno));
        }
        l.frontSent += size_t(n);
        if (l.frontSent < front.bytes.size()) return;
        if (front.paced) l.nextSend = now + set_.paceMs;
        l.out.pop_front();
        l.frontSent = 0;
    }
}

void Relay::Drop(Link& l, const std::string& why, bool reset) {
    if (l.dead) return;
    l.dead = true;
    Log(Tag(l) + " closed: " + why);
    if (reset) {
        linger lg{1, 0};
        setsockopt(l.fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    } else {
        // Unread input would turn the close into a reset.
        shutdown(l.fd, SHUT_WR);
        uint8_t sink[4096];
        while (recv(l.fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
        }
    }
    close(l.fd);
    l.fd = -1;
    SignOut(l);
}

void Relay::Sweep() {
    for (auto it = links_.begin(); it != links_.end();)
        it = it->second.dead ? links_.erase(it) : std::next(it);
    controls_.erase(std::remove_if(controls_.begin(), controls_.end(), [](const auto& c) { return c->closed; }),
                    controls_.end());
}

void Relay::RunTimers(int64_t now) {
    for (auto& [id, c] : calls_)
        if (c.phase == Call::Probing && now >= c.nextProbeTarget) SendProbeTargets(c, now);
    std::vector<Delayed> due;
    for (auto it = delayed_.begin(); it != delayed_.end();) {
        if (it->due <= now) {
            due.push_back(*it);
            it = delayed_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& d : due)
        if (Link* l = FindLink(d.link)) Send(*l, d.message);
    for (auto& [id, l] : links_)
        if (!l.dead) PumpLink(l, now);
    CheckWaits(now);
}

int64_t Relay::NextDeadline(int64_t now) const {
    int64_t next = now + 250;
    for (const auto& [id, l] : links_) {
        if (l.dead) continue;
        if (set_.keepAlive) next = std::min(next, l.nextKeepAlive);
        if (!l.out.empty() && l.frontSent == 0) next = std::min(next, l.out.front().paced ? l.nextSend : now);
    }
    for (const auto& [id, c] : calls_)
        if (c.phase == Call::Probing) next = std::min(next, c.nextProbeTarget);
    for (const auto& d : delayed_) next = std::min(next, d.due);
    for (const auto& c : controls_)
        if (c->waiting) next = std::min(next, c->waitUntil);
    return std::max(next, now);
}

void Relay::RequestStop() {
    stopRequested = 1;
}

void Relay::Run() {
    const int64_t end = int64_t(options_.lifetimeSeconds) * 1000;
    while (!quit_) {
        if (stopRequested) {
            Log("stopped by a signal");
            break;
        }
        int64_t now = Now();
        if (now >= end) {
            Log("lifetime of " + std::to_string(options_.lifetimeSeconds) + " s is over");
            break;
        }
        std::vector<pollfd> fds;
        std::vector<int> linkOf;  // link id per pollfd, 0 for the others
        auto add = [&](int fd, short events, int link) {
            fds.push_back({fd, events, 0});
            linkOf.push_back(link);
        };
        if (listenFd_ >= 0) add(listenFd_, POLLIN, 0);
        add(udpFd_, POLLIN, 0);
        if (controlFd_ >= 0) add(controlFd_, POLLIN, 0);
        for (size_t i = 0; i < controls_.size(); ++i)
            if (!controls_[i]->closed) add(controls_[i]->fd < 0 ? 0 : controls_[i]->fd, POLLIN, -1 - int(i));
        for (auto& [id, l] : links_) {
            if (l.dead) continue;
            bool writable = !l.out.empty() && (l.frontSent > 0 || !l.out.front().paced || now >= l.nextSend);
            add(l.fd, short(POLLIN | (writable ? POLLOUT : 0)), id);
        }
        int timeout = int(std::min<int64_t>(NextDeadline(now) - now, end - now));
        if (poll(fds.data(), fds.size(), std::max(timeout, 0)) < 0 && errno != EINTR) {
            Log(std::string("poll failed: ") + strerror(errno));
            break;
        }
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            if (linkOf[i] > 0) {
                if (Link* l = FindLink(linkOf[i])) {
                    if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ReadLink(*l);
                }
            } else if (linkOf[i] < 0) {
                ReadControl(*controls_[size_t(-1 - linkOf[i])]);
            } else if (fds[i].fd == listenFd_) {
                Accept();
            } else if (fds[i].fd == udpFd_) {
                ReadUdp();
            } else if (fds[i].fd == controlFd_) {
                AcceptControl();
            }
        }
        RunTimers(Now());
        Sweep();
    }
    for (auto& [id, l] : links_)
        if (!l.dead) Drop(l, "relay ends");
    Log("relay ends with " + std::to_string(violations_) + " violations");
}

}  // namespace relay
