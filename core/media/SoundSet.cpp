#include "media/SoundSet.h"

#include <mmsystem.h>

#include "base/FileHandle.h"
#include "settings/AppConfig.h"

namespace {
const wchar_t* const kFiles[SoundSet::kSlots] = {
    L"sounds\\CallerDialing.wav", L"sounds\\CallerRing.wav",      L"sounds\\BothEndOfCall.wav",
    L"sounds\\RecipientRing.wav", L"sounds\\BothCallStarted.wav", L"sounds\\message.wav",
};
}  // namespace

SoundSet::SoundSet() : player(sndPlaySoundW)
{
    for (int i = 0; i < kSlots; ++i)
        GetModuleDirPath(kFiles[i], paths[i], MAX_PATH);
}

void SoundSet::SetPlayer(Player p)
{
    player = p ? p : sndPlaySoundW;
}

void SoundSet::Play(const wchar_t* path, UINT flags)
{
    // A path that did not fit MAX_PATH was left empty; it names no file.
    if (GetAppConfig()->GetSoundsEnabled() == 0 || (path && !*path))
        return;
    player(path, flags);
}

void SoundSet::PlayCallerDialing() { Play(paths[kCallerDialing], SND_ASYNC); }
void SoundSet::PlayCallerRing() { Play(paths[kCallerRing], SND_ASYNC | SND_LOOP); }
void SoundSet::PlayEndOfCall() { Play(paths[kEndOfCall], SND_ASYNC); }
void SoundSet::PlayRecipientRing() { Play(paths[kRecipientRing], SND_ASYNC | SND_LOOP); }
void SoundSet::PlayCallStarted() { Play(paths[kCallStarted], SND_ASYNC); }
void SoundSet::PlayMessage() { Play(paths[kMessage], SND_ASYNC); }
void SoundSet::Stop() { Play(nullptr, 0); }
