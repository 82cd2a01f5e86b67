// The drives' ATA IDENTIFY DEVICE blocks that the device identity is made
// from, one per distinct drive in the order found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDiskInfo {
public:
    static constexpr uint32_t kBlockSize = 512;
    static constexpr int kSerialFirst = 10, kSerialLast = 19;
    static constexpr int kModelFirst = 27, kModelLast = 46;

    CDiskInfo() {}
    CDiskInfo(const CDiskInfo&) = delete;
    CDiskInfo& operator=(const CDiskInfo&) = delete;

    // Drops earlier blocks and asks the drives; returns how many are kept.
    int32_t Enumerate();
    // A block equal to a kept one is not added again.
    void AddIdentifyBlock(const unsigned char* block);
    int32_t GetCount() const { return static_cast<int32_t>(blocks_.size()); }
    void Clear() { blocks_.clear(); }

    std::wstring GetSerialNumber(int32_t index) const;
    std::wstring GetModelNumber(int32_t index) const;
    // A field's ANSI text: per word its high byte, then its low byte, with
    // trailing blanks removed (leading ones stay).
    std::string ExtractAnsi(int32_t index, int first, int last) const;
    std::wstring ExtractText(int32_t index, int first, int last) const;

private:
    bool ReadPhysicalDriveIdentify();
    bool ReadScsiMiniport();
    bool ReadPhysicalDriveSmart();
    bool ReadIdeVxd();
    bool ReadSystemVolumeIdentity();

    std::vector<std::vector<unsigned char>> blocks_;
};

// A block whose serial-number field holds the given text (at most 20
// characters), as a drive would report it.
std::vector<unsigned char> MakeIdentifyBlock(const std::string& serial, const std::string& model);
