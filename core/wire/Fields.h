// Wire fields of the server protocol. A message body is the 32-bit command
// type followed by fields written back to back, little-endian, with no tags.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "wire/Buf.h"

struct IPv4Address {
    uint32_t address = 0;  // host-order number: first dotted octet is the most significant byte
    uint32_t port = 0;     // UDP port in the low 16 bits
};

struct CLIENT_CAPS {
    uint32_t word0 = 1;
    uint32_t word1 = 0;
    uint32_t word2 = 1;
};

CLIENT_CAPS MakeDefaultClientCaps();

struct CmdHeader {
    // Both directions share one numbering; where a number is used both ways
    // the request and the reply carry the same name.
    enum CmdType : uint32_t {
        ContactList = 2,
        ProbeTarget = 4,
        PeerMediaAddress = 5,
        SessionReply = 6,
        CallRequestReply = 7,
        IncomingCall = 8,
        DirectProbing = 9,
        ProbeReport = 10,
        MediaConnected = 11,
        CallAccepted = 12,
        CallEnded = 13,
        ServerProbing = 14,
        KeyOffer = 15,
        KeyAnswer = 16,
        ChatText = 18,
        ContactKey = 20,
        ContactState = 22,
        LoginStep = 24,
        RegistrationReply = 26,
        TransferFailed = 28,
        FileOffer = 29,
        CancelTransfer = 30,
        TransferCancelled = 31,
        ReceiverKey = 32,
        TransferError = 33,
        WrappedFileKey = 34,
        ReadyToReceive = 35,
        FileChunk = 36,
        TransferDone = 37,
        ChunkAck = 38,
        AddContactReply = 40,
        UpdateNotice = 42,
        CallPageAnswer = 43,
        CallPageSignal = 44,

        LoginRequest = 100,
        SessionRequest = 101,
        DeviceRegistration = 102,
        ContactQuery = 103,
        ContactStateEnc = 104,
        ContactListEnc = 105,
        SessionReplyEnc = 106,
        CallRequest = 107,
        ProbeTargetEnc = 108,
        IncomingCallEnc = 109,
        ChatTextOut = 110,
        ChatTextEnc = 111,
        KeyRequest = 112,
        ContactKeyEnc = 113,
        LoginStepEnc = 114,
        RegistrationReplyEnc = 115,
        FileOfferOut = 116,
        FileOfferEnc = 117,
        AddContact = 118,
        AddContactReplyEnc = 119,
        RepeatedCredentials = 120,

        AcceptCall = CallAccepted,
        HangUp = CallEnded,
        AcceptFile = ReceiverKey,
    };

    uint32_t type = 0;
};

namespace Net {
// Frame length in front of every body on the stream; kKeepAlive marks a keep-alive.
struct StreamMsgHeader {
    static const uint32_t kKeepAlive = 0xFFFFFFFFu;
    uint32_t length = 0;
};
}  // namespace Net

class Field {
public:
    virtual ~Field() {}
    virtual int GetSize() const = 0;
    virtual const void* GetData() const = 0;
};

// Fixed-size fields travel as the little-endian memory image of their value.
template <typename T>
class FieldTempl : public Field {
public:
    explicit FieldTempl(const T& v) : value_(v) {}
    int GetSize() const override { return sizeof(T); }
    const void* GetData() const override { return &value_; }
    const T& GetValue() const { return value_; }

protected:
    T value_;
};

class CmdHeaderField : public FieldTempl<CmdHeader> {
public:
    explicit CmdHeaderField(CmdHeader h) : FieldTempl<CmdHeader>(h) {}
};

class CmdTypeField : public FieldTempl<CmdHeader::CmdType> {
public:
    explicit CmdTypeField(CmdHeader::CmdType t) : FieldTempl<CmdHeader::CmdType>(t) {}
};

class StreamMsgField : public FieldTempl<Net::StreamMsgHeader> {
public:
    explicit StreamMsgField(Net::StreamMsgHeader h) : FieldTempl<Net::StreamMsgHeader>(h) {}
};

class IPv4AddressField : public FieldTempl<IPv4Address> {
public:
    explicit IPv4AddressField(const IPv4Address& a) : FieldTempl<IPv4Address>(a) {}
};

class ULongField : public FieldTempl<uint32_t> {
public:
    explicit ULongField(uint32_t v) : FieldTempl<uint32_t>(v) {}
};

class Int4Field : public FieldTempl<int32_t> {
public:
    explicit Int4Field(int32_t v) : FieldTempl<int32_t>(v) {}
};

class Int2Field : public FieldTempl<int16_t> {
public:
    explicit Int2Field(int16_t v) : FieldTempl<int16_t>(v) {}
};

class Real8Field : public FieldTempl<double> {
public:
    explicit Real8Field(double v) : FieldTempl<double>(v) {}
};

class BoolField : public FieldTempl<bool> {
public:
    explicit BoolField(bool v) : FieldTempl<bool>(v) {}
};

class ClientCapsField : public FieldTempl<CLIENT_CAPS> {
public:
    explicit ClientCapsField(const CLIENT_CAPS& c) : FieldTempl<CLIENT_CAPS>(c) {}
};

// n bytes of text, then one zero byte.
class StringField : public FieldTempl<std::string> {
public:
    explicit StringField(std::string s) : FieldTempl<std::string>(std::move(s)) {}
    int GetSize() const override { return static_cast<int>(value_.size()) + 1; }
    const void* GetData() const override { return value_.c_str(); }
};

// n UTF-16LE units, then ONE zero byte: 2n + 1 bytes.
class WStringField : public FieldTempl<std::u16string> {
public:
    explicit WStringField(const std::wstring& w);
    int GetSize() const override { return 2 * static_cast<int>(value_.size()) + 1; }
    const void* GetData() const override { return value_.c_str(); }
};

// u32 length, then the bytes; the wire image is built once at construction.
class BufField : public FieldTempl<Buf> {
public:
    explicit BufField(const Buf& b);
    int GetSize() const override { return image_.GetSize(); }
    const void* GetData() const override { return image_.GetData(); }

private:
    Buf image_;
};

class FieldList {
public:
    FieldList() : total_(0) {}
    FieldList(const FieldList&) = delete;
    FieldList& operator=(const FieldList&) = delete;
    ~FieldList() { Clear(); }

    void Add(Field* field, bool atBack);
    void Clear();
    int GetTotal() const { return total_; }
    // A new array of GetTotal() bytes from AllocBytes, owned by the caller.
    unsigned char* Serialise() const;

private:
    std::list<Field*> fields_;
    int32_t total_;
};

FieldList& AppendCmdHeader(FieldList& list, uint32_t type);
FieldList& AppendStreamMsgHeader(FieldList& list, uint32_t length);
FieldList& AppendBuf(FieldList& list, const Buf& b);
FieldList& AppendULong(FieldList& list, uint32_t v);
FieldList& AppendInt4(FieldList& list, int32_t v);
FieldList& AppendString(FieldList& list, std::string s);
FieldList& AppendWString(FieldList& list, const std::wstring& w);
FieldList& AppendBool(FieldList& list, bool v);
FieldList& AppendClientCaps(FieldList& list, const CLIENT_CAPS& c);
