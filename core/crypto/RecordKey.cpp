#include "crypto/RecordKey.h"

void BuildRecordKey(unsigned char* key)
{
    // Files written with one key cannot be read with another: never change
    // these numbers.
    uint32_t x = 0x6A09E667u;
    for (uint32_t i = 0; i < kRecordKeySize; ++i) {
        x = x * 1103515245u + 12345u;
        key[i] = static_cast<unsigned char>((x >> 16) ^ (i * 0x9Du));
    }
}
