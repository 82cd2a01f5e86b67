// The media engine of a call: captures 8 kHz 16-bit mono audio, sends it as
// voice datagrams of 16 coded 20 ms frames over its UDP socket, and plays
// what arrives. The devices and the three media threads exist only between
// Start and Stop; the socket from the manager's start-up to its stop.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "base/Locks.h"
#include "media/UdpSocket.h"
#include "wire/Buf.h"

// One system wave header and the data block it points at. Destroying the
// wrapper frees nothing: whoever holds the WAVEHDR (a device, a queue) owns
// it until Free.
class WaveHeader {
public:
    explicit WaveHeader(WAVEHDR* h = nullptr) : header(h) {}

    bool AllocCapture();
    // Adopts data (from AllocBytes).
    bool Attach(unsigned char* data, uint32_t length);
    bool AddToCapture(HWAVEIN device);
    void UnprepareCapture(HWAVEIN device);
    bool Play(HWAVEOUT device);
    void UnpreparePlayback(HWAVEOUT device);
    void Free();

    WAVEHDR* Get() const { return header; }

private:
    WAVEHDR* header;
};

class AudioEngine {
public:
    static constexpr int32_t kStateProbing = 0;
    static constexpr int32_t kStateTalking = 1;
    static constexpr int32_t kSupportedModes = 0x300;
    static constexpr int kCaptureBuffers = 50;
    static constexpr size_t kMaxPlaybackBlocks = 50;
    static constexpr DWORD kPlaybackStartMs = 200;
    static constexpr DWORD kPlaybackPeriodMs = 18;
    static constexpr DWORD kPollMs = 5;

    AudioEngine();
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    bool OpenSocket(uint16_t localPort);
    // Ends a running call's media first: its threads use the socket.
    void CloseSocket();
    // The device identity text goes out with its zero byte, not enciphered.
    // False while the media runs, or when the host does not resolve.
    bool SendProbe(const std::string& host, uint16_t port, const std::string& identity);
    // Address in host order: the peer or relay that media goes to.
    bool SetRemote(uint32_t address, uint16_t port);
    // Once it returned, no further voice datagram leaves.
    void SignalStop();
    void SetState(int32_t value) { state.Set(value); }
    int32_t GetState() { return state.Get(); }

    // Opens both devices and starts the media threads. On any failure
    // everything already started is undone and false is returned.
    bool Start();
    // Ends the threads, then closes the devices and frees every buffer.
    // Start and Stop may be called from different threads; they take turns.
    bool Stop();
    bool IsRunning();

    void SetVolume(uint32_t word);
    uint32_t GetVolume() { return volume.Get(); }
    int32_t GetCallMode();
    int32_t AgreeCallMode(int32_t offered);
    void SetCallMode(int32_t mode) { callMode.Set(mode); }
    static int32_t GetSupportedModes() { return kSupportedModes; }

    UdpSocket* GetSocket() const { return socket.get(); }
    // For tests: the open output device's volume word (0 when closed), and
    // how many decoded blocks wait for the device.
    uint32_t GetPlaybackVolume() const;
    size_t GetPlaybackQueueLength();

private:
    static DWORD WINAPI CaptureMain(LPVOID self);
    static DWORD WINAPI ReceiveMain(LPVOID self);
    static DWORD WINAPI PlaybackMain(LPVOID self);
    static void CALLBACK CaptureCallback(HWAVEIN device, UINT message, DWORD_PTR instance,
                                         DWORD_PTR param1, DWORD_PTR param2);
    static void CALLBACK PlaybackCallback(HWAVEOUT device, UINT message, DWORD_PTR instance,
                                          DWORD_PTR param1, DWORD_PTR param2);

    void CaptureLoop();
    void ReceiveLoop();
    void PlaybackLoop();
    bool OpenCapture();
    bool OpenPlayback();
    void QueueCaptureBuffers(int count);
    void CloseCapture();
    void ClosePlayback();
    // Waits, for a bounded time, until a device has handed back its buffers.
    void WaitForReturns(CriticalSection& lock, const int& inDevice);
    void FreeCaptureQueue();
    void FreePlayedBuffers();
    void ApplyVolume();
    void JoinThreads();

    LockedInt state;
    HANDLE captureThread;
    HANDLE receiveThread;
    HANDLE playbackThread;
    HWAVEIN captureDevice;
    HWAVEOUT playbackDevice;
    WAVEFORMATEX format;
    std::unique_ptr<UdpSocket> socket;
    std::list<WAVEHDR*> captureQueue;
    CriticalSection captureLock;
    std::list<WAVEHDR*> playedList;
    CriticalSection playedLock;
    CriticalSection playbackLock;
    LockedBool stopFlag;
    // Held by SignalStop while it raises the stop flag, and by the capture
    // thread from its last look at the flag through the send.
    CriticalSection sendLock;
    LockedValue<uint32_t> volume;
    std::list<Buf> playbackQueue;
    LockedInt callMode;

    // Buffers the devices hold, so that closing can wait for all of them.
    int captureInDevice;
    int playbackInDevice;
    // The receive thread's view of the output level: applied once per call
    // when a volume has been chosen, and again on every change.
    LockedBool volumeChosen;
    bool volumeApplied;
    uint32_t appliedVolume;
    // Held through each Start, Stop and socket close: the window's thread
    // accepts while a core thread may end the call. The media threads and
    // device callbacks never take it, and neither call takes another
    // manager lock under it, so a caller holding one cannot deadlock here.
    CriticalSection runLock;
};

// The volume word for a percentage, the same level in both channels.
uint32_t PercentToVolume(int32_t percent);
