// Server message bodies built byte by byte and handed to the manager, and
// its events as comparable lines.
#pragma once

#include <cryptopp/aes.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "events/VoipEvent.h"
#include "session/VoIPManager.h"
#include "TestBytes.h"
#include "TestHex.h"
#include "wire/Buf.h"

const char kBuiltinKeyHex[] = "e3b9131dd4b3f16db7332a2ade8cd0d459fdab550621c08da088a536b31466fb";

// Whole blocks enciphered with the built-in key, as the server does it,
// without the client's own name cipher and its length limit.
inline Bytes ServerEncipher(const std::string& text, size_t size)
{
    Bytes plain(size, 0);
    std::memcpy(plain.data(), text.data(), std::min(text.size(), size));
    Bytes key = FromHex(kBuiltinKeyHex);
    CryptoPP::AES::Encryption aes(key.data(), key.size());
    Bytes out(size);
    for (size_t i = 0; i + 16 <= size; i += 16)
        aes.ProcessBlock(plain.data() + i, out.data() + i);
    return out;
}

inline size_t Rounded(size_t n) { return n ? (n + 15) & ~size_t(15) : 16; }

// A server message body: little-endian fields back to back.
class Body {
public:
    explicit Body(uint32_t type, bool twin = false) : twin_(twin) { U32(type); }
    Body& U8(uint8_t v)
    {
        bytes.push_back(v);
        return *this;
    }
    Body& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
    Body& Str(const std::string& s)
    {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
        return *this;
    }
    Body& Blob(const Bytes& b)
    {
        U32(static_cast<uint32_t>(b.size()));
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    Body& Blob(const Buf& b) { return Blob(ToBytes(b)); }
    // UTF-16 units, then a single zero byte: the wire keeps one byte of the
    // wide terminator.
    Body& WStr(const std::wstring& s)
    {
        for (wchar_t c : s) {
            bytes.push_back(static_cast<unsigned char>(c));
            bytes.push_back(static_cast<unsigned char>(c >> 8));
        }
        bytes.push_back(0);
        return *this;
    }
    // A text: plain in a first-set type, enciphered in its twin.
    Body& Text(const std::string& s) { return twin_ ? Blob(ServerEncipher(s, Rounded(s.size()))) : Str(s); }

    Bytes bytes;

private:
    bool twin_;
};

// An event as one comparable line: the kind and the payload's texts.
inline std::string Describe(const VoipEvent& e)
{
    std::string s = std::to_string(e.GetKind());
    if (auto* p = e.Payload<VoipEventText>())
        s += ":" + p->text;
    else if (auto* p = e.Payload<VoipEventChat>())
        s += ":" + p->first + "|" + p->second + "|" + std::string(p->wide.begin(), p->wide.end());
    else if (auto* p = e.Payload<TextPair>())
        s += ":" + p->first + "|" + p->second;
    else if (auto* p = e.Payload<VoipEventTextInt>())
        s += ":" + p->text + "|" + std::to_string(p->value);
    else if (auto* p = e.Payload<VoipEventValue>())
        s += ":" + std::to_string(p->value);
    else if (auto* p = e.Payload<VoipEventTransferAnswer>())
        s += ":" + p->first + "|" + std::string(p->wide.begin(), p->wide.end()) + "|" + p->second;
    else if (auto* p = e.Payload<VoipEventFileOffer>())
        s += ":" + p->first + "|" + p->second + "|" + p->third + "|"
            + std::string(p->wide.begin(), p->wide.end()) + "|" + std::to_string(p->value);
    else if (auto* p = e.Payload<VoipEventProgress>())
        s += ":" + p->text + "|" + std::to_string(p->first) + "|" + std::to_string(p->second);
    return s;
}


// Hands the first keep bytes of a body to the manager as a received message.
inline void DeliverBody(VoIPManager& manager, const Bytes& body, size_t keep)
{
    unsigned char* p = AllocBytes(static_cast<int>(keep));
    if (keep)
        std::memcpy(p, body.data(), keep);
    CmdMsg message(p, static_cast<int>(keep));
    manager.HandleCmd(message);
}

// Every event waiting in a handler's queue, as lines.
inline std::vector<std::string> DrainEvents(VoIPMsgHandler& handler)
{
    std::vector<std::string> seen;
    while (VoipEvent* e = handler.PopEvent()) {
        seen.push_back(Describe(*e));
        delete e;
    }
    return seen;
}
