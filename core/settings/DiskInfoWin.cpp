// The drive requests of CDiskInfo, and the device identity built from them.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <vector>

#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/DiskInfo.h"

namespace {

const DWORD kIdentifyMiniport = 0x1B0501;
const DWORD kSmartOutSize = sizeof(SENDCMDOUTPARAMS) - 1 + CDiskInfo::kBlockSize;  // 528
const DWORD kSmartReadSize = sizeof(SENDCMDINPARAMS) - 1 + CDiskInfo::kBlockSize;  // 545
const DWORD kBlockOffset = 16;

// One opened device, closed on every path out.
class DeviceHandle {
public:
    DeviceHandle(const wchar_t* path, DWORD share, DWORD flags = 0)
        : h_(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, flags,
                         nullptr))
    {
    }
    ~DeviceHandle()
    {
        if (ok())
            CloseHandle(h_);
    }
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Control(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize) const
    {
        DWORD got = 0;
        return DeviceIoControl(h_, code, in, inSize, out, outSize, &got, nullptr) != FALSE;
    }

private:
    HANDLE h_;
};

std::wstring PhysicalDrive(int n)
{
    wchar_t path[32];
    swprintf(path, 32, L"\\\\.\\PhysicalDrive%d", n);
    return path;
}

std::wstring AnsiToWide(const std::string& s)
{
    if (s.empty())
        return std::wstring();
    std::vector<wchar_t> w(s.size() + 1, 0);
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(),
                                static_cast<int>(w.size()));
    return std::wstring(w.data(), n > 0 ? n : 0);
}

}  // namespace

std::wstring CDiskInfo::ExtractText(int32_t index, int first, int last) const
{
    return AnsiToWide(ExtractAnsi(index, first, last));
}

std::wstring CDiskInfo::GetSerialNumber(int32_t index) const
{
    return ExtractText(index, kSerialFirst, kSerialLast);
}

std::wstring CDiskInfo::GetModelNumber(int32_t index) const
{
    return ExtractText(index, kModelFirst, kModelLast);
}

bool CDiskInfo::ReadPhysicalDriveIdentify()
{
    bool found = false;
    for (int drive = 0; drive < 16; ++drive) {
        DeviceHandle h(PhysicalDrive(drive).c_str(), FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (!h.ok())
            continue;
        GETVERSIONINPARAMS version = {};
        if (!h.Control(SMART_GET_VERSION, nullptr, 0, &version, sizeof(version))
            || version.bIDEDeviceMap == 0)
            continue;
        SENDCMDINPARAMS in = {};
        in.cBufferSize = kBlockSize;
        in.irDriveRegs.bSectorCountReg = 1;
        in.irDriveRegs.bSectorNumberReg = 1;
        in.irDriveRegs.bDriveHeadReg = (drive & 1) ? 0xB0 : 0xA0;
        in.irDriveRegs.bCommandReg = ((version.bIDEDeviceMap >> drive) & 0x10) ? ATAPI_ID_CMD : ID_CMD;
        in.bDriveNumber = static_cast<BYTE>(drive);
        std::vector<unsigned char> out(kSmartOutSize, 0);
        if (h.Control(SMART_RCV_DRIVE_DATA, &in, sizeof(in) - 1, out.data(), kSmartOutSize)) {
            AddIdentifyBlock(out.data() + kBlockOffset);
            found = true;
        }
    }
    return found;
}

bool CDiskInfo::ReadScsiMiniport()
{
    bool found = false;
    const DWORD header = sizeof(SRB_IO_CONTROL);  // 28
    const DWORD total = header + kSmartOutSize + 1;  // 557
    for (int port = 0; port < 16; ++port) {
        wchar_t path[32];
        swprintf(path, 32, L"\\\\.\\Scsi%d:", port);
        DeviceHandle h(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (!h.ok())
            continue;
        for (int target = 0; target < 2; ++target) {
            std::vector<unsigned char> buffer(total, 0);
            SRB_IO_CONTROL* srb = reinterpret_cast<SRB_IO_CONTROL*>(buffer.data());
            srb->HeaderLength = header;
            std::memcpy(srb->Signature, "SCSIDISK", 8);
            srb->Timeout = 10000;
            srb->ControlCode = kIdentifyMiniport;
            srb->Length = kSmartOutSize + 1;
            SENDCMDINPARAMS* in = reinterpret_cast<SENDCMDINPARAMS*>(buffer.data() + header);
            in->irDriveRegs.bCommandReg = ID_CMD;
            in->bDriveNumber = static_cast<BYTE>(target);
            if (!h.Control(IOCTL_SCSI_MINIPORT, buffer.data(), header + sizeof(SENDCMDINPARAMS) - 1,
                           buffer.data(), total))
                continue;
            const unsigned char* block = buffer.data() + header + kBlockOffset;
            // The model number's first word: zero when nothing answered.
            if (block[54]) {
                AddIdentifyBlock(block);
                found = true;
            }
        }
    }
    return found;
}

bool CDiskInfo::ReadPhysicalDriveSmart()
{
    bool found = false;
    for (int drive = 0; drive < 16; ++drive) {
        DeviceHandle h(PhysicalDrive(drive).c_str(),
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (!h.ok())
            continue;
        GETVERSIONINPARAMS version = {};
        if (!h.Control(SMART_GET_VERSION, nullptr, 0, &version, sizeof(version)))
            continue;
        std::vector<unsigned char> buffer(kSmartReadSize, 0);
        reinterpret_cast<SENDCMDINPARAMS*>(buffer.data())->irDriveRegs.bCommandReg = ID_CMD;
        if (h.Control(SMART_RCV_DRIVE_DATA, buffer.data(), sizeof(SENDCMDINPARAMS), buffer.data(),
                      kSmartReadSize)) {
            AddIdentifyBlock(buffer.data() + kBlockOffset);
            found = true;
        }
    }
    return found;
}

bool CDiskInfo::ReadIdeVxd()
{
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    bool found = false;
    std::vector<unsigned char> buffer(4108, 0);
    {
        DeviceHandle h(L"\\\\.\\IDE21201.VXD", 0, FILE_FLAG_DELETE_ON_CLOSE);
        if (h.ok())
            h.Control(1, buffer.data(), static_cast<DWORD>(buffer.size()), buffer.data(),
                      static_cast<DWORD>(buffer.size()));
    }
    const unsigned char* controllers = buffer.data();
    const unsigned char* drives = buffer.data() + 4;
    for (int drive = 0; drive < 8; ++drive) {
        if (drives[drive] && controllers[drive / 2]) {
            AddIdentifyBlock(buffer.data() + 12 + drive * kBlockSize);
            found = true;
        }
    }
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    return found;
}

bool CDiskInfo::ReadSystemVolumeIdentity()
{
    // Where no drive answers (no rights to open them, or Wine): the
    // installation's machine GUID and the system volume's serial number,
    // stable for one installation and different between computers.
    wchar_t guid[64] = {};
    DWORD size = sizeof(guid) - sizeof(wchar_t);
    HKEY key;
    bool haveGuid = false;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key)
        == ERROR_SUCCESS) {
        DWORD type = 0;
        haveGuid = RegQueryValueExW(key, L"MachineGuid", nullptr, &type,
                                    reinterpret_cast<BYTE*>(guid), &size)
                == ERROR_SUCCESS
            && type == REG_SZ;
        RegCloseKey(key);
    }
    wchar_t root[MAX_PATH] = {};
    DWORD serial = 0;
    bool haveSerial = false;
    if (GetWindowsDirectoryW(root, MAX_PATH) >= 3) {
        root[3] = 0;  // "C:\"
        haveSerial = GetVolumeInformationW(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    }
    if (!haveGuid && !haveSerial)
        return false;
    char text[32];
    snprintf(text, sizeof(text), "%08lX", static_cast<unsigned long>(serial));
    std::string serialText = text;
    for (const wchar_t* p = guid; *p && serialText.size() < 20; ++p)
        if (iswxdigit(*p))
            serialText += static_cast<char>(towupper(*p));
    while (serialText.size() < 20)
        serialText += '0';
    std::vector<unsigned char> block = MakeIdentifyBlock(serialText, "System volume");
    AddIdentifyBlock(block.data());
    return true;
}

int32_t CDiskInfo::Enumerate()
{
    Clear();
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExW(&info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        ReadPhysicalDriveIdentify();
        ReadScsiMiniport();
        ReadPhysicalDriveSmart();
    } else {
        for (int attempt = 0; attempt < 10 && !ReadIdeVxd(); ++attempt) {
        }
    }
    if (blocks_.empty())
        ReadSystemVolumeIdentity();
    return GetCount();
}

bool GetMachineId(std::string& id)
{
    CpuIdResult cpu = ReadCpuId();
    CDiskInfo disks;
    if (disks.Enumerate() == 0)
        return false;
    id = ComposeMachineId(cpu, disks, GetAppConfig()->GetInstanceIndex());
    return true;
}
