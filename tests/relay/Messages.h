// Messages of the relay protocol as lists of named fields, with the layout of
// every command in both directions. One table drives the encoder, the strict
// decoder of client frames and the decoded log.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "Wire.h"

namespace relay {

namespace cmd {
// Server to client, first set (plain texts).
const uint32_t ContactList = 2, ProbeTarget = 4, PeerAddress = 5, SessionReply = 6, CallReply = 7,
               IncomingCall = 8, DirectProbing = 9, MediaConnected = 11, CallAccepted = 12,
               ServerProbing = 14, ChatIn = 18, ContactKey = 20, ContactState = 22, LoginStep = 24,
               RegistrationReply = 26, TransferFailed = 28, FileOfferIn = 29, TransferCancelled = 31,
               AddContactReply = 40, UpdateNotice = 42, CallSignal = 44;
// Both directions.
const uint32_t CallEnded = 13, KeyOffer = 15, KeyAnswer = 16, ReceiverKey = 32, WrappedKey = 34,
               ReadyToReceive = 35, FileChunk = 36, TransferDone = 37, ChunkAck = 38;
// Client to server.
const uint32_t ProbeReport = 10, CancelTransfer = 30, TransferError = 33, CallSignalAnswer = 43,
               Login = 100, Session = 101, RegisterDevice = 102, ContactQuery = 103, CallRequest = 107,
               ChatOut = 110, KeyRequest = 112, FileOfferOut = 116, AddContact = 118, Credentials = 120;
}  // namespace cmd

// The server's twin of a first-set type (texts enciphered), or 0.
uint32_t TwinOf(uint32_t type);
// The first-set type a twin stands for, or the type itself.
uint32_t BaseOf(uint32_t type);

enum class Kind : uint8_t {
    U8,
    U16,
    U32,
    I32,
    Str,   // narrow text + zero byte
    WStr,  // UTF-16LE + one zero byte
    Blob,  // u32 length + bytes
    Enc,   // a Blob holding a name enciphered with the built-in key
    Text,  // Str in a first-set type, Enc in its twin (resolved when encoding)
    Addr,  // IPv4Address: u32 address as a number, u32 word with the port
    Caps,  // three u32
};

struct Field {
    Field() = default;
    Field(Kind k, std::string n) : kind(k), name(std::move(n)) {}

    Kind kind = Kind::U8;
    std::string name;
    std::array<uint32_t, 3> words{};  // integers, address + port, caps
    std::string text;                 // Str, and the deciphered text of an Enc
    Wide wide;
    Bytes bytes;          // Blob, and the enciphered bytes of an Enc as sent or received
    bool rawEnc = false;  // when encoding an Enc: send `bytes` as they are
};

struct Message {
    uint32_t type = 0;
    std::vector<Field> fields;

    Message() = default;
    explicit Message(uint32_t t) : type(t) {}

    Message& U8(const std::string& name, uint8_t v) { return Int(Kind::U8, name, v); }
    Message& U16(const std::string& name, uint16_t v) { return Int(Kind::U16, name, v); }
    Message& U32(const std::string& name, uint32_t v) { return Int(Kind::U32, name, v); }
    Message& I32(const std::string& name, int32_t v) { return Int(Kind::I32, name, uint32_t(v)); }
    Message& Str(const std::string& name, const std::string& v) { return Set(Kind::Str, name, &Field::text, v); }
    Message& Enc(const std::string& name, const std::string& v) { return Set(Kind::Enc, name, &Field::text, v); }
    Message& Text(const std::string& name, const std::string& v) { return Set(Kind::Text, name, &Field::text, v); }
    Message& WStr(const std::string& name, const Wide& v) { return Set(Kind::WStr, name, &Field::wide, v); }
    Message& Blob(const std::string& name, const Bytes& v) { return Set(Kind::Blob, name, &Field::bytes, v); }
    Message& Addr(const std::string& name, uint32_t address, uint16_t port);
    Message& Caps(uint32_t a, uint32_t b, uint32_t c);

    // First field of that name, or null.
    const Field* Get(const std::string& name) const;
    uint32_t Num(const std::string& name) const;
    std::string TextOf(const std::string& name) const;
    Bytes BlobOf(const std::string& name) const;
    Wide WideOf(const std::string& name) const;

private:
    Field& Add(Kind k, const std::string& name);
    Message& Int(Kind k, const std::string& name, uint32_t v) {
        Add(k, name).words[0] = v;
        return *this;
    }
    template <class T>
    Message& Set(Kind k, const std::string& name, T Field::*member, const T& v) {
        Add(k, name).*member = v;
        return *this;
    }
};

struct EncodeOptions {
    bool twin = false;  // send the twin type with enciphered texts, where there is one
    int cut = -1;       // keep only the first `cut` fields after the type
    int encLength = -1; // replace every enciphered name by a blob of this many bytes
};

// The body: u32 type, then the fields.
Bytes Encode(const Message& m, const EncodeOptions& options = EncodeOptions());

enum class Direction { FromClient, ToClient };

struct Decoded {
    Direction direction = Direction::FromClient;
    Message message;
    bool known = false;     // the type has a layout in this direction
    bool complete = false;  // every field read and nothing left over
    std::string error;      // why not complete
    std::vector<std::string> faults;  // field values no correct client sends
};

Decoded Decode(const Bytes& body, Direction direction);

// One line for the log: type, name, then name=value for every field.
std::string Format(const Decoded& d);

const char* CommandName(uint32_t type, Direction direction);

}  // namespace relay
