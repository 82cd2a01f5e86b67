#include "AppConfig.h"

namespace {
const char kDefaultServerHost[] = "relay.pelvane.net";
}

AppConfig::AppConfig() {}

void AppConfig::SetDefaults()
{
    serverHost = kDefaultServerHost;
    backupServerHost.clear();
    spareText.clear();
    volumePercent = 100;
    userName.clear();
    password.clear();
    port = 11500;
    languageIndex = 0;
    soundsEnabled = 1;
}
