// Reading and writing pvconf.dat beside the executable.
#include "AppConfig.h"
#include "FileHandle.h"

#include <vector>

namespace {
const wchar_t kConfigFile[] = L"pvconf.dat";
}

bool AppConfig::Load()
{
    wchar_t path[MAX_PATH];
    CFileHandle file;
    // A missing file is created empty here and then fails to parse.
    if (!GetModuleDirPath(kConfigFile, path, MAX_PATH) || !file.OpenReadWrite(path, false))
        return false;
    std::vector<unsigned char> data(kFileSize);
    uint32_t size = 0, got = 0;
    while (size < kFileSize && file.Read(data.data() + size, kFileSize - size, &got))
        size += got;
    file.Close();
    return Parse(data.data(), size);
}

bool AppConfig::Save()
{
    wchar_t path[MAX_PATH];
    CFileHandle file;
    if (!GetModuleDirPath(kConfigFile, path, MAX_PATH) || !file.OpenReadWrite(path, true))
        return false;
    std::vector<unsigned char> data(kFileSize);
    Format(data.data());
    return file.Write(data.data(), kFileSize);
}
