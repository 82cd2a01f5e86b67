// Call signalling, path probing and the UDP voice relay.
#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>

#include "Relay.h"

namespace relay {

namespace {

std::string Endpoint(const sockaddr_in& a) {
    char host[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

bool SameEndpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

// A probe is the sender's identity text and its zero byte, nothing else.
bool LooksLikeProbe(const uint8_t* p, size_t n) {
    return n >= 2 && p[n - 1] == 0 && !memchr(p, 0, n - 1);
}

const char* kVoiceNames[] = {"", " (corrupted)", " (stripped)", " (enlarged)", " (dropped)"};

}  // namespace

Relay::Call* Relay::CallOf(const Link& l) {
    auto it = calls_.find(l.call);
    return l.call && it != calls_.end() ? &it->second : nullptr;
}

int Relay::Side(const Call& c, const Link& l) const {
    return c.party[0] == l.id ? 0 : 1;
}

Relay::Link* Relay::OtherParty(const Call& c, const Link& l) {
    return FindLink(c.party[1 - Side(c, l)]);
}

void Relay::OnCallRequest(Link& l, const Message& m) {
    std::string name = m.TextOf("callee");
    Link* callee = Online(name);
    // 1 not online, 2 busy, 3 no such user (or oneself), 4 the caller is in a call already.
    uint32_t code = 0;
    if (name == l.email || !accounts_.Find(name))
        code = 3;
    else if (!callee)
        code = 1;
    else if (l.call)
        code = 4;
    else if (callee->call)
        code = 2;
    if (code) {
        Log(Tag(l) + " call to " + name + " refused with code " + std::to_string(code));
        return Send(l, Message(cmd::CallReply).U32("code", code));
    }
    Call& c = calls_[nextCall_];
    c.id = nextCall_++;
    c.party[0] = l.id;
    c.party[1] = callee->id;
    l.call = callee->call = c.id;
    Log("call " + std::to_string(c.id) + ": " + Tag(l) + " rings " + Tag(*callee));
    Send(l, Message(cmd::CallReply).U32("code", 0));
    const Account* me = accounts_.Find(l.email);
    Send(*callee, Message(cmd::IncomingCall).Text("caller", l.email).Text("second", me->display).U32("offer", set_.offer >= 0 ? uint32_t(set_.offer) : m.Num("offer")));
}

void Relay::OnCallRelay(Link& l, const Message& m, const Bytes& body) {
    Call* c = CallOf(l);
    Link* other = c ? OtherParty(*c, l) : nullptr;
    if (!other) return Log(Tag(l) + " ignored: no call");
    SendBody(*other, body);
    // The answer completes the key exchange; now the media path is sought.
    if (m.type == cmd::KeyAnswer && c->phase == Call::Ringing) {
        c->phase = Call::Probing;
        SendProbeTargets(*c, Now());
    }
}

void Relay::SendProbeTargets(Call& c, int64_t now) {
    for (int i = 0; i < 2; ++i)
        if (Link* p = FindLink(c.party[i]); p && !c.known[i])
            Send(*p, Message(cmd::ProbeTarget).Text("host", options_.udpHost).U16("port", udpPort_));
    c.nextProbeTarget = now + 1000;
}

void Relay::OnProbeReport(Link& l, const Message& m) {
    Call* c = CallOf(l);
    if (!c) return Log(Tag(l) + " ignored: no call");
    bool relayed = m.Num("relayed") != 0;
    bool expected = (c->phase == Call::DirectRound && !relayed) || (c->phase == Call::RelayRound && relayed);
    if (!expected) return Log(Tag(l) + " probe report ignored: call " + std::to_string(c->id) + " expects none like it");
    c->reported[Side(*c, l)] = true;
    if (!c->reported[0] || !c->reported[1]) return;
    Link* a = FindLink(c->party[0]);
    Link* b = FindLink(c->party[1]);
    bool sameHost = c->addr[0].sin_addr.s_addr == c->addr[1].sin_addr.s_addr;
    bool direct = c->phase == Call::DirectRound &&
                  (set_.path == Path::Direct || (set_.path == Path::Auto && sameHost));
    if (c->phase == Call::DirectRound && !direct) {
        c->phase = Call::RelayRound;
        c->reported[0] = c->reported[1] = false;
        Message relay(cmd::ServerProbing);
        relay.Str("host", options_.udpHost).U16("port", udpPort_);
        Send(*a, relay);
        Send(*b, relay);
        return;
    }
    Log("call " + std::to_string(c->id) + ": media connected on the " + (direct ? "direct" : "relayed") + " path");
    c->phase = Call::Connected;
    Send(*a, Message(cmd::MediaConnected));
    Send(*b, Message(cmd::MediaConnected));
}

void Relay::OnAccept(Link& l, const Message& m) {
    Call* c = CallOf(l);
    if (!c) return Log(Tag(l) + " ignored: no call");
    if (Side(*c, l) == 0) return Log(Tag(l) + " caller's accept absorbed");
    Link* caller = OtherParty(*c, l);
    if (!caller) return;
    uint32_t v = m.Num("value");
    Send(*caller, Message(cmd::CallAccepted).U32("codec", v & 0xFF).U32("mode", v & 0xFF00));
}

void Relay::OnHangUp(Link& l) {
    Call* c = CallOf(l);
    if (!c) return Log(Tag(l) + " hang-up absorbed: no call");
    EndCall(*c, &l, "hung up by " + Tag(l));
}

void Relay::EndCall(Call& c, Link* from, const std::string& why) {
    int id = c.id;
    if (Link* other = OtherParty(c, *from)) {
        Send(*other, Message(cmd::CallEnded));
        other->call = 0;
    }
    from->call = 0;
    calls_.erase(id);
    Log("call " + std::to_string(id) + " ended: " + why);
}

void Relay::OnSignalAnswer(Link& l) {
    delayed_.push_back({Now() + set_.signalDelayMs, l.id, Message(cmd::CallSignal)});
}

void Relay::ReadUdp() {
    uint8_t buf[65536];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t got = recvfrom(udpFd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (got < 0) return;
    size_t n = size_t(got);
    std::string src = Endpoint(from);

    if (LooksLikeProbe(buf, n)) {
        std::string identity(reinterpret_cast<char*>(buf), n - 1);
        for (auto& [id, c] : calls_) {
            if (c.phase == Call::Ringing) continue;
            int side = -1;
            for (int i = 1; i >= 0; --i) {
                Link* p = FindLink(c.party[i]);
                // With two equal identities the side not yet heard from takes it.
                if (p && p->identity == identity && (side < 0 || !c.known[i])) side = i;
            }
            if (side < 0) continue;
            c.addr[side] = from;
            c.known[side] = true;
            Log("udp probe from " + src + " identity " + identity + ": call " + std::to_string(id) + " side " +
                std::to_string(side));
            if (c.phase == Call::Probing && c.known[0] && c.known[1]) {
                c.phase = Call::DirectRound;
                for (int i = 0; i < 2; ++i) {
                    const sockaddr_in& peer = c.addr[1 - i];
                    if (Link* p = FindLink(c.party[i]))
                        Send(*p, Message(cmd::DirectProbing).Addr("peer", ntohl(peer.sin_addr.s_addr), ntohs(peer.sin_port)));
                }
            }
            return;
        }
        // Voice can look like a probe too: it is voice unless a party's identity matches.
    }

    for (auto& [id, c] : calls_) {
        for (int i = 0; i < 2; ++i) {
            if (!c.known[i] || !SameEndpoint(c.addr[i], from)) continue;
            if (!c.known[1 - i]) return Log("udp " + std::to_string(n) + " bytes from " + src + " dropped: peer unknown");
            Bytes d(buf, buf + n);
            switch (set_.voice) {
            case Voice::Corrupt:
                for (size_t k = 0; k + 1 < d.size(); k += 16) d[k] ^= 0xA5;
                break;
            case Voice::Strip:
                if (!d.empty()) d.pop_back();
                break;
            case Voice::Enlarge:
                d.resize(1100, 0x55);  // beyond the client's 1024-byte receive area
                break;
            default:
                break;
            }
            if (set_.voice != Voice::Drop)
                sendto(udpFd_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&c.addr[1 - i]), sizeof c.addr[1 - i]);
            Log("udp call " + std::to_string(id) + " " + src + " -> " + Endpoint(c.addr[1 - i]) + " " +
                std::to_string(n) + " bytes" + kVoiceNames[int(set_.voice)]);
            return;
        }
    }
    Log("udp " + std::to_string(n) + " bytes from " + src + " dropped: unknown source");
}

}  // namespace relay
