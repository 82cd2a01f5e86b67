// The process-wide objects, in one translation unit so that they are built in
// this order and destroyed in the reverse one.
#include "AppConfig.h"
#include "CryptoCore.h"

namespace {
CryptoCore g_cryptoCore;
AppConfig g_appConfig;
}

CryptoCore* GetCryptoCore() { return &g_cryptoCore; }
AppConfig* GetAppConfig() { return &g_appConfig; }
