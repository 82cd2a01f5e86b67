// The key of the program's own stored records: the marked records of
// pvconf.dat and the language files. It is built when needed and never
// stored as a whole, so the executable holds no copy of it to find.
#pragma once

#include <cstdint>

const uint32_t kRecordKeySize = 32;

void BuildRecordKey(unsigned char* key);
