// Device identity: IDENTIFY-block fields, the composed identity, and the
// identity this platform gives.
#include <gtest/gtest.h>

#include <cstring>

#include "settings/DeviceIdentity.h"
#include "settings/DiskInfo.h"

namespace {

void Add(CDiskInfo& d, const std::string& serial, const std::string& model)
{
    d.AddIdentifyBlock(MakeIdentifyBlock(serial, model).data());
}

TEST(IdentifyBlock, FieldsReadHighByteFirstAndLoseTrailingBlanks)
{
    // A drive's own bytes: words 10..19 as the drive reports them.
    std::vector<unsigned char> block(512, 0);
    const char swapped[] = "1 A2 B  ";  // " 12AB  " with every byte pair swapped
    std::memcpy(&block[20], swapped, 8);
    for (int i = 28; i < 40; ++i)
        block[i] = ' ';
    CDiskInfo d;
    d.AddIdentifyBlock(block.data());
    EXPECT_EQ(" 12AB", d.ExtractAnsi(0, 10, 19));
    EXPECT_EQ("", d.ExtractAnsi(0, 27, 46));
    EXPECT_EQ("", d.ExtractAnsi(1, 10, 19));
    EXPECT_EQ("", d.ExtractAnsi(0, 250, 260));
}

TEST(IdentifyBlock, AnEqualBlockIsKeptOnce)
{
    CDiskInfo d;
    Add(d, "SER1", "Model A");
    Add(d, "SER1", "Model A");
    Add(d, "SER2", "Model A");
    EXPECT_EQ(2, d.GetCount());
}

TEST(MachineId, HexOfTheCpuSignatureAndTheFirstDriveText)
{
    CpuIdResult cpu = {0x000306C3, 0, 0, 0xBFEBFBFF};
    struct {
        std::vector<std::pair<std::string, std::string>> drives;
        std::string source;
    } cases[] = {
        // 16 digits and a 7-character serial: 23 bytes, 46 hexadecimal digits.
        {{{"ABC1234", "Disk"}}, "BFEBFBFF000306C3ABC1234"},
        // A blank serial gives way to the model; a drive with neither is skipped.
        {{{"", ""}, {"   ", "WDC WD10"}, {"LATER", "X"}}, "BFEBFBFF000306C3WDC WD10"},
        {{{"", ""}}, "BFEBFBFF000306C3"},
    };
    for (auto& k : cases) {
        CDiskInfo d;
        for (auto& drive : k.drives)
            Add(d, drive.first, drive.second);
        std::string id = ComposeMachineId(cpu, d, -1);
        EXPECT_EQ(HexEncode(k.source.data(), static_cast<uint32_t>(k.source.size())), id);
        EXPECT_EQ(2 * k.source.size(), id.size());
    }
    CDiskInfo d;
    Add(d, "ABC1234", "");
    EXPECT_EQ("brannow_simul_3", ComposeMachineId(cpu, d, 3));
    EXPECT_EQ("00FF7A", HexEncode("\x00\xff\x7a", 3));
    EXPECT_EQ("PC", GetDeviceKind());
}

}  // namespace
