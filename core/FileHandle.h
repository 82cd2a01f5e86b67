// The owner of one open file, and the helpers that place every file the
// program touches in the executable's folder.
#pragma once

#include <windows.h>

#include <cstdint>

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
    // True when at least one byte came; got (if given) receives the count.
    bool Read(void* buffer, uint32_t count, uint32_t* got = nullptr);
    // True only when every byte was written.
    bool Write(const void* data, uint32_t count);
    // Only origin 0 (the start of the file) is supported.
    bool Seek(int origin, uint32_t offset);
    bool GetSize(uint32_t& size);
    bool Close();

    bool IsOpen() const { return handle_ != nullptr; }

private:
    bool Adopt(HANDLE h);

    HANDLE handle_;
};

// Zeroes the buffer and fills it with the executable's folder followed by
// name. False when the result would not fit: nothing is written past
// bufferUnits, and the buffer is left empty.
bool GetModuleDirPath(const wchar_t* name, wchar_t* buffer, uint32_t bufferUnits);
bool FileExists(const wchar_t* path);
// True when the file exists and the low 32 bits of its size are non-zero.
bool FileHasContent(const wchar_t* path, uint32_t& sizeHigh);
bool DeleteFileAt(const wchar_t* path);
