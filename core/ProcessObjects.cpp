// The core's process-wide objects; the program's windows add theirs (the
// module, the tray icon) in between, by the order of ProcessOrder.h.
#include <memory>

#include "base/DebugLog.h"
#include "base/ProcessOrder.h"
#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"
#include "media/SoundSet.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"

namespace {
CryptoCore g_cryptoCore PELVANE_PROCESS_OBJECT(kOrderCryptoCore);
std::unique_ptr<Debug::COutputter> g_outputter PELVANE_PROCESS_OBJECT(kOrderDebugLog)(new Debug::COutputter);
std::unique_ptr<CEventLock> g_logLock PELVANE_PROCESS_OBJECT(kOrderLogLock)(new CEventLock);
AppConfig g_appConfig PELVANE_PROCESS_OBJECT(kOrderAppConfig);
SoundSet g_soundSet PELVANE_PROCESS_OBJECT(kOrderSoundSet);
CodecSet g_codecSet PELVANE_PROCESS_OBJECT(kOrderCodecSet);
VoIPManager g_voipManager PELVANE_PROCESS_OBJECT(kOrderVoIPManager);
}

CryptoCore* GetCryptoCore() { return &g_cryptoCore; }
Debug::COutputter* Debug::GetOutputter() { return g_outputter.get(); }
CEventLock* GetLogLock() { return g_logLock.get(); }
AppConfig* GetAppConfig() { return &g_appConfig; }
SoundSet* GetSoundSet() { return &g_soundSet; }
CodecSet* GetCodecSet() { return &g_codecSet; }
VoIPManager* GetVoIPManager() { return &g_voipManager; }
