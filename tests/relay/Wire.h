// Byte-level form of the relay protocol, written on its own from the field
// tables: little-endian integers, zero-terminated narrow text, UTF-16LE text
// closed by ONE zero byte, and u32-length-prefixed byte blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace relay {

using Bytes = std::vector<uint8_t>;
using Wide = std::u16string;

class ByteWriter {
public:
    ByteWriter& U8(uint8_t v);
    ByteWriter& U16(uint16_t v);
    ByteWriter& U32(uint32_t v);
    ByteWriter& Str(const std::string& s);
    ByteWriter& WStr(const Wide& w);
    ByteWriter& Blob(const Bytes& b);
    ByteWriter& Raw(const uint8_t* p, size_t n);
    const Bytes& Data() const { return bytes_; }
    size_t Size() const { return bytes_.size(); }

private:
    Bytes bytes_;
};

// Every read either consumes exactly its field or fails and leaves the
// position where it was, so a caller can report which field ran short.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const Bytes& b) : ByteReader(b.data(), b.size()) {}

    bool U8(uint8_t& v);
    bool U16(uint16_t& v);
    bool U32(uint32_t& v);
    bool Str(std::string& s);
    // The text ends at the first zero byte at an even distance; a unit whose
    // low byte is zero cannot be carried.
    bool WStr(Wide& w);
    bool Blob(Bytes& b);
    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

const uint32_t kKeepAliveWord = 0xFFFFFFFFu;

uint32_t ReadLe32(const uint8_t* p);
Bytes Frame(const Bytes& body);
Bytes KeepAlive();

std::string Hex(const uint8_t* p, size_t n);
inline std::string Hex(const Bytes& b) { return Hex(b.data(), b.size()); }
// Accepts upper or lower case and ignores spaces; false on anything else.
bool FromHex(const std::string& text, Bytes& out);

std::string WideToUtf8(const Wide& w);
Wide Utf8ToWide(const std::string& s);

}  // namespace relay
