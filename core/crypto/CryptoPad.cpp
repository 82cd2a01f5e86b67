// The pad file "conf.dat" beside the executable, kept apart from the
// platform-free crypto code.
#include "base/FileHandle.h"
#include "crypto/CryptoCore.h"

namespace {
const wchar_t kPadFile[] = L"conf.dat";
}

bool CryptoCore::LoadPad()
{
    wchar_t path[MAX_PATH];
    CFileHandle file;
    uint32_t got = 0;
    // A file shorter than the pad is no pad: it would leave bytes of the
    // pad unset that then feed its key and digest.
    bool ok = GetModuleDirPath(kPadFile, path, MAX_PATH) && file.OpenRead(path)
        && pad.Resize(kPadSize)
        && file.Read(pad.GetData(), kPadSize, &got) && got == kPadSize;
    if (!ok)
        pad.Free();
    return ok;
}

bool CryptoCore::SavePad()
{
    // Written beside the old pad and put in its place in one step: a cut
    // save leaves the old pad, not a short file that counts as none.
    wchar_t path[MAX_PATH];
    return GetModuleDirPath(kPadFile, path, MAX_PATH)
        && ReplaceFileContents(path, pad.GetData(), static_cast<uint32_t>(pad.GetSize()));
}
