// Speex narrowband at quality 8 (38-byte frames), complexity 1, no VBR, with
// the decoder's perceptual enhancement.
#pragma once

#include <speex/speex_bits.h>

#include <cstdint>

class SpeexCodec {
public:
    static constexpr int kSamples = 160;
    static constexpr int kPcmBytes = kSamples * 2;
    static constexpr int kFrameBytes = 38;

    SpeexCodec();
    ~SpeexCodec();
    SpeexCodec(const SpeexCodec&) = delete;
    SpeexCodec& operator=(const SpeexCodec&) = delete;

    bool Init();
    int32_t GetFrameSize() const { return frameSize; }

    // kPcmBytes of samples into out (kFrameBytes at least); returns the
    // bytes written, 0 when nothing was.
    int Encode(const int16_t* samples, int length, unsigned char* out);
    // One kFrameBytes frame into kSamples samples; returns kPcmBytes. A frame
    // the decoder rejects gives silence.
    int Decode(const unsigned char* frame, int16_t* out);

private:
    void Destroy();

    void* encoderState;
    void* decoderState;
    // The capture thread encodes while the receive thread decodes, so each
    // direction packs its bits in its own buffer.
    SpeexBits encodeBits;
    SpeexBits decodeBits;
    int32_t frameSize;
};
