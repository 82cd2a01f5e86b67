#include "wire/Buf.h"

#include <cstring>
#include <new>

#include "wire/Fields.h"

unsigned char* AllocBytes(int n)
{
    if (n < 0)
        return nullptr;
    // A zero-length request still yields a valid, distinct array.
    return new (std::nothrow) unsigned char[n > 0 ? n : 1];
}

void FreeBytes(unsigned char* p)
{
    delete[] p;
}

// ---- Buf ----

Buf::Buf(const Buf& other) : data_(nullptr), size_(0)
{
    Assign(other.data_, other.size_);
}

Buf& Buf::operator=(const Buf& other)
{
    if (this != &other)
        Assign(other.data_, other.size_);
    return *this;
}

void Buf::Free()
{
    FreeBytes(data_);
    data_ = nullptr;
    size_ = 0;
}

bool Buf::Resize(int n)
{
    Free();
    if (n == 0)
        return true;
    unsigned char* p = AllocBytes(n);
    if (!p)
        return false;
    data_ = p;
    size_ = n;
    return true;
}

bool Buf::Assign(const void* src, int n)
{
    if (src == data_ && n == size_)
        return true;
    if (n > 0 && !src)
        return false;
    if (!Resize(n))
        return false;
    if (n > 0)
        std::memcpy(data_, src, n);
    return true;
}

bool Buf::Attach(unsigned char* p, int n)
{
    if (p != data_)
        Free();
    data_ = p;
    size_ = p ? n : 0;
    return p != nullptr && n != 0;
}

void Buf::TakeFrom(Buf& other)
{
    if (&other == this)
        return;
    Free();
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
}

unsigned char* Buf::Detach()
{
    unsigned char* p = data_;
    data_ = nullptr;
    size_ = 0;
    return p;
}

bool Buf::Append(const void* src, int n)
{
    if (n <= 0)
        return n == 0;
    unsigned char* p = AllocBytes(size_ + n);
    if (!p)
        return false;
    if (size_ > 0)
        std::memcpy(p, data_, size_);
    std::memcpy(p + size_, src, n);
    int total = size_ + n;
    Free();
    data_ = p;
    size_ = total;
    return true;
}

bool Buf::operator==(const Buf& o) const
{
    return size_ == o.size_ && (size_ == 0 || std::memcmp(data_, o.data_, size_) == 0);
}

// ---- BufReader ----

BufReader::BufReader(unsigned char* array, int n) : position_(0), ok_(false)
{
    ok_ = bytes_.Attach(array, n);
}

uint32_t BufReader::Remaining() const
{
    uint32_t size = static_cast<uint32_t>(bytes_.GetSize());
    return size > position_ ? size - position_ : 0;
}

bool BufReader::ReadBytes(void* dst, unsigned n)
{
    if (static_cast<uint32_t>(bytes_.GetSize()) < position_ + n || position_ + n < position_) {
        ok_ = false;
        return false;
    }
    if (n > 0)
        std::memcpy(dst, bytes_.GetData() + position_, n);
    position_ += n;
    return true;
}

namespace {
uint64_t DecodeLE(const unsigned char* b, unsigned n)
{
    uint64_t v = 0;
    for (unsigned i = n; i-- > 0;)
        v = (v << 8) | b[i];
    return v;
}

// Little-endian reads that do not depend on the host's byte order.
template <typename T>
bool ReadLE(BufReader& r, T& out, unsigned n)
{
    unsigned char b[8];
    if (!r.ReadBytes(b, n))
        return false;
    out = static_cast<T>(DecodeLE(b, n));
    return true;
}
}  // namespace

BufReader& BufReader::ReadU8(uint8_t& v) { ReadBytes(&v, 1); return *this; }

BufReader& BufReader::ReadU8(bool& v)
{
    uint8_t b;
    if (ReadBytes(&b, 1))
        v = b != 0;
    return *this;
}

BufReader& BufReader::ReadU16(uint16_t& v) { ReadLE(*this, v, 2); return *this; }
BufReader& BufReader::ReadU16(int16_t& v) { ReadLE(*this, v, 2); return *this; }
BufReader& BufReader::ReadU32(uint32_t& v) { ReadLE(*this, v, 4); return *this; }
BufReader& BufReader::ReadU32(int32_t& v) { ReadLE(*this, v, 4); return *this; }

BufReader& BufReader::ReadU32(unsigned long& v)
{
    uint32_t w;
    if (ReadLE(*this, w, 4))
        v = w;
    return *this;
}

BufReader& BufReader::ReadIPv4Address(IPv4Address& a)
{
    unsigned char b[8];
    if (ReadBytes(b, 8)) {
        a.address = static_cast<uint32_t>(DecodeLE(b, 4));
        a.port = static_cast<uint32_t>(DecodeLE(b + 4, 4));
    }
    return *this;
}

BufReader& BufReader::ReadString(std::string& s)
{
    const unsigned char* at = bytes_.GetData() + position_;
    uint32_t left = Remaining();
    const void* nul = left ? std::memchr(at, 0, left) : nullptr;
    if (!nul) {
        ok_ = false;
        return *this;
    }
    uint32_t k = static_cast<uint32_t>(static_cast<const unsigned char*>(nul) - at);
    s.assign(reinterpret_cast<const char*>(at), k);
    position_ += k + 1;
    return *this;
}

BufReader& BufReader::ReadWString(std::wstring& w)
{
    const unsigned char* at = bytes_.GetData() + position_;
    uint32_t left = Remaining();
    uint32_t d = 0;
    while (d < left && at[d] != 0)
        d += 2;
    if (d >= left || d / 2 > kMaxWideUnits) {
        ok_ = false;
        return *this;
    }
    // Only the low byte of the terminating unit travels; the high byte is the
    // zero that the cleared work area supplies.
    unsigned char area[1024] = {};
    std::memcpy(area, at, d + 1);
    std::wstring text;
    text.reserve(d / 2);
    for (uint32_t i = 0; i < d; i += 2)
        text.push_back(static_cast<wchar_t>(area[i] | (area[i + 1] << 8)));
    w.swap(text);
    position_ += d + 1;
    return *this;
}

BufReader& BufReader::ReadBuf(Buf& b)
{
    uint32_t n = 0;
    if (!ReadLE(*this, n, 4))
        return *this;
    if (Remaining() < n) {
        ok_ = false;
        return *this;
    }
    b.Assign(bytes_.GetData() + position_, static_cast<int>(n));
    position_ += n;
    return *this;
}

// ---- StreamChunk ----

bool StreamChunk::Alloc(int n)
{
    unsigned char* p = AllocBytes(n);
    FreeBytes(storage_);
    storage_ = p;
    size_ = p ? n : 0;
    position_ = 0;
    return p != nullptr;
}

bool StreamChunk::Attach(unsigned char* array, int n)
{
    if (!array)
        return false;
    if (array != storage_)
        FreeBytes(storage_);
    storage_ = array;
    size_ = n;
    position_ = 0;
    return true;
}

unsigned char* StreamChunk::Detach()
{
    unsigned char* p = storage_;
    storage_ = nullptr;
    return p;
}
