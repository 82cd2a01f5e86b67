// CodecSet negotiation and type switching, the frame forms of both coders,
// what coded speech sounds like after a round trip, and hostile frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "media/CodecSet.h"

namespace {

typedef std::vector<int16_t> Samples;

// A vowel-like test signal: three formant tones under a slow loudness swell.
Samples Voice(int frames)
{
    Samples s(frames * CodecSet::kSamples);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / 8000.0;
        double v = std::sin(2 * M_PI * 300 * t) + 0.7 * std::sin(2 * M_PI * 730 * t + 1) +
                   0.5 * std::sin(2 * M_PI * 1210 * t + 2);
        s[i] = static_cast<int16_t>(3000 * v * (0.6 + 0.4 * std::sin(2 * M_PI * 1.5 * t)));
    }
    return s;
}

// Largest normalised correlation of b against a over codec delays of up to
// two frames, ignoring the start-up frames.
double BestCorrelation(const Samples& a, const Samples& b)
{
    double best = 0;
    const size_t skip = 4 * CodecSet::kSamples;
    for (int lag = 0; lag <= 2 * CodecSet::kSamples; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = skip; i + lag < b.size(); ++i) {
            ab += double(a[i]) * b[i + lag];
            aa += double(a[i]) * a[i];
            bb += double(b[i + lag]) * b[i + lag];
        }
        if (aa > 0 && bb > 0)
            best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

class Codecs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(set_.Init()); }

    // Encodes and decodes every frame of in with the current type.
    Samples RoundTrip(const Samples& in, int expectedFrameSize)
    {
        Samples out(in.size());
        for (size_t f = 0; f < in.size() / CodecSet::kSamples; ++f) {
            unsigned char frame[39] = {};
            int n = set_.Encode(&in[f * CodecSet::kSamples], CodecSet::kPcmBytes, frame,
                                sizeof(frame));
            EXPECT_EQ(expectedFrameSize, n);
            EXPECT_EQ(CodecSet::kPcmBytes,
                      set_.Decode(frame, n, &out[f * CodecSet::kSamples], CodecSet::kPcmBytes));
        }
        return out;
    }

    CodecSet set_;
};

}  // namespace

TEST_F(Codecs, NegotiationFollowsThePreferenceOrderWithoutIlbc)
{
    EXPECT_EQ(14, set_.GetSupportedMask());
    struct Case {
        int32_t offered;
        int32_t chosen;
        int32_t typeAfter;  // starting from Speex
        int32_t amrFrame;
    };
    const Case cases[] = {
        {0x30F, 4, 4, 14}, {0x30A, 8, 8, 32}, {3, 2, 2, 0},   {2, 2, 2, 0},
        {1, 0, 2, 0},      {16, 0, 2, 0},     {-1, 0, 2, 0},  {0, 0, 2, 0},
        {0x30C, 4, 4, 14}, {0x301, 0, 2, 0},  {0x7FFFFFFF, 4, 4, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offered);
        set_.SetType(CodecSet::kSpeex);
        EXPECT_EQ(c.chosen, set_.Negotiate(c.offered));
        EXPECT_EQ(c.typeAfter, set_.GetType());
        if (c.amrFrame) {
            unsigned char frame[39];
            Samples pcm = Voice(1);
            EXPECT_EQ(c.amrFrame, set_.Encode(pcm.data(), CodecSet::kPcmBytes, frame, 39));
        }
    }
}

TEST_F(Codecs, SettingTheTypeSwitchesTheAmrMode)
{
    Samples pcm = Voice(1);
    unsigned char frame[39];
    struct Step {
        int32_t type;
        int size;
        unsigned char header;
    };
    // Frame type in bits 6..3, the quality bit set.
    const Step steps[] = {{8, 32, 0x3C}, {4, 14, 0x0C}, {8, 32, 0x3C}, {2, 38, 0}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.type);
        set_.SetType(s.type);
        EXPECT_EQ(s.size, set_.FrameSizeOf(s.type));
        ASSERT_EQ(s.size, set_.Encode(pcm.data(), CodecSet::kPcmBytes, frame, sizeof(frame)));
        if (s.header) {
            EXPECT_EQ(s.header, frame[0]);
        }
    }
}

TEST_F(Codecs, UncodableTypesWriteNothing)
{
    Samples pcm = Voice(1);
    for (int32_t type : {0, 1, 3, 16, -1}) {
        SCOPED_TRACE(type);
        set_.SetType(type);
        EXPECT_EQ(0, set_.FrameSizeOf(type));
        unsigned char frame[39];
        std::memset(frame, 0x77, sizeof(frame));
        EXPECT_EQ(0, set_.Encode(pcm.data(), CodecSet::kPcmBytes, frame, sizeof(frame)));
        EXPECT_EQ(0x77, frame[0]);
        int16_t out[CodecSet::kSamples];
        std::fill(out, out + CodecSet::kSamples, int16_t(0x1234));
        EXPECT_EQ(0, set_.Decode(frame, 38, out, sizeof(out)));
        EXPECT_EQ(0x1234, out[0]);
    }
}

TEST_F(Codecs, WrongLengthsAndSmallAreasWriteNothing)
{
    Samples pcm = Voice(1);
    unsigned char frame[39];
    std::memset(frame, 0x77, sizeof(frame));
    for (int32_t type : {CodecSet::kSpeex, CodecSet::kAmrMode1}) {
        SCOPED_TRACE(type);
        set_.SetType(type);
        EXPECT_EQ(0, set_.Encode(pcm.data(), 318, frame, sizeof(frame)));
        EXPECT_EQ(0, set_.Encode(pcm.data(), 322, frame, sizeof(frame)));
        EXPECT_EQ(0, set_.Encode(nullptr, CodecSet::kPcmBytes, frame, sizeof(frame)));
        EXPECT_EQ(0, set_.Encode(pcm.data(), CodecSet::kPcmBytes, frame, 13));
        EXPECT_EQ(0x77, frame[0]);
        int16_t out[CodecSet::kSamples];
        EXPECT_EQ(0, set_.Decode(frame, 38, out, CodecSet::kPcmBytes - 1));
    }
}

TEST(AmrFrames, OnlyAFrameWhoseLengthMatchesItsHeaderIsDecoded)
{
    AmrCodec amr;
    ASSERT_TRUE(amr.Init());
    Samples pcm = Voice(1);
    unsigned char mode7[39] = {}, mode1[39] = {};
    amr.SetMode(7);
    ASSERT_EQ(32, amr.Encode(pcm.data(), AmrCodec::kPcmBytes, mode7));
    amr.SetMode(1);
    ASSERT_EQ(14, amr.Encode(pcm.data(), AmrCodec::kPcmBytes, mode1));
    struct Case {
        const unsigned char* frame;
        int length;
        bool decoded;
    };
    const unsigned char reserved[14] = {0x4C};  // frame type 9
    const Case cases[] = {
        {mode1, 14, true}, {mode7, 32, true}, {mode7, 14, false}, {mode1, 32, false},
        {mode1, 13, false}, {mode1, 0, false}, {reserved, 14, false}, {reserved, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "header " << int(c.frame[0]) << " length " << c.length);
        int16_t out[AmrCodec::kSamples];
        std::fill(out, out + AmrCodec::kSamples, int16_t(0x1234));
        EXPECT_EQ(c.decoded ? AmrCodec::kPcmBytes : 0, amr.Decode(c.frame, c.length, out));
        if (!c.decoded) {
            EXPECT_EQ(0x1234, out[AmrCodec::kSamples - 1]);
        }
    }
    // Modes outside 0..7 keep the frame size, and the encoder then codes nothing.
    amr.SetMode(9);
    EXPECT_EQ(14, amr.GetFrameSize());
    EXPECT_EQ(0, amr.Encode(pcm.data(), AmrCodec::kPcmBytes, mode1));
}

TEST_F(Codecs, CodedSpeechKeepsItsShape)
{
    const Samples voice = Voice(50);
    struct Case {
        int32_t type;
        int frameSize;
        double minCorrelation;
    };
    const Case cases[] = {{CodecSet::kSpeex, 38, 0.85}, {CodecSet::kAmrMode1, 14, 0.8},
                          {CodecSet::kAmrMode7, 32, 0.85}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        set_.SetType(c.type);
        EXPECT_GT(BestCorrelation(voice, RoundTrip(voice, c.frameSize)), c.minCorrelation);
    }
    // Silence in gives silence out, once the decoder's memory has faded.
    set_.SetType(CodecSet::kSpeex);
    Samples quiet = RoundTrip(Samples(50 * CodecSet::kSamples), 38);
    double energy = 0;
    for (size_t i = 10 * CodecSet::kSamples; i < quiet.size(); ++i)
        energy += double(quiet[i]) * quiet[i];
    EXPECT_LT(energy / quiet.size(), 100.0);
}

TEST_F(Codecs, HostileFramesDecodeWithinTheirArea)
{
    std::mt19937 random(7);
    for (int32_t type : {CodecSet::kSpeex, CodecSet::kAmrMode1, CodecSet::kAmrMode7}) {
        SCOPED_TRACE(type);
        set_.SetType(type);
        for (int i = 0; i < 300; ++i) {
            unsigned char frame[39];
            for (unsigned char& b : frame)
                b = static_cast<unsigned char>(random());
            // Every other AMR frame gets the right header, so that its bits are decoded.
            if (i % 2 && type == CodecSet::kAmrMode1)
                frame[0] = 0x0C;
            if (i % 2 && type == CodecSet::kAmrMode7)
                frame[0] = 0x3C;
            int16_t out[CodecSet::kSamples + 8];
            std::fill(out, out + CodecSet::kSamples + 8, int16_t(0x5A5A));
            int n = set_.Decode(frame, 38, out, CodecSet::kPcmBytes);
            EXPECT_TRUE(n == 0 || n == CodecSet::kPcmBytes);
            for (int k = CodecSet::kSamples; k < CodecSet::kSamples + 8; ++k)
                ASSERT_EQ(0x5A5A, out[k]);
        }
    }
}
