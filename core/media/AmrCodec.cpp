#include "media/AmrCodec.h"

#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>

#include <cstring>

namespace {
// Frame sizes with the header byte, by mode.
const int32_t kModeFrameSize[8] = {13, 14, 16, 18, 20, 21, 27, 32};
// Speech bytes after the header, by frame type; -1 for the reserved types.
// Type 8 is a comfort-noise frame, 15 a frame with no data.
const int kPackedSize[16] = {12, 13, 15, 17, 19, 20, 26, 31, 5, -1, -1, -1, -1, -1, -1, 0};
}  // namespace

AmrCodec::AmrCodec() : encoderState(nullptr), decoderState(nullptr), encoderMode(0), frameSize(0) {}

AmrCodec::~AmrCodec()
{
    Destroy();
}

bool AmrCodec::Init()
{
    Destroy();
    encoderState = Encoder_Interface_init(0);
    decoderState = Decoder_Interface_init();
    SetMode(1);
    return encoderState && decoderState;
}

void AmrCodec::SetMode(int32_t mode)
{
    encoderMode = mode;
    if (mode >= 0 && mode < 8)
        frameSize = kModeFrameSize[mode];
}

int AmrCodec::FrameLengthFor(unsigned char header)
{
    int packed = kPackedSize[(header >> 3) & 0x0F];
    return packed < 0 ? 0 : packed + 1;
}

int AmrCodec::Encode(const int16_t* samples, int length, unsigned char* out)
{
    if (!encoderState || !samples || !out || length != kPcmBytes || encoderMode < 0 ||
        encoderMode > 7)
        return 0;
    int16_t work[kSamples];
    std::memcpy(work, samples, kPcmBytes);
    int n = Encoder_Interface_Encode(encoderState, static_cast<Mode>(encoderMode), work, out, 0);
    return n > 0 ? n : 0;
}

int AmrCodec::Decode(const unsigned char* frame, int length, int16_t* out)
{
    if (!decoderState || !frame || !out || length < 1)
        return 0;
    int expected = FrameLengthFor(frame[0]);
    if (expected == 0 || length != expected)
        return 0;
    // A frame marked damaged (quality bit clear) is concealed, not decoded.
    bool damaged = (frame[0] & 0x04) == 0;
    Decoder_Interface_Decode(decoderState, frame, out, damaged ? 1 : 0);
    return kPcmBytes;
}

void AmrCodec::Destroy()
{
    if (encoderState)
        Encoder_Interface_exit(encoderState);
    if (decoderState)
        Decoder_Interface_exit(decoderState);
    encoderState = nullptr;
    decoderState = nullptr;
}
