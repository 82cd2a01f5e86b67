#include "media/VoicePacket.h"

#include <cstring>

#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"

using namespace VoicePacket;

void VoicePacker::Reset()
{
    std::memset(area, 0, sizeof(area));
    used = 0;
}

void VoicePacker::AddBlock(CodecSet& codecs, const void* pcm, uint32_t recorded, uint32_t length)
{
    if (recorded != length || length != static_cast<uint32_t>(kBlockBytes))
        return;
    int16_t samples[CodecSet::kSamples];
    std::memcpy(samples, pcm, kBlockBytes);
    unsigned char scratch[CodecSet::kMaxFrameBytes + 1] = {};
    int n = codecs.Encode(samples, kBlockBytes, scratch, sizeof(scratch));
    if (n <= 0 || used + n > kAreaBytes)
        return;
    std::memcpy(area + used, scratch, n);
    used += n;
}

int VoicePacker::Seal(const CryptoCore& crypto, unsigned char* out) const
{
    std::memset(out, 0, kDatagramBytes);
    uint32_t length = used ? crypto.EncryptBuffer(area, used, out) : 0;
    out[length] = 0;
    return static_cast<int>(length) + 1;
}

int UnpackVoiceDatagram(CodecSet& codecs, const CryptoCore& crypto, const unsigned char* data,
                        int length, std::list<Buf>& blocks)
{
    int cipherLength = length - 1;
    int frameSize = codecs.FrameSizeOf(codecs.GetType());
    if (cipherLength <= 0 || cipherLength >= kDatagramBytes || frameSize == 0)
        return 0;
    unsigned char plain[kDatagramBytes] = {};
    crypto.DecryptBuffer(data, cipherLength, plain);
    int added = 0;
    for (int f = 0; f < kFrames; ++f) {
        unsigned char frame[CodecSet::kMaxFrameBytes + 1] = {};
        std::memcpy(frame, plain + f * frameSize, frameSize);
        int16_t samples[CodecSet::kSamples] = {};
        if (codecs.Decode(frame, frameSize, samples, sizeof(samples)) != CodecSet::kPcmBytes)
            std::memset(samples, 0, sizeof(samples));
        Buf block;
        if (!block.Resize(kPlayBlockBytes))
            continue;
        std::memcpy(block.GetData(), samples, kBlockBytes);
        block.GetData()[kBlockBytes] = 0;
        blocks.push_back(Buf());
        blocks.back().TakeFrom(block);
        ++added;
    }
    return added;
}
