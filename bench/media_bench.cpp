// CPU cost of one voice datagram's work per codec type: coding 16 captured
// blocks and enciphering them (the capture thread's share), deciphering and
// decoding them (the receive thread's share), against the 320 ms of audio
// the datagram carries.
//   media_bench [SPEECH.raw]   raw 8 kHz 16-bit mono; a synthetic voice otherwise
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <list>
#include <vector>

#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"
#include "media/VoicePacket.h"

namespace {

using namespace VoicePacket;

std::vector<int16_t> LoadSpeech(const wchar_t* path)
{
    std::vector<int16_t> s;
    if (FILE* f = path ? _wfopen(path, L"rb") : nullptr) {
        int16_t v;
        while (fread(&v, 2, 1, f) == 1)
            s.push_back(v);
        fclose(f);
    }
    if (s.size() < static_cast<size_t>(kFrames * CodecSet::kSamples)) {
        s.assign(8000 * 10, 0);
        for (size_t i = 0; i < s.size(); ++i) {
            double t = i / 8000.0;
            double v = std::sin(2 * M_PI * 180 * t) + 0.6 * std::sin(2 * M_PI * 720 * t + 1) +
                       0.3 * std::sin(2 * M_PI * 2300 * t + 2);
            s[i] = static_cast<int16_t>(6000 * v * (0.5 + 0.5 * std::sin(2 * M_PI * 2 * t)));
        }
    }
    return s;
}

// CPU time of this thread, in microseconds.
double ThreadMicros()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto us = [](const FILETIME& f) {
        return ((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10.0;
    };
    return us(kernel) + us(user);
}

double WallMicros()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1e6 / frequency.QuadPart;
}

struct Cost {
    double sendWall = 0, receiveWall = 0, cpu = 0;
};

Cost Measure(int32_t type, const std::vector<int16_t>& speech, const CryptoCore& crypto,
             int datagrams)
{
    CodecSet sender, receiver;
    sender.Init();
    receiver.Init();
    sender.SetType(type);
    receiver.SetType(type);
    const size_t blocks = speech.size() / CodecSet::kSamples;
    Cost cost;
    size_t at = 0;
    double cpuStart = 0;
    for (int d = -10; d < datagrams; ++d) {
        if (d == 0)
            cpuStart = ThreadMicros();
        double t0 = WallMicros();
        VoicePacker packer;
        for (int f = 0; f < kFrames; ++f, at = (at + 1) % blocks)
            packer.AddBlock(sender, &speech[at * CodecSet::kSamples], kBlockBytes, kBlockBytes);
        unsigned char datagram[kDatagramBytes];
        int length = packer.Seal(crypto, datagram);
        double t1 = WallMicros();
        std::list<Buf> played;
        UnpackVoiceDatagram(receiver, crypto, datagram, length, played);
        double t2 = WallMicros();
        if (d >= 0) {
            cost.sendWall += t1 - t0;
            cost.receiveWall += t2 - t1;
        }
    }
    cost.sendWall /= datagrams;
    cost.receiveWall /= datagrams;
    cost.cpu = (ThreadMicros() - cpuStart) / datagrams;
    return cost;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    SetThreadAffinityMask(GetCurrentThread(), 1);
    std::vector<int16_t> speech = LoadSpeech(argc > 1 ? argv[1] : nullptr);
    CryptoCore& crypto = *GetCryptoCore();
    crypto.GenerateKeys();
    const int datagrams = 300;
    const double audioMicros = 320000;
    std::printf("one voice datagram = 16 frames = 320 ms of audio; %d datagrams per codec, "
                "one core\n\n",
                datagrams);
    std::printf("%-18s %10s %10s %10s %10s %12s %10s\n", "codec", "send us", "receive us",
                "total us", "cpu us", "of 320 ms", "x realtime");
    const struct {
        int32_t type;
        const char* name;
    } codecs[] = {{CodecSet::kAmrMode1, "4 AMR-NB 5.15k"},
                  {CodecSet::kAmrMode7, "8 AMR-NB 12.2k"},
                  {CodecSet::kSpeex, "2 Speex NB q8"}};
    bool allFast = true;
    for (const auto& c : codecs) {
        Cost cost = Measure(c.type, speech, crypto, datagrams);
        double total = cost.sendWall + cost.receiveWall;
        std::printf("%-18s %10.0f %10.0f %10.0f %10.0f %11.2f%% %9.0fx\n", c.name, cost.sendWall,
                    cost.receiveWall, total, cost.cpu, 100 * total / audioMicros,
                    audioMicros / total);
        allFast = allFast && audioMicros / total >= 50;
    }
    std::printf("\ntarget: at least 50x faster than real time: %s\n", allFast ? "met" : "NOT met");
    return 0;
}
