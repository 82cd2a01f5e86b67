#include "events/VoipEvent.h"

VoipPayloadShape ShapeOfKind(int32_t kind)
{
    switch (kind) {
    case 10: case 13:
        return VP_Value;
    case 11:
        return VP_Byte;
    case 1: case 7: case 12: case 21: case 23: case 30: case 32: case 34:
        return VP_Text;
    case 14: case 28: case 31: case 35:
        return VP_Pair;
    case 18:
        return VP_Chat;
    case 26:
        return VP_TransferAnswer;
    case 29:
        return VP_FileOffer;
    case 19:
        return VP_TextBuf;
    case 20:
        return VP_TextInt;
    case 33:
        return VP_Progress;
    default:
        return VP_None;
    }
}

namespace {
template <typename Record>
void Destroy(void* p)
{
    delete static_cast<Record*>(p);
}

template <typename Record>
VoipEvent* CopyOf(VoipEventKind kind, const void* p)
{
    return VoipEvent::Make(kind, *static_cast<const Record*>(p));
}
}  // namespace

VoipEvent::~VoipEvent()
{
    switch (ShapeOfKind(kind)) {
    case VP_None: break;
    case VP_Value: Destroy<VoipEventValue>(payload); break;
    case VP_Byte: Destroy<VoipEventByte>(payload); break;
    case VP_Text: Destroy<VoipEventText>(payload); break;
    case VP_Pair: Destroy<TextPair>(payload); break;
    case VP_Chat: Destroy<VoipEventChat>(payload); break;
    case VP_TransferAnswer: Destroy<VoipEventTransferAnswer>(payload); break;
    case VP_FileOffer: Destroy<VoipEventFileOffer>(payload); break;
    case VP_TextBuf: Destroy<VoipEventTextBuf>(payload); break;
    case VP_TextInt: Destroy<VoipEventTextInt>(payload); break;
    case VP_Progress: Destroy<VoipEventProgress>(payload); break;
    }
}

VoipEvent* VoipEvent::Make(VoipEventKind kind)
{
    if (ShapeOfKind(kind) != VP_None)
        return nullptr;
    VoipEvent* e = new (std::nothrow) VoipEvent;
    if (e)
        e->kind = kind;
    return e;
}

VoipEvent* VoipEvent::Copy() const
{
    switch (ShapeOfKind(kind)) {
    case VP_None: return Make(kind);
    case VP_Value: return CopyOf<VoipEventValue>(kind, payload);
    case VP_Byte: return CopyOf<VoipEventByte>(kind, payload);
    case VP_Text: return CopyOf<VoipEventText>(kind, payload);
    case VP_Pair: return CopyOf<TextPair>(kind, payload);
    case VP_Chat: return CopyOf<VoipEventChat>(kind, payload);
    case VP_TransferAnswer: return CopyOf<VoipEventTransferAnswer>(kind, payload);
    case VP_FileOffer: return CopyOf<VoipEventFileOffer>(kind, payload);
    case VP_TextBuf: return CopyOf<VoipEventTextBuf>(kind, payload);
    case VP_TextInt: return CopyOf<VoipEventTextInt>(kind, payload);
    case VP_Progress: return CopyOf<VoipEventProgress>(kind, payload);
    }
    return nullptr;
}
