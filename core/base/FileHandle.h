// The owner of one open file, and the helpers that place every file the
// program touches in the executable's folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CFileHandle {
public:
    CFileHandle() : handle_(nullptr) {}
    ~CFileHandle() { Close(); }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    // createAlways empties an existing file; otherwise a missing one is created.
    bool OpenReadWrite(const wchar_t* path, bool createAlways);
    // A missing file is created empty, so its first Read fails.
    bool OpenRead(const wchar_t* path);
    // An existing file, for reading only, while others may read, write or
    // replace it. A missing one is not created: GetLastError tells why an
    // open failed.
    bool OpenExisting(const wchar_t* path);
    // Fails when the file exists already.
    bool CreateNew(const wchar_t* path);
    // An existing file, for writing, which others may then only read; fails
    // (with the system's reason in GetLastError) when there is none.
    bool OpenExistingForWrite(const wchar_t* path);
    // True when at least one byte came; got (if given) receives the count.
    bool Read(void* buffer, uint32_t count, uint32_t* got = nullptr);
    // True only when every byte was written.
    bool Write(const void* data, uint32_t count);
    // Only origin 0 (the start of the file) is supported.
    bool Seek(int origin, uint32_t offset);
    bool GetSize(uint32_t& size);
    // Down to the disk, not only to the system's cache.
    bool Flush();
    bool Close();

    bool IsOpen() const { return handle_ != nullptr; }

private:
    // The one way a handle is taken: false, and nothing taken, while one is
    // held or when the system refuses (GetLastError tells why).
    bool Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);

    HANDLE handle_;
};

// A file written beside the one it is to replace, and put in that one's
// place in a single step once it is whole: the target holds the old file or
// the new one, never a part, and is not touched before the commit. The new
// file is named "~pv" and eight hexadecimal digits with ".tmp", in the
// target's folder (a move across volumes would not be one step). An
// abandoned file, or one whose commit fails, is removed.
class CReplacingFile {
public:
    CReplacingFile() = default;
    ~CReplacingFile() { Abandon(); }
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // The target need not exist yet.
    bool Open(const wchar_t* target);
    bool Write(const void* data, uint32_t count) { return file_.Write(data, count); }
    // Flushes and closes the new file and moves it over the target; on
    // failure the target is as it was.
    bool Commit();
    void Abandon();

    bool IsOpen() const { return file_.IsOpen(); }
    const std::wstring& GetTempPath() const { return temp_; }

private:
    CFileHandle file_;
    std::wstring target_;
    std::wstring temp_;
};

// Puts size bytes of data in the place of the file at path in one step.
bool ReplaceFileContents(const wchar_t* path, const void* data, uint32_t size);

// Zeroes the buffer and fills it with the executable's folder followed by
// name. False when the result would not fit: nothing is written past
// bufferUnits, and the buffer is left empty.
bool GetModuleDirPath(const wchar_t* name, wchar_t* buffer, uint32_t bufferUnits);
bool FileExists(const wchar_t* path);
// True when the file exists and the low 32 bits of its size are non-zero.
bool FileHasContent(const wchar_t* path, uint32_t& sizeHigh);
bool DeleteFileAt(const wchar_t* path);
