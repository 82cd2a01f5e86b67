#include "media/SpeexCodec.h"

#include <speex/speex.h>

#include <cstring>

SpeexCodec::SpeexCodec() : encoderState(nullptr), decoderState(nullptr), frameSize(0)
{
    std::memset(&encodeBits, 0, sizeof(encodeBits));
    std::memset(&decodeBits, 0, sizeof(decodeBits));
}

SpeexCodec::~SpeexCodec()
{
    Destroy();
}

bool SpeexCodec::Init()
{
    Destroy();
    const SpeexMode* mode = speex_lib_get_mode(SPEEX_MODEID_NB);
    encoderState = speex_encoder_init(mode);
    decoderState = speex_decoder_init(mode);
    if (!encoderState || !decoderState) {
        Destroy();
        return false;
    }
    spx_int32_t on = 1, off = 0, quality = 8, complexity = 1;
    speex_decoder_ctl(decoderState, SPEEX_SET_ENH, &on);
    speex_encoder_ctl(encoderState, SPEEX_SET_VBR, &off);
    speex_encoder_ctl(encoderState, SPEEX_SET_QUALITY, &quality);
    speex_encoder_ctl(encoderState, SPEEX_SET_COMPLEXITY, &complexity);
    speex_bits_init(&encodeBits);
    speex_bits_init(&decodeBits);
    frameSize = kFrameBytes;
    return true;
}

int SpeexCodec::Encode(const int16_t* samples, int length, unsigned char* out)
{
    if (!encoderState || !samples || !out || length != kPcmBytes)
        return 0;
    spx_int16_t work[kSamples];
    std::memcpy(work, samples, kPcmBytes);
    speex_bits_reset(&encodeBits);
    speex_encode_int(encoderState, work, &encodeBits);
    return speex_bits_write(&encodeBits, reinterpret_cast<char*>(out), kFrameBytes);
}

int SpeexCodec::Decode(const unsigned char* frame, int16_t* out)
{
    if (!decoderState || !frame || !out)
        return 0;
    spx_int16_t work[kSamples];
    speex_bits_read_from(&decodeBits, reinterpret_cast<const char*>(frame), kFrameBytes);
    if (speex_decode_int(decoderState, &decodeBits, work) != 0)
        std::memset(work, 0, sizeof(work));
    std::memcpy(out, work, kPcmBytes);
    return kPcmBytes;
}

void SpeexCodec::Destroy()
{
    if (encoderState)
        speex_encoder_destroy(encoderState);
    if (decoderState)
        speex_decoder_destroy(decoderState);
    // The bit buffers exist once Init has succeeded.
    if (frameSize) {
        speex_bits_destroy(&encodeBits);
        speex_bits_destroy(&decodeBits);
    }
    encoderState = nullptr;
    decoderState = nullptr;
    frameSize = 0;
}
