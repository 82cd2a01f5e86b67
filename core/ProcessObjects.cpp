// The process-wide objects, in one translation unit so that they are built in
// this order and destroyed in the reverse one.
#include <memory>

#include "AppConfig.h"
#include "CodecSet.h"
#include "CryptoCore.h"
#include "DebugLog.h"
#include "SoundSet.h"
#include "VoIPManager.h"

namespace {
CryptoCore g_cryptoCore;
std::unique_ptr<Debug::COutputter> g_outputter(new Debug::COutputter);
std::unique_ptr<CEventLock> g_logLock(new CEventLock);
AppConfig g_appConfig;
SoundSet g_soundSet;
CodecSet g_codecSet;
VoIPManager g_voipManager;
}

CryptoCore* GetCryptoCore() { return &g_cryptoCore; }
Debug::COutputter* Debug::GetOutputter() { return g_outputter.get(); }
CEventLock* GetLogLock() { return g_logLock.get(); }
AppConfig* GetAppConfig() { return &g_appConfig; }
SoundSet* GetSoundSet() { return &g_soundSet; }
CodecSet* GetCodecSet() { return &g_codecSet; }
VoIPManager* GetVoIPManager() { return &g_voipManager; }
