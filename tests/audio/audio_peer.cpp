// One side of a real call for the audio test, on the engine and the
// process-wide codec set and crypto object of the program:
//   audio_peer call offer|answer DIR CODEC LOCAL_PORT REMOTE_PORT
//     agrees a session key with the other side through files in DIR (the
//     caller's offer, the callee's answer), prints the verification code,
//     runs the engine towards 127.0.0.1:REMOTE_PORT until DIR\stop exists.
//   audio_peer code CODEC IN OUT
//     passes raw 8 kHz 16-bit mono samples through the codec, frame by frame.
// Exit codes: 0 done, 2 usage, 3 port taken, 4 no sound device, 5 key
// exchange failed, 6 file error.
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "crypto/CryptoCore.h"
#include "media/AudioEngine.h"
#include "media/CodecSet.h"

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A list of Bufs as u32 count, then per Buf a u32 length and its bytes;
// written under a temporary name and renamed, so the reader never sees half.
bool WriteList(const std::wstring& path, const BufList& list)
{
    std::wstring part = path + L".part";
    FILE* f = _wfopen(part.c_str(), L"wb");
    if (!f)
        return false;
    uint32_t n = static_cast<uint32_t>(list.size());
    bool ok = fwrite(&n, 4, 1, f) == 1;
    for (const Buf& b : list) {
        uint32_t size = static_cast<uint32_t>(b.GetSize());
        ok = ok && fwrite(&size, 4, 1, f) == 1 && fwrite(b.GetData(), 1, size, f) == size;
    }
    ok = fclose(f) == 0 && ok;
    return ok && MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool ReadList(const std::wstring& path, BufList& list, DWORD waitMs)
{
    DWORD start = GetTickCount();
    while (!Exists(path)) {
        if (GetTickCount() - start > waitMs)
            return false;
        Sleep(20);
    }
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return false;
    uint32_t n = 0;
    bool ok = fread(&n, 4, 1, f) == 1 && n < 16;
    for (uint32_t i = 0; ok && i < n; ++i) {
        uint32_t size = 0;
        ok = fread(&size, 4, 1, f) == 1 && size < 65536;
        std::vector<unsigned char> bytes(size);
        ok = ok && fread(bytes.data(), 1, size, f) == size;
        Buf b;
        ok = ok && b.Assign(bytes.data(), static_cast<int>(size));
        list.push_back(b);
    }
    fclose(f);
    return ok;
}

bool AgreeKey(bool caller, const std::wstring& dir)
{
    CryptoCore& crypto = *GetCryptoCore();
    if (!crypto.GenerateKeys())
        return false;
    BufList offer, answer;
    if (caller) {
        return crypto.MakeKeyOffer(offer) && WriteList(dir + L"\\offer.bin", offer) &&
               ReadList(dir + L"\\answer.bin", answer, 60000) && crypto.FinishKeyAnswer(answer);
    }
    return ReadList(dir + L"\\offer.bin", offer, 60000) && crypto.AcceptKeyOffer(offer) &&
           crypto.MakeKeyAnswer(answer) && WriteList(dir + L"\\answer.bin", answer);
}

int Call(bool caller, const std::wstring& dir, int32_t codec, uint16_t localPort,
         uint16_t remotePort)
{
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 6;
    AudioEngine engine;
    if (!engine.OpenSocket(localPort))
        return 3;
    if (!AgreeKey(caller, dir))
        return 5;
    std::printf("verification %ls\n", GetCryptoCore()->GetVerificationCode());
    GetCodecSet()->Init();
    GetCodecSet()->SetType(codec);
    engine.SetRemote(0x7F000001, remotePort);
    engine.SetVolume(PercentToVolume(100));
    engine.SetState(AudioEngine::kStateTalking);
    if (!engine.Start())
        return 4;
    std::printf("started\n");
    std::fflush(stdout);
    // Bounded, so that a lost stop file cannot leave the process behind.
    for (int i = 0; i < 600 && !Exists(dir + L"\\stop"); ++i)
        Sleep(100);
    engine.SignalStop();
    engine.SetState(AudioEngine::kStateProbing);
    engine.Stop();
    engine.CloseSocket();
    WSACleanup();
    std::printf("stopped\n");
    return 0;
}

int Code(int32_t codec, const wchar_t* inPath, const wchar_t* outPath)
{
    CodecSet& codecs = *GetCodecSet();
    codecs.Init();
    codecs.SetType(codec);
    FILE* in = _wfopen(inPath, L"rb");
    FILE* out = _wfopen(outPath, L"wb");
    if (!in || !out)
        return 6;
    int16_t pcm[CodecSet::kSamples];
    while (fread(pcm, 2, CodecSet::kSamples, in) == CodecSet::kSamples) {
        unsigned char frame[CodecSet::kMaxFrameBytes + 1] = {};
        int16_t decoded[CodecSet::kSamples] = {};
        int n = codecs.Encode(pcm, CodecSet::kPcmBytes, frame, sizeof(frame));
        codecs.Decode(frame, n, decoded, sizeof(decoded));
        fwrite(decoded, 2, CodecSet::kSamples, out);
    }
    fclose(in);
    return fclose(out) == 0 ? 0 : 6;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"call" && argc == 7) {
        std::wstring role = argv[2];
        if (role != L"offer" && role != L"answer")
            return 2;
        return Call(role == L"offer", argv[3], _wtoi(argv[4]),
                    static_cast<uint16_t>(_wtoi(argv[5])), static_cast<uint16_t>(_wtoi(argv[6])));
    }
    if (mode == L"code" && argc == 5)
        return Code(_wtoi(argv[2]), argv[3], argv[4]);
    std::fprintf(stderr, "usage: audio_peer call offer|answer DIR CODEC LOCAL REMOTE\n"
                         "       audio_peer code CODEC IN OUT\n");
    return 2;
}
