// The process-wide objects, in one translation unit so that they are built in
// this order and destroyed in the reverse one.
#include "AppConfig.h"

namespace {
AppConfig g_appConfig;
}

AppConfig* GetAppConfig() { return &g_appConfig; }
