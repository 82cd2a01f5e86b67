#include "Wire.h"

namespace relay {

ByteWriter& ByteWriter::U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
}

ByteWriter& ByteWriter::U16(uint16_t v) {
    bytes_.push_back(uint8_t(v));
    bytes_.push_back(uint8_t(v >> 8));
    return *this;
}

ByteWriter& ByteWriter::U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
    return *this;
}

ByteWriter& ByteWriter::Str(const std::string& s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    bytes_.push_back(0);
    return *this;
}

ByteWriter& ByteWriter::WStr(const Wide& w) {
    for (char16_t u : w) U16(uint16_t(u));
    bytes_.push_back(0);
    return *this;
}

ByteWriter& ByteWriter::Blob(const Bytes& b) {
    U32(uint32_t(b.size()));
    return Raw(b.data(), b.size());
}

ByteWriter& ByteWriter::Raw(const uint8_t* p, size_t n) {
    bytes_.insert(bytes_.end(), p, p + n);
    return *this;
}

bool ByteReader::U8(uint8_t& v) {
    if (Remaining() < 1) return false;
    v = data_[pos_++];
    return true;
}

bool ByteReader::U16(uint16_t& v) {
    if (Remaining() < 2) return false;
    v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
}

bool ByteReader::U32(uint32_t& v) {
    if (Remaining() < 4) return false;
    v = ReadLe32(data_ + pos_);
    pos_ += 4;
    return true;
}

bool ByteReader::Str(std::string& s) {
    for (size_t i = pos_; i < size_; ++i) {
        if (data_[i] == 0) {
            s.assign(reinterpret_cast<const char*>(data_ + pos_), i - pos_);
            pos_ = i + 1;
            return true;
        }
    }
    return false;
}

bool ByteReader::WStr(Wide& w) {
    for (size_t i = pos_; i < size_; i += 2) {
        if (data_[i] != 0) continue;
        Wide out;
        for (size_t k = pos_; k < i; k += 2) out.push_back(char16_t(data_[k] | (data_[k + 1] << 8)));
        w = out;
        pos_ = i + 1;
        return true;
    }
    return false;
}

bool ByteReader::Blob(Bytes& b) {
    uint32_t n = 0;
    if (Remaining() < 4) return false;
    n = ReadLe32(data_ + pos_);
    if (Remaining() - 4 < n) return false;
    b.assign(data_ + pos_ + 4, data_ + pos_ + 4 + n);
    pos_ += 4 + size_t(n);
    return true;
}

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

Bytes Frame(const Bytes& body) {
    ByteWriter w;
    w.U32(uint32_t(body.size())).Raw(body.data(), body.size());
    return w.Data();
}

Bytes KeepAlive() {
    return Bytes(4, 0xFF);
}

std::string Hex(const uint8_t* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool FromHex(const std::string& text, Bytes& out) {
    Bytes b;
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        int d = HexDigit(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            b.push_back(uint8_t(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0) return false;
    out = b;
    return true;
}

std::string WideToUtf8(const Wide& w) {
    std::string s;
    for (size_t i = 0; i < w.size(); ++i) {
        uint32_t c = w[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            s.push_back(char(c));
        } else if (c < 0x800) {
            s.push_back(char(0xC0 | c >> 6));
            s.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            s.push_back(char(0xE0 | c >> 12));
            s.push_back(char(0x80 | (c >> 6 & 0x3F)));
            s.push_back(char(0x80 | (c & 0x3F)));
        } else {
            s.push_back(char(0xF0 | c >> 18));
            s.push_back(char(0x80 | (c >> 12 & 0x3F)));
            s.push_back(char(0x80 | (c >> 6 & 0x3F)));
            s.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return s;
}

Wide Utf8ToWide(const std::string& s) {
    Wide w;
    for (size_t i = 0; i < s.size();) {
        uint8_t b = uint8_t(s[i]);
        uint32_t c;
        size_t n;
        if (b < 0x80) { c = b; n = 1; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; n = 2; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; n = 3; }
        else { c = b & 0x07; n = 4; }
        if (i + n > s.size()) break;
        for (size_t k = 1; k < n; ++k) c = c << 6 | (uint8_t(s[i + k]) & 0x3F);
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            w.push_back(char16_t(0xD800 + (c >> 10)));
            w.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            w.push_back(char16_t(c));
        }
    }
    return w;
}

}  // namespace relay
