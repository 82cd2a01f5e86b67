#include "settings/DeviceIdentity.h"

#include <cstdio>

#include "settings/DiskInfo.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

CpuIdResult ReadCpuId()
{
    CpuIdResult r = {0, 0, 0, 0};
#if defined(__i386__) || defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d))
        r = {a, b, c, d};
#endif
    return r;
}

std::string HexEncode(const void* data, uint32_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::string s;
    s.reserve(2 * length);
    for (uint32_t i = 0; i < length; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string GetDeviceKind()
{
    return "PC";
}

std::string ComposeMachineId(const CpuIdResult& cpu, const CDiskInfo& disks, int32_t instanceIndex)
{
    char buffer[64];
    if (instanceIndex != -1) {
        snprintf(buffer, sizeof(buffer), "brannow_simul_%d", static_cast<int>(instanceIndex));
        return buffer;
    }
    snprintf(buffer, sizeof(buffer), "%08X%08X", static_cast<unsigned>(cpu.edx),
             static_cast<unsigned>(cpu.eax));
    std::string source = buffer;
    for (int32_t i = 0; i < disks.GetCount(); ++i) {
        std::string text = disks.ExtractAnsi(i, CDiskInfo::kSerialFirst, CDiskInfo::kSerialLast);
        if (text.empty())
            text = disks.ExtractAnsi(i, CDiskInfo::kModelFirst, CDiskInfo::kModelLast);
        if (!text.empty()) {
            source += text;
            break;
        }
    }
    return HexEncode(source.data(), static_cast<uint32_t>(source.size()));
}
