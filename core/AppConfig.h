// The process-wide settings object, stored in "pvconf.dat" beside the executable.
#pragma once

#include <cstdint>
#include <string>

class AppConfig {
public:
    AppConfig();

    void SetDefaults();

    const std::string& GetServerHost() const { return serverHost; }
    void SetServerHost(const std::string& v) { serverHost = v; }
    const std::string& GetBackupServerHost() const { return backupServerHost; }
    void SetBackupServerHost(const std::string& v) { backupServerHost = v; }
    const std::string& GetUserName() const { return userName; }
    void SetUserName(const std::string& v) { userName = v; }
    const std::string& GetPassword() const { return password; }
    void SetPassword(const std::string& v) { password = v; }
    uint16_t GetPort() const { return port; }
    void SetPort(uint16_t v) { port = v; }
    int32_t GetInstanceIndex() const { return instanceIndex; }
    void SetInstanceIndex(int32_t v) { instanceIndex = v; }
    int32_t GetLanguageIndex() const { return languageIndex; }
    void SetLanguageIndex(int32_t v) { languageIndex = v; }
    int32_t GetSoundsEnabled() const { return soundsEnabled; }
    void SetSoundsEnabled(int32_t v) { soundsEnabled = v; }
    int32_t GetVolumePercent() const { return volumePercent; }
    void SetVolumePercent(int32_t v) { volumePercent = v; }
    const std::string& GetDeviceName() const { return deviceName; }
    void SetDeviceName(const std::string& v) { deviceName = v; }

    std::string serverHost;
    std::string backupServerHost;
    std::string spareText;
    int32_t volumePercent = 0;
    std::string userName;
    std::string password;
    uint16_t port = 0;
    int32_t instanceIndex = -1;
    int32_t languageIndex = 0;
    int32_t soundsEnabled = 0;
    std::string deviceName;
};

AppConfig* GetAppConfig();
