// The six event sounds beside the executable, played through the system's
// one-at-a-time sound player. Nothing is played, and the system is not even
// called, while sounds are switched off.
#pragma once

#include <windows.h>

class SoundSet {
public:
    enum Slot {
        kCallerDialing,
        kCallerRing,
        kEndOfCall,
        kRecipientRing,
        kCallStarted,
        kMessage,
        kSlots
    };

    // The player the operations call; tests put their own in its place.
    typedef BOOL(WINAPI* Player)(LPCWSTR path, UINT flags);

    SoundSet();
    SoundSet(const SoundSet&) = delete;
    SoundSet& operator=(const SoundSet&) = delete;

    void PlayCallerDialing();
    void PlayCallerRing();
    void PlayEndOfCall();
    void PlayRecipientRing();
    void PlayCallStarted();
    void PlayMessage();
    // Ends whatever plays, a looped ring included.
    void Stop();

    const wchar_t* GetPath(Slot slot) const { return paths[slot]; }
    // nullptr restores the system's player.
    void SetPlayer(Player p);

private:
    void Play(const wchar_t* path, UINT flags);

    wchar_t paths[kSlots][MAX_PATH];
    Player player;
};

SoundSet* GetSoundSet();
