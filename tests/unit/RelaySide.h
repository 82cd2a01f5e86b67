// The relay's end of a session manager's link, on 127.0.0.1: it signs the
// manager in through the manager's own connect thread, hands it bodies as
// frames, and reads back what the manager sends, field by field.
#pragma once

#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/VoIPMsgHandler.h"
#include "ServerBody.h"

// A port nobody uses at the moment, of the given socket type.
inline uint16_t FreePort(int type)
{
    SOCKET s = socket(AF_INET, type, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    int len = sizeof(a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    closesocket(s);
    return ntohs(a.sin_port);
}

// Reads the fields of a body the manager sent, which it must outlive; a read
// past the end gives an empty value and clears ok.
class FieldReader {
public:
    explicit FieldReader(const Bytes& body) : b_(body) {}

    uint32_t U32()
    {
        if (!Has(4))
            return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(b_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    std::string Str()
    {
        for (size_t i = pos_; i < b_.size(); ++i) {
            if (b_[i] == 0) {
                std::string s(b_.begin() + pos_, b_.begin() + i);
                pos_ = i + 1;
                return s;
            }
        }
        ok = false;
        return std::string();
    }
    // UTF-16 units up to a unit whose low byte is zero; that byte alone ends
    // the text.
    std::wstring WStr()
    {
        std::wstring s;
        for (size_t i = pos_; i < b_.size(); i += 2) {
            if (b_[i] == 0) {
                pos_ = i + 1;
                return s;
            }
            if (i + 1 >= b_.size())
                break;
            s += static_cast<wchar_t>(b_[i] | (b_[i + 1] << 8));
        }
        ok = false;
        return std::wstring();
    }
    Bytes Blob()
    {
        const uint32_t n = U32();
        if (!ok || !Has(n))
            return Bytes();
        Bytes out(b_.begin() + pos_, b_.begin() + pos_ + n);
        pos_ += n;
        return out;
    }
    bool AtEnd() const { return pos_ == b_.size(); }

    bool ok = true;

private:
    bool Has(size_t n)
    {
        if (ok && b_.size() - pos_ >= n)
            return true;
        ok = false;
        return false;
    }

    const Bytes& b_;
    size_t pos_ = 0;
};

// A sent body as one comparable line: its type, then its fields by the
// layout of that type, a blob shown as #size. A body that does not match
// its layout shows as "malformed".
inline std::string DescribeSent(const Bytes& body)
{
    struct Layout {
        uint32_t type;
        const char* fields;
    };
    static const Layout layouts[] = {
        {116, "BSWU"}, {32, "SB"}, {34, "SB"}, {35, "S"}, {36, "SBUU"},
        {38, "SU"},    {37, "S"},  {30, "S"},  {33, "SS"}, {107, "BU"},
    };
    FieldReader r(body);
    const uint32_t type = r.U32();
    std::string line = std::to_string(type);
    for (const Layout& l : layouts) {
        if (l.type != type)
            continue;
        for (const char* f = l.fields; *f; ++f) {
            line += f == l.fields ? ":" : "|";
            if (*f == 'S') {
                line += r.Str();
            } else if (*f == 'W') {
                const std::wstring w = r.WStr();
                line += std::string(w.begin(), w.end());
            } else if (*f == 'B') {
                line += "#" + std::to_string(r.Blob().size());
            } else {
                line += std::to_string(r.U32());
            }
        }
        if (!r.ok || !r.AtEnd())
            line += " malformed";
    }
    return line;
}

class RelaySide {
public:
    static const DWORD kWaitMs = 10000;

    RelaySide() = default;
    ~RelaySide()
    {
        Drop();
        if (listener_ != INVALID_SOCKET)
            closesocket(listener_);
    }
    RelaySide(const RelaySide&) = delete;
    RelaySide& operator=(const RelaySide&) = delete;

    bool Listen()
    {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(listener_, 2) != 0)
            return false;
        int len = sizeof(a);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        return true;
    }
    uint16_t Port() const { return port_; }

    // Takes the manager's next connection, then plays the server's side of
    // the sign-in; done when the manager reports itself signed in. The
    // session reply ends with the contact list: its count, then its pairs.
    void SignIn(VoIPMsgHandler& events, const Bytes& contacts = Bytes(4, 0))
    {
        ASSERT_TRUE(Accept());
        Expect(100);
        Send(Body(24).U8(1).U8(0).Str("Office PC"));
        Expect(101);
        Bytes pad(2048);
        for (size_t i = 0; i < pad.size(); ++i)
            pad[i] = static_cast<unsigned char>(i * 13 + 5);
        Body reply = Body(6).U32(1).Blob(pad).U32(0).Str("Alice");
        reply.bytes.insert(reply.bytes.end(), contacts.begin(), contacts.end());
        Send(reply);
        for (int i = 0; i < 200; ++i) {
            for (const std::string& e : DrainEvents(events))
                if (e == "25")
                    return;
            Sleep(50);
        }
        ADD_FAILURE() << "the manager did not sign in";
    }

    void Send(const Body& body)
    {
        Bytes frame;
        const uint32_t n = static_cast<uint32_t>(body.bytes.size());
        for (int i = 0; i < 4; ++i)
            frame.push_back(static_cast<unsigned char>(n >> (8 * i)));
        frame.insert(frame.end(), body.bytes.begin(), body.bytes.end());
        EXPECT_EQ(static_cast<int>(frame.size()),
                  send(peer_, reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size()), 0));
    }

    // The next body the manager sent; false when none came in time.
    bool Read(Bytes& body)
    {
        bool keepAlive = true;
        while (keepAlive)
            if (!ReadFrame(body, keepAlive))
                return false;
        return true;
    }

    void SendKeepAlive()
    {
        const char frame[4] = {'\xFF', '\xFF', '\xFF', '\xFF'};
        EXPECT_EQ(4, send(peer_, frame, 4, 0));
    }

    // What the manager sends up to its next keep-alive, as lines; false when
    // no keep-alive came in time.
    bool AwaitKeepAlive(std::vector<std::string>& before)
    {
        Bytes body;
        bool keepAlive = false;
        while (ReadFrame(body, keepAlive)) {
            if (keepAlive)
                return true;
            before.push_back(DescribeSent(body));
        }
        return false;
    }

    // The next body, which must be of the given type.
    Bytes Expect(uint32_t type)
    {
        Bytes body;
        EXPECT_TRUE(Read(body)) << "waiting for " << type;
        FieldReader r(body);
        EXPECT_EQ(type, r.U32()) << DescribeSent(body);
        return body;
    }

    // Everything the manager has sent so far and not yet read, as lines. A
    // ready message for a transfer nobody holds goes last; the manager works
    // its commands in order, so its answer comes after all that came before.
    std::vector<std::string> Sent()
    {
        static const char kMarker[] = "no such transfer";
        Send(Body(35).Str(kMarker).U32(0));
        std::vector<std::string> lines;
        Bytes body;
        while (Read(body)) {
            FieldReader r(body);
            if (r.U32() == 33 && r.Str() == kMarker)
                return lines;
            lines.push_back(DescribeSent(body));
        }
        ADD_FAILURE() << "the manager did not answer the marker";
        return lines;
    }

    // What the manager sent in answer to a body.
    std::vector<std::string> Answers(const Body& body)
    {
        Send(body);
        return Sent();
    }

    // Cuts the link, as a server going away does.
    void Drop()
    {
        if (peer_ != INVALID_SOCKET)
            closesocket(peer_);
        peer_ = INVALID_SOCKET;
    }

private:
    bool ReadFrame(Bytes& body, bool& keepAlive)
    {
        Bytes length;
        if (!ReadExactly(4, length))
            return false;
        const uint32_t n = length[0] | length[1] << 8 | length[2] << 16 | static_cast<uint32_t>(length[3]) << 24;
        keepAlive = n == 0xFFFFFFFFu;
        return keepAlive || ReadExactly(n, body);
    }

    bool Accept()
    {
        Drop();
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener_, &ready);
        timeval wait = {static_cast<long>(kWaitMs / 1000), 0};
        if (select(0, &ready, nullptr, nullptr, &wait) != 1)
            return false;
        peer_ = accept(listener_, nullptr, nullptr);
        DWORD timeout = kWaitMs;
        setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        return peer_ != INVALID_SOCKET;
    }

    bool ReadExactly(size_t n, Bytes& out)
    {
        out.assign(n, 0);
        size_t got = 0;
        while (got < n) {
            const int r = recv(peer_, reinterpret_cast<char*>(out.data() + got), static_cast<int>(n - got), 0);
            if (r <= 0)
                return false;
            got += r;
        }
        return true;
    }

    SOCKET listener_ = INVALID_SOCKET;
    SOCKET peer_ = INVALID_SOCKET;
    uint16_t port_ = 0;
};
