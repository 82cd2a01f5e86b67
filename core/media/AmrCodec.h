// AMR-NB frames in the octet-aligned storage form: one header byte (frame
// type in bits 6..3, quality in bit 2) and the speech bits.
#pragma once

#include <cstdint>

class AmrCodec {
public:
    static constexpr int kSamples = 160;
    static constexpr int kPcmBytes = kSamples * 2;
    // Header byte included; mode 7 is the longest.
    static constexpr int kMaxFrameBytes = 32;

    AmrCodec();
    ~AmrCodec();
    AmrCodec(const AmrCodec&) = delete;
    AmrCodec& operator=(const AmrCodec&) = delete;

    // No DTX: every frame is a speech frame of the current mode.
    bool Init();
    // Modes 0..7 also set the frame size; another mode is stored as it is.
    void SetMode(int32_t mode);
    int32_t GetMode() const { return encoderMode; }
    int32_t GetFrameSize() const { return frameSize; }

    // Encodes exactly kPcmBytes of samples into out (kMaxFrameBytes at
    // least); returns the frame's size, 0 when nothing was written.
    int Encode(const int16_t* samples, int length, unsigned char* out);
    // Decodes only a frame whose length matches its header's frame type;
    // returns kPcmBytes, or 0 when nothing was written to out.
    int Decode(const unsigned char* frame, int length, int16_t* out);
    void Destroy();

    // The frame length (header included) that a header byte announces; 0
    // for the reserved frame types, which are never decoded.
    static int FrameLengthFor(unsigned char header);

private:
    void* encoderState;
    void* decoderState;
    int32_t encoderMode;
    int32_t frameSize;
};
