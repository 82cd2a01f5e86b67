// The identity this computer gets, whatever its drives answer.
#include <gtest/gtest.h>

#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/DiskInfo.h"

namespace {

TEST(MachineIdHere, IsStableHexOfAtLeast32Digits)
{
    GetAppConfig()->SetInstanceIndex(-1);
    std::string a, b;
    ASSERT_TRUE(GetMachineId(a));
    ASSERT_TRUE(GetMachineId(b));
    EXPECT_EQ(a, b);
    EXPECT_GE(a.size(), 32u);
    EXPECT_EQ(std::string::npos, a.find_first_not_of("0123456789ABCDEF")) << a;

    CDiskInfo disks;
    ASSERT_GT(disks.Enumerate(), 0);
    EXPECT_FALSE(disks.GetSerialNumber(0).empty() && disks.GetModelNumber(0).empty());

    GetAppConfig()->SetInstanceIndex(7);
    ASSERT_TRUE(GetMachineId(a));
    EXPECT_EQ("brannow_simul_7", a);
    GetAppConfig()->SetInstanceIndex(-1);
}

}  // namespace
