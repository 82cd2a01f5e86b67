// The core's reports to the windows: an event kind and the payload record of
// that kind. The kind numbers and record shapes are shared by every producer
// and every window.
#pragma once

#include <cstdint>
#include <new>
#include <string>

#include "wire/Buf.h"

enum VoipEventKind : int32_t {
    VE_StartSucceeded = 0,
    VE_StartFailed = 1,
    VE_ConnectFailed = 2,
    VE_Connecting = 3,
    VE_Connected = 4,
    VE_SessionReset = 5,
    VE_SignInSending = 6,
    VE_SignInFailed = 7,
    VE_Fatal = 8,
    VE_ContactsChanged = 9,
    VE_CallReply = 10,
    VE_CallRequested = 11,
    VE_ProbeStatus = 12,
    VE_CallValue = 13,
    VE_IncomingCall = 14,
    VE_MediaConnected = 15,
    VE_PeerAccepted = 16,
    VE_CallEnded = 17,
    VE_ChatText = 18,
    VE_TextData = 19,
    VE_ContactState = 20,
    VE_LoginFailed = 21,
    VE_DeviceUnknown = 22,
    VE_DeviceRegisterFailed = 23,
    VE_DeviceRegistered = 24,
    VE_SignedIn = 25,
    VE_FileOfferFailed = 26,
    VE_FileOfferSent = 27,
    VE_TransferFailed = 28,
    VE_FileOffer = 29,
    VE_TransferCancelled = 30,
    VE_AddContactFailed = 31,
    VE_AddContactDone = 32,
    VE_TransferProgress = 33,
    VE_TransferComplete = 34,
    VE_UpdateNotice = 35,
    VE_CallPageSignal = 36,
    VE_None = 37,
};

// The record shape each kind carries.
enum VoipPayloadShape {
    VP_None,
    VP_Value,
    VP_Byte,
    VP_Text,
    VP_Pair,
    VP_Chat,
    VP_TransferAnswer,
    VP_FileOffer,
    VP_TextBuf,
    VP_TextInt,
    VP_Progress,
};

VoipPayloadShape ShapeOfKind(int32_t kind);

struct VoipEventValue {
    static constexpr VoipPayloadShape kShape = VP_Value;
    int32_t value;
};

struct VoipEventByte {
    static constexpr VoipPayloadShape kShape = VP_Byte;
    uint8_t value;
};

struct VoipEventText {
    static constexpr VoipPayloadShape kShape = VP_Text;
    std::string text;
};

struct TextPair {
    static constexpr VoipPayloadShape kShape = VP_Pair;
    std::string first;
    std::string second;
};

struct VoipEventChat : TextPair {
    static constexpr VoipPayloadShape kShape = VP_Chat;
    VoipEventChat() {}
    VoipEventChat(const std::string& a, const std::string& b, const std::wstring& w)
        : TextPair{a, b}, wide(w)
    {
    }
    std::wstring wide;
};

struct VoipEventTransferAnswer {
    static constexpr VoipPayloadShape kShape = VP_TransferAnswer;
    std::string first;
    std::wstring wide;
    std::string second;
};

struct VoipEventFileOffer {
    static constexpr VoipPayloadShape kShape = VP_FileOffer;
    std::string first;
    std::string second;
    std::string third;
    std::wstring wide;
    int32_t value;
};

struct VoipEventTextBuf {
    static constexpr VoipPayloadShape kShape = VP_TextBuf;
    std::string text;
    Buf data;
};

struct VoipEventTextInt {
    static constexpr VoipPayloadShape kShape = VP_TextInt;
    std::string text;
    int32_t value;
};

struct VoipEventProgress {
    static constexpr VoipPayloadShape kShape = VP_Progress;
    std::string text;
    int32_t first;
    int32_t second;
};

class VoipEvent {
public:
    VoipEvent() : kind(VE_None), payload(nullptr) {}
    ~VoipEvent();
    VoipEvent(const VoipEvent&) = delete;
    VoipEvent& operator=(const VoipEvent&) = delete;

    // An event of a kind without payload; null for a kind that has one.
    static VoipEvent* Make(VoipEventKind kind);
    // An event with its own copy of the record; null when the record is
    // not the one the kind carries, so no event is ever read or destroyed
    // as the wrong record.
    template <typename Record>
    static VoipEvent* Make(VoipEventKind kind, const Record& record)
    {
        if (ShapeOfKind(kind) != Record::kShape)
            return nullptr;
        VoipEvent* e = new (std::nothrow) VoipEvent;
        if (!e)
            return nullptr;
        try {
            e->payload = new Record(record);
        } catch (...) {
            delete e;
            return nullptr;
        }
        e->kind = kind;
        return e;
    }

    // A new event of the same kind with its own copy of the payload; null
    // when there is no memory for it.
    VoipEvent* Copy() const;

    VoipEventKind GetKind() const { return kind; }
    // The payload as the record of the event's kind; null for another record.
    template <typename Record>
    Record* Payload() const
    {
        return ShapeOfKind(kind) == Record::kShape ? static_cast<Record*>(payload) : nullptr;
    }

private:
    VoipEventKind kind;
    void* payload;
};
