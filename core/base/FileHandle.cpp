#include "base/FileHandle.h"

#include <shlwapi.h>

#include <cstdio>
#include <cwchar>
#include <vector>

bool CFileHandle::Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition)
{
    if (handle_)
        return false;
    HANDLE h = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    handle_ = h;
    return true;
}

bool CFileHandle::OpenReadWrite(const wchar_t* path, bool createAlways)
{
    return Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, createAlways ? CREATE_ALWAYS : OPEN_ALWAYS);
}

bool CFileHandle::OpenRead(const wchar_t* path)
{
    return Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
}

bool CFileHandle::OpenExisting(const wchar_t* path)
{
    return Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
}

bool CFileHandle::CreateNew(const wchar_t* path)
{
    return Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
}

bool CFileHandle::OpenExistingForWrite(const wchar_t* path)
{
    return Open(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
}

bool CFileHandle::Read(void* buffer, uint32_t count, uint32_t* got)
{
    DWORD done = 0;
    bool ok = handle_ && ReadFile(handle_, buffer, count, &done, nullptr) && done > 0;
    if (got)
        *got = ok ? done : 0;
    return ok;
}

bool CFileHandle::Write(const void* data, uint32_t count)
{
    DWORD done = 0;
    return handle_ && WriteFile(handle_, data, count, &done, nullptr) && done == count;
}

bool CFileHandle::Seek(int origin, uint32_t offset)
{
    if (origin != 0 || !handle_)
        return false;
    // A 64-bit distance, so that offsets of 2 GB and more are not taken as
    // negative ones.
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) != FALSE;
}

bool CFileHandle::GetSize(uint32_t& size)
{
    if (!handle_)
        return false;
    DWORD low = GetFileSize(handle_, nullptr);
    if (low == INVALID_FILE_SIZE)
        return false;
    size = low;
    return true;
}

bool CFileHandle::Flush()
{
    return handle_ && FlushFileBuffers(handle_) != FALSE;
}

bool CFileHandle::Close()
{
    if (!handle_)
        return false;
    BOOL ok = CloseHandle(handle_);
    handle_ = nullptr;
    return ok != FALSE;
}

bool CReplacingFile::Open(const wchar_t* target)
{
    if (file_.IsOpen() || !target || !*target)
        return false;
    target_ = target;
    const size_t slash = target_.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : target_.substr(0, slash + 1);
    // Two programs, or two transfers of one, may be writing beside the same
    // target: a name that exists already is never reused.
    static LONG counter = 0;
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 16; ++attempt) {
        wchar_t name[24];
        const DWORD salt = static_cast<DWORD>(InterlockedIncrement(&counter)) * 2654435761u;
        swprintf(name, 24, L"~pv%08lx.tmp", static_cast<unsigned long>(seed ^ salt));
        temp_ = folder + name;
        if (file_.CreateNew(temp_.c_str()))
            return true;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    temp_.clear();
    return false;
}

bool CReplacingFile::Commit()
{
    if (!file_.IsOpen())
        return false;
    const bool flushed = file_.Flush();
    const bool closed = file_.Close();
    const bool moved = flushed && closed
        && MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!moved)
        DeleteFileW(temp_.c_str());
    temp_.clear();
    return moved;
}

void CReplacingFile::Abandon()
{
    if (temp_.empty())
        return;
    file_.Close();
    DeleteFileW(temp_.c_str());
    temp_.clear();
}

bool ReplaceFileContents(const wchar_t* path, const void* data, uint32_t size)
{
    CReplacingFile file;
    return file.Open(path) && file.Write(data, size) && file.Commit();
}

bool GetModuleDirPath(const wchar_t* name, wchar_t* buffer, uint32_t bufferUnits)
{
    if (!buffer || bufferUnits == 0)
        return false;
    wmemset(buffer, 0, bufferUnits);
    // The executable's own name may be longer than the name asked for, so
    // the folder is found in an area of its own.
    const DWORD kUnits = 32768;
    std::vector<wchar_t> exe(kUnits, 0);
    DWORD n = GetModuleFileNameW(nullptr, exe.data(), kUnits);
    if (n == 0 || n >= kUnits)
        return false;
    wchar_t* slash = wcsrchr(exe.data(), L'\\');
    if (!slash)
        return false;
    size_t dir = static_cast<size_t>(slash - exe.data()) + 1;
    size_t len = wcslen(name);
    if (dir + len >= bufferUnits)
        return false;
    wmemcpy(buffer, exe.data(), dir);
    wmemcpy(buffer + dir, name, len);
    return true;
}

bool FileExists(const wchar_t* path)
{
    return PathFileExistsW(path) != FALSE;
}

bool FileHasContent(const wchar_t* path, uint32_t& sizeHigh)
{
    HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(h, &high);
    bool failed = low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR;
    CloseHandle(h);
    if (failed)
        return false;
    sizeHigh = high;
    return low != 0;
}

bool DeleteFileAt(const wchar_t* path)
{
    return DeleteFileW(path) != FALSE;
}
