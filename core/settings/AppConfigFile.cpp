// Reading and writing pvconf.dat beside the executable.
#include "base/FileHandle.h"
#include "settings/AppConfig.h"

#include <algorithm>
#include <vector>

namespace {
const wchar_t kConfigFile[] = L"pvconf.dat";
// A backup, an editor or a virus scanner may hold the file for a moment,
// above all while Windows starts, which is when the program starts too.
const DWORD kLoadPatienceMs = 3000;
const DWORD kLoadRetryMs = 100;

enum class ReadOutcome { kRead, kMissing, kUnreadable };

ReadOutcome ReadWholeFile(const wchar_t* path, unsigned char* data, uint32_t& size)
{
    size = 0;
    CFileHandle file;
    if (!file.OpenExisting(path)) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadOutcome::kMissing
                                                                              : ReadOutcome::kUnreadable;
    }
    uint32_t length = 0;
    if (!file.GetSize(length))
        return ReadOutcome::kUnreadable;
    const uint32_t wanted = std::min(length, AppConfig::kFileSize);
    uint32_t got = 0;
    while (size < wanted && file.Read(data + size, wanted - size, &got))
        size += got;
    return size == wanted ? ReadOutcome::kRead : ReadOutcome::kUnreadable;
}
}  // namespace

bool AppConfig::Load()
{
    keepUnreadFile_ = false;
    wchar_t path[MAX_PATH];
    if (!GetModuleDirPath(kConfigFile, path, MAX_PATH))
        return false;
    std::vector<unsigned char> data(kFileSize);
    uint32_t size = 0;
    const DWORD start = GetTickCount();
    for (;;) {
        switch (ReadWholeFile(path, data.data(), size)) {
        case ReadOutcome::kRead:
            return Parse(data.data(), size);
        case ReadOutcome::kMissing:
            return false;
        case ReadOutcome::kUnreadable:
            break;
        }
        if (GetTickCount() - start >= kLoadPatienceMs)
            break;
        Sleep(kLoadRetryMs);
    }
    // The defaults this run goes on with must not take the place of what
    // the user set.
    keepUnreadFile_ = true;
    return false;
}

bool AppConfig::Save()
{
    wchar_t path[MAX_PATH];
    if (keepUnreadFile_ || !GetModuleDirPath(kConfigFile, path, MAX_PATH))
        return false;
    std::vector<unsigned char> data(kFileSize);
    Format(data.data());
    return ReplaceFileContents(path, data.data(), kFileSize);
}

bool AppConfig::SaveChosen()
{
    keepUnreadFile_ = false;
    return Save();
}
