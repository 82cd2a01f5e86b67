#include "media/AudioEngine.h"

#include <cstring>

#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"
#include "media/VoicePacket.h"
#include "wire/HostNames.h"

namespace {
// How long closing waits for a device to hand back its buffers.
const int kReturnWaitPolls = 200;
}  // namespace

// ---- WaveHeader ----

bool WaveHeader::AllocCapture()
{
    unsigned char* data = AllocBytes(VoicePacket::kBlockBytes);
    if (!data)
        return false;
    if (!Attach(data, VoicePacket::kBlockBytes)) {
        FreeBytes(data);
        return false;
    }
    return true;
}

bool WaveHeader::Attach(unsigned char* data, uint32_t length)
{
    header = new (std::nothrow) WAVEHDR;
    if (!header)
        return false;
    std::memset(header, 0, sizeof(*header));
    header->lpData = reinterpret_cast<LPSTR>(data);
    header->dwBufferLength = length;
    return true;
}

bool WaveHeader::AddToCapture(HWAVEIN device)
{
    if (!header)
        return false;
    if (waveInPrepareHeader(device, header, sizeof(*header)) != MMSYSERR_NOERROR)
        return false;
    if (waveInAddBuffer(device, header, sizeof(*header)) != MMSYSERR_NOERROR) {
        UnprepareCapture(device);
        return false;
    }
    return true;
}

void WaveHeader::UnprepareCapture(HWAVEIN device)
{
    if (header && (header->dwFlags & WHDR_PREPARED))
        waveInUnprepareHeader(device, header, sizeof(*header));
}

bool WaveHeader::Play(HWAVEOUT device)
{
    if (!header)
        return false;
    if (waveOutPrepareHeader(device, header, sizeof(*header)) != MMSYSERR_NOERROR)
        return false;
    if (waveOutWrite(device, header, sizeof(*header)) != MMSYSERR_NOERROR) {
        UnpreparePlayback(device);
        return false;
    }
    return true;
}

void WaveHeader::UnpreparePlayback(HWAVEOUT device)
{
    if (header && (header->dwFlags & WHDR_PREPARED))
        waveOutUnprepareHeader(device, header, sizeof(*header));
}

void WaveHeader::Free()
{
    if (!header)
        return;
    FreeBytes(reinterpret_cast<unsigned char*>(header->lpData));
    delete header;
    header = nullptr;
}

// ---- AudioEngine ----

AudioEngine::AudioEngine()
    : captureThread(nullptr),
      receiveThread(nullptr),
      playbackThread(nullptr),
      captureDevice(nullptr),
      playbackDevice(nullptr),
      captureInDevice(0),
      playbackInDevice(0),
      volumeApplied(false),
      appliedVolume(0)
{
    state.Set(kStateTalking);
    std::memset(&format, 0, sizeof(format));
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 8000;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 16000;
    format.cbSize = 0;
}

AudioEngine::~AudioEngine()
{
    CloseSocket();
}

bool AudioEngine::OpenSocket(uint16_t localPort)
{
    CloseSocket();
    std::unique_ptr<UdpSocket> s(new UdpSocket);
    s->SetOwner(this);
    if (!s->Open(localPort))
        return false;
    socket = std::move(s);
    return true;
}

void AudioEngine::CloseSocket()
{
    ScopedLock guard(runLock);
    if (IsRunning()) {
        SignalStop();
        Stop();
    }
    socket.reset();
}

void AudioEngine::SignalStop()
{
    ScopedLock guard(sendLock);
    stopFlag.Set(true);
}

bool AudioEngine::SendProbe(const std::string& host, uint16_t port, const std::string& identity)
{
    if (IsRunning() || !socket)
        return false;
    uint32_t address = 0;
    if (!ResolveHost(host.c_str(), address))
        return false;
    socket->SendTo(identity.c_str(), static_cast<int>(identity.size()) + 1, address, port);
    return true;
}

bool AudioEngine::SetRemote(uint32_t address, uint16_t port)
{
    // The stop flag is left alone: a late address must not revive threads
    // that are being told to end.
    if (socket)
        socket->SetDestination(address, port);
    return true;
}

void AudioEngine::SetVolume(uint32_t word)
{
    volume.Set(word);
    volumeChosen.Set(true);
}

int32_t AudioEngine::GetCallMode()
{
    int32_t mode = callMode.Get();
    return mode == 256 || mode == 512 ? mode : 256;
}

int32_t AudioEngine::AgreeCallMode(int32_t offered)
{
    if (offered <= 0)
        return 0;
    int32_t common = offered & kSupportedModes;
    int32_t mode = (common & 0x200) && !(common & 0x100) ? 512 : 256;
    callMode.Set(mode);
    return mode;
}

uint32_t AudioEngine::GetPlaybackVolume() const
{
    DWORD word = 0;
    if (!playbackDevice || waveOutGetVolume(playbackDevice, &word) != MMSYSERR_NOERROR)
        return 0;
    return word;
}

size_t AudioEngine::GetPlaybackQueueLength()
{
    ScopedLock guard(playbackLock);
    return playbackQueue.size();
}

uint32_t PercentToVolume(int32_t percent)
{
    if (percent <= 0)
        return 0;
    if (percent >= 100)
        return 0xFFFFFFFFu;
    uint32_t w = static_cast<uint32_t>(percent * 65535.0 / 100.0) & 0xFFFF;
    return (w << 16) | w;
}

// ---- Start and stop ----

bool AudioEngine::IsRunning()
{
    ScopedLock guard(runLock);
    return captureThread != nullptr;
}

bool AudioEngine::Start()
{
    ScopedLock guard(runLock);
    if (IsRunning())
        return false;
    stopFlag.Set(false);
    volumeApplied = false;
    if (!OpenCapture() || !OpenPlayback()) {
        Stop();
        return false;
    }
    QueueCaptureBuffers(kCaptureBuffers);
    {
        ScopedLock queue(playbackLock);
        playbackQueue.clear();
    }
    captureThread = CreateThread(nullptr, 0, CaptureMain, this, 0, nullptr);
    if (captureThread)
        receiveThread = CreateThread(nullptr, 0, ReceiveMain, this, 0, nullptr);
    if (receiveThread)
        playbackThread = CreateThread(nullptr, 0, PlaybackMain, this, 0, nullptr);
    if (!playbackThread) {
        Stop();
        return false;
    }
    return true;
}

bool AudioEngine::Stop()
{
    ScopedLock guard(runLock);
    // Here too, so that a caller that forgot to signal cannot wait for ever.
    SignalStop();
    JoinThreads();
    CloseCapture();
    ClosePlayback();
    ScopedLock queue(playbackLock);
    playbackQueue.clear();
    return true;
}

void AudioEngine::JoinThreads()
{
    HANDLE* threads[] = {&captureThread, &receiveThread, &playbackThread};
    for (HANDLE* t : threads) {
        if (!*t)
            continue;
        WaitForSingleObject(*t, INFINITE);
        CloseHandle(*t);
        *t = nullptr;
    }
}

bool AudioEngine::OpenCapture()
{
    HWAVEIN device = nullptr;
    if (waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(CaptureCallback),
                   reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return false;
    captureDevice = device;
    return waveInStart(device) == MMSYSERR_NOERROR;
}

bool AudioEngine::OpenPlayback()
{
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(PlaybackCallback),
                    reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return false;
    playbackDevice = device;
    return true;
}

void AudioEngine::QueueCaptureBuffers(int count)
{
    for (int i = 0; i < count; ++i) {
        WaveHeader h;
        if (!h.AllocCapture())
            continue;
        // Counted before the device may hand it back.
        {
            ScopedLock guard(captureLock);
            ++captureInDevice;
        }
        if (!h.AddToCapture(captureDevice)) {
            ScopedLock guard(captureLock);
            --captureInDevice;
            h.Free();
        }
    }
}

void AudioEngine::WaitForReturns(CriticalSection& lock, const int& inDevice)
{
    for (int i = 0; i < kReturnWaitPolls; ++i) {
        {
            ScopedLock guard(lock);
            if (inDevice <= 0)
                return;
        }
        Sleep(kPollMs);
    }
}

void AudioEngine::CloseCapture()
{
    if (captureDevice) {
        // Reset hands every buffer back through the callback.
        waveInReset(captureDevice);
        WaitForReturns(captureLock, captureInDevice);
        FreeCaptureQueue();
        waveInClose(captureDevice);
        captureDevice = nullptr;
    }
    FreeCaptureQueue();
    ScopedLock guard(captureLock);
    captureInDevice = 0;
}

// Headers are unprepared outside the lock: the device's callback thread may
// be waiting for it, and the system may need that thread to unprepare.
void AudioEngine::FreeCaptureQueue()
{
    std::list<WAVEHDR*> headers;
    {
        ScopedLock guard(captureLock);
        headers.swap(captureQueue);
    }
    for (WAVEHDR* h : headers) {
        WaveHeader w(h);
        w.UnprepareCapture(captureDevice);
        w.Free();
    }
}

void AudioEngine::ClosePlayback()
{
    if (playbackDevice) {
        waveOutReset(playbackDevice);
        WaitForReturns(playedLock, playbackInDevice);
        FreePlayedBuffers();
        waveOutClose(playbackDevice);
        playbackDevice = nullptr;
    }
    FreePlayedBuffers();
    ScopedLock guard(playedLock);
    playbackInDevice = 0;
}

void AudioEngine::FreePlayedBuffers()
{
    std::list<WAVEHDR*> headers;
    {
        ScopedLock guard(playedLock);
        headers.swap(playedList);
    }
    for (WAVEHDR* h : headers) {
        WaveHeader w(h);
        w.UnpreparePlayback(playbackDevice);
        w.Free();
    }
}

// ---- Device callbacks: they only move headers ----

void CALLBACK AudioEngine::CaptureCallback(HWAVEIN, UINT message, DWORD_PTR instance,
                                           DWORD_PTR param1, DWORD_PTR)
{
    if (message != WIM_DATA)
        return;
    AudioEngine* self = reinterpret_cast<AudioEngine*>(instance);
    ScopedLock guard(self->captureLock);
    self->captureQueue.push_back(reinterpret_cast<WAVEHDR*>(param1));
    --self->captureInDevice;
}

void CALLBACK AudioEngine::PlaybackCallback(HWAVEOUT, UINT message, DWORD_PTR instance,
                                            DWORD_PTR param1, DWORD_PTR)
{
    if (message != WOM_DONE)
        return;
    AudioEngine* self = reinterpret_cast<AudioEngine*>(instance);
    ScopedLock guard(self->playedLock);
    self->playedList.push_back(reinterpret_cast<WAVEHDR*>(param1));
    --self->playbackInDevice;
}

// ---- Media threads ----

DWORD WINAPI AudioEngine::CaptureMain(LPVOID self)
{
    static_cast<AudioEngine*>(self)->CaptureLoop();
    return 0;
}

DWORD WINAPI AudioEngine::ReceiveMain(LPVOID self)
{
    static_cast<AudioEngine*>(self)->ReceiveLoop();
    return 0;
}

DWORD WINAPI AudioEngine::PlaybackMain(LPVOID self)
{
    static_cast<AudioEngine*>(self)->PlaybackLoop();
    return 0;
}

void AudioEngine::CaptureLoop()
{
    VoicePacker packer;
    unsigned char datagram[VoicePacket::kDatagramBytes];
    while (!stopFlag.Get()) {
        std::list<WAVEHDR*> taken;
        {
            ScopedLock guard(captureLock);
            if (captureQueue.size() >= static_cast<size_t>(VoicePacket::kFrames)) {
                auto end = captureQueue.begin();
                std::advance(end, VoicePacket::kFrames);
                taken.splice(taken.begin(), captureQueue, captureQueue.begin(), end);
            }
        }
        if (taken.empty()) {
            Sleep(kPollMs);
            continue;
        }
        packer.Reset();
        for (WAVEHDR* h : taken) {
            packer.AddBlock(*GetCodecSet(), h->lpData, h->dwBytesRecorded, h->dwBufferLength);
            WaveHeader w(h);
            w.UnprepareCapture(captureDevice);
            w.Free();
        }
        int length = packer.Seal(*GetCryptoCore(), datagram);
        {
            ScopedLock guard(sendLock);
            if (stopFlag.Get())
                break;
            if (socket)
                socket->Send(datagram, length);
        }
        QueueCaptureBuffers(static_cast<int>(taken.size()));
        Sleep(kPollMs);
    }
}

void AudioEngine::ApplyVolume()
{
    if (!volumeChosen.Get())
        return;
    uint32_t v = volume.Get();
    if (volumeApplied && v == appliedVolume)
        return;
    appliedVolume = v;
    volumeApplied = true;
    waveOutSetVolume(playbackDevice, v);
}

void AudioEngine::ReceiveLoop()
{
    unsigned char datagram[UdpSocket::kReceiveBytes];
    while (!stopFlag.Get()) {
        ApplyVolume();
        int length = socket ? socket->Receive(datagram) : -1;
        if (length > 1 && state.Get() == kStateTalking) {
            std::list<Buf> blocks;
            UnpackVoiceDatagram(*GetCodecSet(), *GetCryptoCore(), datagram, length, blocks);
            ScopedLock guard(playbackLock);
            playbackQueue.splice(playbackQueue.end(), blocks);
        }
        Sleep(kPollMs);
    }
}

void AudioEngine::PlaybackLoop()
{
    Sleep(kPlaybackStartMs);
    while (!stopFlag.Get()) {
        {
            ScopedLock guard(playbackLock);
            while (playbackQueue.size() > kMaxPlaybackBlocks)
                playbackQueue.pop_front();
            if (!playbackQueue.empty()) {
                unsigned char* data = AllocBytes(VoicePacket::kBlockBytes);
                WaveHeader h;
                if (data && h.Attach(data, VoicePacket::kBlockBytes)) {
                    std::memcpy(data, playbackQueue.front().GetData(), VoicePacket::kBlockBytes);
                    {
                        ScopedLock played(playedLock);
                        ++playbackInDevice;
                    }
                    if (!h.Play(playbackDevice)) {
                        ScopedLock played(playedLock);
                        --playbackInDevice;
                        h.Free();
                    }
                } else {
                    FreeBytes(data);
                }
                playbackQueue.pop_front();
            }
        }
        Sleep(kPlaybackPeriodMs);
        FreePlayedBuffers();
    }
    ScopedLock guard(playbackLock);
    playbackQueue.clear();
}
