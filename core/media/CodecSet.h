// The process-wide voice codec set: agrees a codec type with the peer and
// codes single 20 ms frames (160 samples of 16-bit PCM at 8 kHz).
#pragma once

#include <cstdint>
#include <memory>

#include "media/AmrCodec.h"
#include "media/SpeexCodec.h"

class CodecSet {
public:
    // Codec types are bits, so that a set of them is a mask. No iLBC coder
    // is built in: its type is known to the negotiation but never supported.
    static constexpr int32_t kIlbc = 1;
    static constexpr int32_t kSpeex = 2;
    static constexpr int32_t kAmrMode1 = 4;
    static constexpr int32_t kAmrMode7 = 8;
    static constexpr int32_t kSupported = kSpeex | kAmrMode1 | kAmrMode7;

    static constexpr int kSamples = 160;
    static constexpr int kPcmBytes = kSamples * 2;
    // The longest coded frame of any type.
    static constexpr int kMaxFrameBytes = 38;

    CodecSet();
    CodecSet(const CodecSet&) = delete;
    CodecSet& operator=(const CodecSet&) = delete;

    bool Init();
    // Callee side: the first type of the preference order that both sides
    // support becomes the current one. 0, and the type unchanged, when the
    // offer is empty, negative or has nothing in common.
    int32_t Negotiate(int32_t offered);
    void SetType(int32_t newType);
    int32_t GetType() const { return type; }
    int32_t GetSupportedMask() const { return supportedMask; }
    // The coded frame size of a type; 0 for a type this side cannot code.
    int32_t FrameSizeOf(int32_t codecType) const;

    // One frame of length bytes of samples into out (room for outCapacity
    // bytes); returns the coded size, 0 when nothing was written.
    int Encode(const int16_t* samples, int length, unsigned char* out, int outCapacity);
    // One coded frame of the current type (its frame size is read from
    // frame) into kSamples samples; returns kPcmBytes, or 0 when nothing was
    // written to out. outCapacity is in bytes.
    int Decode(const unsigned char* frame, int count, int16_t* out, int outCapacity);

private:
    int32_t supportedMask;
    int32_t type;
    std::unique_ptr<AmrCodec> amr;
    std::unique_ptr<SpeexCodec> speex;
};

CodecSet* GetCodecSet();
