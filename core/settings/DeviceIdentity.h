// The device identity the server keys this computer's secure devices on:
// the processor signature and the first drive's serial (or model) number.
#pragma once

#include <cstdint>
#include <string>

class CDiskInfo;

struct CpuIdResult {
    uint32_t eax, ebx, ecx, edx;
};

// False when no drive answered; the output is then not set.
bool GetMachineId(std::string& id);
CpuIdResult ReadCpuId();
// Upper-case hexadecimal, two digits per byte.
std::string HexEncode(const void* data, uint32_t length);
std::string GetDeviceKind();
// The identity from its parts: a numbered instance (not -1) gets its fixed
// text; the first block with a serial, else a model, gives the drive text.
std::string ComposeMachineId(const CpuIdResult& cpu, const CDiskInfo& disks, int32_t instanceIndex);
