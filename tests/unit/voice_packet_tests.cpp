// The voice datagram: packing 16 captured blocks, its sizes per codec, and
// what the receiver makes of datagrams of every length and content.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"
#include "media/VoicePacket.h"

namespace {

using namespace VoicePacket;
typedef std::vector<int16_t> Samples;
typedef std::vector<unsigned char> Bytes;

// A changing test tone: every block differs from the one before.
Samples Block(int index)
{
    Samples s(CodecSet::kSamples);
    for (int i = 0; i < CodecSet::kSamples; ++i) {
        double t = (index * CodecSet::kSamples + i) / 8000.0;
        s[i] = static_cast<int16_t>(6000 * std::sin(2 * M_PI * (300 + 20 * index) * t) +
                                    2000 * std::sin(2 * M_PI * 1100 * t));
    }
    return s;
}

class Datagrams : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (CodecSet* c : {&sender_, &receiver_, &refEncoder_, &refDecoder_})
            ASSERT_TRUE(c->Init());
    }
    void UseType(int32_t type)
    {
        for (CodecSet* c : {&sender_, &receiver_, &refEncoder_, &refDecoder_})
            c->SetType(type);
    }
    // The datagram for blocks first .. first+15, all full.
    Bytes Pack(int first)
    {
        VoicePacker packer;
        for (int i = 0; i < kFrames; ++i) {
            Samples s = Block(first + i);
            packer.AddBlock(sender_, s.data(), kBlockBytes, kBlockBytes);
        }
        Bytes d(kDatagramBytes);
        d.resize(packer.Seal(crypto_, d.data()));
        return d;
    }
    // What a receiver decodes from the same blocks coded directly.
    std::vector<Samples> Reference(int first)
    {
        std::vector<Samples> out;
        for (int i = 0; i < kFrames; ++i) {
            Samples s = Block(first + i), decoded(CodecSet::kSamples);
            unsigned char frame[39] = {};
            int n = refEncoder_.Encode(s.data(), kBlockBytes, frame, sizeof(frame));
            refDecoder_.Decode(frame, n, decoded.data(), kBlockBytes);
            out.push_back(decoded);
        }
        return out;
    }
    static Samples SamplesOf(const Buf& b)
    {
        Samples s(CodecSet::kSamples);
        std::memcpy(s.data(), b.GetData(), kBlockBytes);
        return s;
    }
    static bool Silent(const Buf& b)
    {
        for (int i = 0; i < kBlockBytes; ++i)
            if (b.GetData()[i])
                return false;
        return true;
    }

    CryptoCore crypto_;
    CodecSet sender_, receiver_, refEncoder_, refDecoder_;
};

}  // namespace

TEST_F(Datagrams, FullPacketsCarrySixteenFramesThatDecodeAsSent)
{
    struct Case {
        int32_t type;
        size_t length;
    };
    const Case cases[] = {{CodecSet::kSpeex, 609}, {CodecSet::kAmrMode1, 225},
                          {CodecSet::kAmrMode7, 513}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        UseType(c.type);
        for (int packet = 0; packet < 3; ++packet) {
            Bytes d = Pack(packet * kFrames);
            ASSERT_EQ(c.length, d.size());
            EXPECT_EQ(0, d.back());
            std::list<Buf> blocks;
            ASSERT_EQ(kFrames, UnpackVoiceDatagram(receiver_, crypto_, d.data(),
                                                   static_cast<int>(d.size()), blocks));
            std::vector<Samples> expected = Reference(packet * kFrames);
            int i = 0;
            for (const Buf& b : blocks) {
                ASSERT_EQ(kPlayBlockBytes, b.GetSize());
                EXPECT_EQ(0, b.GetData()[kBlockBytes]);
                ASSERT_EQ(expected[i], SamplesOf(b)) << "block " << i;
                ++i;
            }
        }
    }
}

TEST_F(Datagrams, BlocksThatAreNotFullAddNothing)
{
    UseType(CodecSet::kSpeex);
    Samples s = Block(0);
    VoicePacker packer;
    for (int i = 0; i < kFrames; ++i)
        packer.AddBlock(sender_, s.data(), i == 3 ? 200 : kBlockBytes, kBlockBytes);
    EXPECT_EQ(15 * 38, packer.GetUsed());
    unsigned char d[kDatagramBytes];
    EXPECT_EQ(576 + 1, packer.Seal(crypto_, d));

    packer.Reset();
    for (int i = 0; i < kFrames; ++i)
        packer.AddBlock(sender_, s.data(), 0, kBlockBytes);
    ASSERT_EQ(1, packer.Seal(crypto_, d));
    EXPECT_EQ(0, d[0]);
    std::list<Buf> blocks;
    EXPECT_EQ(0, UnpackVoiceDatagram(receiver_, crypto_, d, 1, blocks));
    EXPECT_TRUE(blocks.empty());

    // Without a coder for the type, nothing is coded or decoded.
    UseType(CodecSet::kIlbc);
    packer.Reset();
    packer.AddBlock(sender_, s.data(), kBlockBytes, kBlockBytes);
    EXPECT_EQ(0, packer.GetUsed());
    Bytes full(609, 0x11);
    EXPECT_EQ(0, UnpackVoiceDatagram(receiver_, crypto_, full.data(), 609, blocks));
}

TEST_F(Datagrams, ALongerDatagramDecodesOnlyTheFirstSixteenFrames)
{
    UseType(CodecSet::kAmrMode1);
    // 16 AMR frames, then 384 bytes of something else, as one 608-byte cipher text.
    Bytes plain(kAreaBytes, 0xA5);
    for (int i = 0; i < kFrames; ++i) {
        Samples s = Block(i);
        ASSERT_EQ(14, sender_.Encode(s.data(), kBlockBytes, &plain[i * 14], 39));
    }
    Bytes d(kDatagramBytes, 0);
    ASSERT_EQ(608u, crypto_.EncryptBuffer(plain.data(), kAreaBytes, d.data()));
    std::list<Buf> blocks;
    ASSERT_EQ(kFrames, UnpackVoiceDatagram(receiver_, crypto_, d.data(), 609, blocks));
    std::vector<Samples> expected = Reference(0);
    int i = 0;
    for (const Buf& b : blocks)
        EXPECT_EQ(expected[i++], SamplesOf(b));
}

TEST_F(Datagrams, WhatDoesNotDecipherPlaysAsSilence)
{
    // Cipher-text lengths that are not whole blocks (a probe text among
    // them) leave the plain area zero: 16 frames of silence are queued.
    const char probe[] = "brannow_simul_3";
    for (int32_t type : {CodecSet::kAmrMode1, CodecSet::kAmrMode7}) {
        UseType(type);
        for (int length : {2, 15, 16, static_cast<int>(sizeof(probe)), 100}) {
            SCOPED_TRACE(testing::Message() << "type " << type << " length " << length);
            Bytes d(length, 0x3C);
            if (length == static_cast<int>(sizeof(probe)))
                std::memcpy(d.data(), probe, sizeof(probe));
            std::list<Buf> blocks;
            ASSERT_EQ(kFrames, UnpackVoiceDatagram(receiver_, crypto_, d.data(), length, blocks));
            for (const Buf& b : blocks)
                ASSERT_TRUE(Silent(b));
        }
    }
}

TEST_F(Datagrams, AnyLengthAndContentStaysInsideItsAreas)
{
    std::mt19937 random(11);
    for (int32_t type : {CodecSet::kSpeex, CodecSet::kAmrMode1, CodecSet::kAmrMode7}) {
        UseType(type);
        for (int i = 0; i < 400; ++i) {
            int length = static_cast<int>(random() % 1200);
            Bytes d(length + 1);
            for (unsigned char& b : d)
                b = static_cast<unsigned char>(random());
            std::list<Buf> blocks;
            int n = UnpackVoiceDatagram(receiver_, crypto_, d.data(), length, blocks);
            if (length <= 1 || length > kDatagramBytes)
                ASSERT_EQ(0, n) << length;
            else
                ASSERT_EQ(kFrames, n) << length;
            ASSERT_EQ(static_cast<size_t>(n), blocks.size());
        }
    }
}
