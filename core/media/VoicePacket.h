// The voice datagram: the session-key cipher text of 16 coded 20 ms frames
// standing back to back, then one zero byte. The cipher text is the packet
// area's used bytes rounded up to 16.
#pragma once

#include <cstdint>
#include <list>

#include "wire/Buf.h"

class CodecSet;
class CryptoCore;

namespace VoicePacket {
const int kFrames = 16;
const int kBlockBytes = 320;
// A decoded block as it is queued for playback: the samples and one zero byte.
const int kPlayBlockBytes = kBlockBytes + 1;
// 16 frames of the longest coded size.
const int kAreaBytes = 608;
const int kDatagramBytes = 1024;
}  // namespace VoicePacket

// Collects the coded frames of one datagram.
class VoicePacker {
public:
    VoicePacker() { Reset(); }

    void Reset();
    // Codes one captured block; a block that is not a full 320 bytes adds
    // nothing (no bytes, no silence).
    void AddBlock(CodecSet& codecs, const void* pcm, uint32_t recorded, uint32_t length);
    // Enciphers the frames into out (kDatagramBytes) and appends the zero
    // byte; returns the datagram's length.
    int Seal(const CryptoCore& crypto, unsigned char* out) const;

    int GetUsed() const { return used; }

private:
    unsigned char area[VoicePacket::kAreaBytes];
    int used;
};

// Deciphers a received datagram of length bytes and decodes 16 frames of the
// current codec type into blocks (kPlayBlockBytes each, appended at the back);
// frames beyond the received data decode from zero bytes, and a frame that
// does not decode is silence. Returns the number of blocks added: 0 when the
// datagram has no cipher text, or the codec type has no coder.
int UnpackVoiceDatagram(CodecSet& codecs, const CryptoCore& crypto, const unsigned char* data,
                        int length, std::list<Buf>& blocks);
