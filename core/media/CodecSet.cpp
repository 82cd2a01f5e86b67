#include "media/CodecSet.h"

namespace {
const int32_t kPreference[] = {CodecSet::kAmrMode1, CodecSet::kAmrMode7, CodecSet::kIlbc,
                               CodecSet::kSpeex};
}

CodecSet::CodecSet() : supportedMask(0), type(0) {}

bool CodecSet::Init()
{
    amr.reset(new AmrCodec);
    amr->Init();
    speex.reset(new SpeexCodec);
    speex->Init();
    supportedMask = kSupported;
    return true;
}

int32_t CodecSet::Negotiate(int32_t offered)
{
    if (offered <= 0)
        return 0;
    int32_t common = offered & supportedMask;
    for (int32_t candidate : kPreference) {
        if (common & candidate) {
            SetType(candidate);
            return candidate;
        }
    }
    return 0;
}

void CodecSet::SetType(int32_t newType)
{
    type = newType;
    if (!amr)
        return;
    if (newType == kAmrMode1)
        amr->SetMode(1);
    else if (newType == kAmrMode7)
        amr->SetMode(7);
}

int32_t CodecSet::FrameSizeOf(int32_t codecType) const
{
    if (!(codecType & supportedMask))
        return 0;
    switch (codecType) {
    case kSpeex:
        return speex->GetFrameSize();
    case kAmrMode1:
        return 14;
    case kAmrMode7:
        return 32;
    default:
        return 0;
    }
}

int CodecSet::Encode(const int16_t* samples, int length, unsigned char* out, int outCapacity)
{
    if (FrameSizeOf(type) == 0 || outCapacity < FrameSizeOf(type))
        return 0;
    if (type == kSpeex)
        return speex->Encode(samples, length, out);
    return amr->Encode(samples, length, out);
}

int CodecSet::Decode(const unsigned char* frame, int /*count*/, int16_t* out, int outCapacity)
{
    if (FrameSizeOf(type) == 0 || outCapacity < kPcmBytes)
        return 0;
    if (type == kSpeex)
        return speex->Decode(frame, out);
    return amr->Decode(frame, amr->GetFrameSize(), out);
}
