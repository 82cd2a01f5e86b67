// Byte containers of the core: Buf (owned array), BufReader (read cursor over a
// received body) and StreamChunk (unit of buffering of the framed link).
#pragma once

#include <cstdint>
#include <string>

struct IPv4Address;

// Arrays handed to Buf::Attach or StreamChunk::Attach must come from
// AllocBytes, because the holder releases them with FreeBytes.
unsigned char* AllocBytes(int n);
void FreeBytes(unsigned char* p);

class Buf {
public:
    Buf() : data_(nullptr), size_(0) {}
    Buf(const Buf& other);
    Buf& operator=(const Buf& other);
    ~Buf() { Free(); }

    void Free();
    bool Resize(int n);
    bool Assign(const void* src, int n);
    bool Attach(unsigned char* p, int n);
    void TakeFrom(Buf& other);
    unsigned char* Detach();
    bool Append(const void* src, int n);

    unsigned char* GetData() const { return data_; }
    int GetSize() const { return size_; }

    bool operator==(const Buf& o) const;
    bool operator!=(const Buf& o) const { return !(*this == o); }

private:
    unsigned char* data_;
    int32_t size_;
};

class BufReader {
public:
    BufReader(unsigned char* array, int n);
    BufReader(const BufReader&) = delete;
    BufReader& operator=(const BufReader&) = delete;

    bool ReadBytes(void* dst, unsigned n);
    BufReader& ReadU8(uint8_t& v);
    BufReader& ReadU8(bool& v);
    BufReader& ReadU16(uint16_t& v);
    BufReader& ReadU16(int16_t& v);
    BufReader& ReadU32(uint32_t& v);
    BufReader& ReadU32(int32_t& v);
    BufReader& ReadU32(unsigned long& v);
    BufReader& ReadIPv4Address(IPv4Address& a);
    BufReader& ReadString(std::string& s);
    BufReader& ReadWString(std::wstring& w);
    BufReader& ReadBuf(Buf& b);

    bool IsOk() const { return ok_; }
    uint32_t GetPosition() const { return position_; }
    const Buf& GetBytes() const { return bytes_; }

    // Longest wide text a read accepts: it must fit the 1024-byte work area
    // together with its terminating unit. Longer texts fail the read.
    static const unsigned kMaxWideUnits = 511;

private:
    uint32_t Remaining() const;

    Buf bytes_;
    uint32_t position_;
    bool ok_;
};

class StreamChunk {
public:
    StreamChunk() : size_(0), position_(0), storage_(nullptr) {}
    StreamChunk(const StreamChunk&) = delete;
    StreamChunk& operator=(const StreamChunk&) = delete;
    ~StreamChunk() { FreeBytes(storage_); }

    bool Alloc(int n);
    bool Attach(unsigned char* array, int n);
    unsigned char* Detach();

    int Remaining() const { return size_ - position_; }
    unsigned char* Data() const { return storage_; }
    unsigned char* Cursor() const { return storage_ + position_; }
    void Advance(int n) { position_ += n; }
    int GetSize() const { return size_; }
    int GetPosition() const { return position_; }

private:
    int32_t size_;
    int32_t position_;
    unsigned char* storage_;
};
