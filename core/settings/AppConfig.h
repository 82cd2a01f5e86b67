// The process-wide settings object, stored in "pvconf.dat" beside the executable.
#pragma once

#include <cryptopp/aes.h>

#include <cstdint>
#include <string>

class AppConfig {
public:
    // The file: nine fixed records, little-endian numbers.
    static constexpr uint32_t kFileSize = 5134;
    static constexpr uint32_t kTextRecord = 1024;
    // A marked record: "!#!", then 128 enciphered bytes of the NUL-padded text.
    static constexpr uint32_t kSecretArea = 128;
    static constexpr uint32_t kMaxSecretLength = kSecretArea - 1;
    static constexpr uint32_t kMaxTextLength = kTextRecord - 1;

    AppConfig();
    AppConfig(const AppConfig&) = delete;
    AppConfig& operator=(const AppConfig&) = delete;

    void SetDefaults();
    // False for a missing file and for one that could not be read. A file
    // that is there but held by another program is tried again for a
    // while; if it stays unreadable, the user's settings are still in it,
    // and Save leaves it alone until SaveChosen.
    bool Load();
    // Writes the file whole beside the old one and puts it in its place in
    // one step: a failed or cut save leaves the old file.
    bool Save();
    // The user's own save, from the settings: it may replace a file that
    // could not be read, and from then on every save may.
    bool SaveChosen();

    // The file's records from and to bytes. Parse takes what a record-by-
    // record read of a file of that size takes: a record counts when at
    // least one of its bytes is there.
    bool Parse(const unsigned char* data, uint32_t size);
    void Format(unsigned char* out) const;

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
    CryptoPP::AES::Encryption recordEncryptor;
    CryptoPP::AES::Decryption recordDecryptor;

private:
    // The file was there at the last Load but could not be read.
    bool keepUnreadFile_ = false;

    std::string ReadSecret(const unsigned char* record) const;
    void WriteSecret(const std::string& text, unsigned char* record) const;
};

AppConfig* GetAppConfig();
