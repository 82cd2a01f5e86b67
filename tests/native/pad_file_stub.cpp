// Native builds have no installation folder: the pad lives in memory only.
#include "crypto/CryptoCore.h"

bool CryptoCore::LoadPad()
{
    pad.Free();
    return false;
}

bool CryptoCore::SavePad()
{
    return true;
}
