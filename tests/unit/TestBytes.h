// Byte strings of the tests: reproducible random content, and the Buf form
// to and fro.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

#include "wire/Buf.h"

typedef std::vector<unsigned char> Bytes;

// The same bytes for the same seed, on every run.
inline Bytes RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& c : b)
        c = static_cast<unsigned char>(gen());
    return b;
}

inline Buf MakeBuf(const Bytes& b)
{
    Buf out;
    out.Assign(b.data(), static_cast<int>(b.size()));
    return out;
}

inline Bytes ToBytes(const Buf& b) { return Bytes(b.GetData(), b.GetData() + b.GetSize()); }
