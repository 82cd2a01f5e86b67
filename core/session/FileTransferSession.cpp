#include "session/FileTransferSession.h"

#include <algorithm>
#include <cstring>

namespace {

const uint32_t kBlock = CryptoPP::AES::BLOCKSIZE;
const int kReceiveBufferSize = 1024;

uint32_t WholeBlocks(uint32_t length)
{
    return length & ~(kBlock - 1);
}

void ProcessBlocks(const CryptoPP::BlockTransformation& cipher, const void* in, void* out,
                   uint32_t length)
{
    if (length)
        cipher.AdvancedProcessBlocks(static_cast<const CryptoPP::byte*>(in), nullptr,
                                     static_cast<CryptoPP::byte*>(out), length, 0);
}

}  // namespace

FileTransferSession::FileTransferSession()
    : totalSize(0), remaining(0), chunkBytes(0), chunkCounter(0), ready(false),
      requestedChunkSize(0), active(false), sendTimer(kSendPeriodMs), keyUnwrapped(false)
{
    // Both ciphers are keyed from the start, so that no use can meet an
    // empty key schedule; the receiver still refuses chunks until it holds
    // the sender's key.
    std::memset(fileKey, 0, sizeof(fileKey));
    encryptor.SetKey(fileKey, sizeof(fileKey));
    decryptor.SetKey(fileKey, sizeof(fileKey));
}

bool FileTransferSession::MakeKeys()
{
    if (!Ecies::MakeKeyPair(randomPool, privateKey, publicKey))
        return false;
    try {
        for (uint32_t i = 0; i < sizeof(fileKey); ++i)
            fileKey[i] = randomPool.GenerateByte();
        encryptor.SetKey(fileKey, sizeof(fileKey));
    } catch (...) {
        return false;
    }
    return true;
}

bool FileTransferSession::PrepareSend(const wchar_t* path, const std::string& recipient,
                                      const wchar_t* label_)
{
    label = label_ ? label_ : L"";
    sendingPeer = recipient;
    if (!file.OpenRead(path))
        return false;
    uint32_t size = 0;
    if (!file.GetSize(size) || size == 0)
        return false;
    // Sizes travel as 32 bits: a larger file would arrive cut short.
    uint32_t high = 0;
    FileHasContent(path, high);
    if (high != 0)
        return false;
    // Counted from the start, so that nothing can look complete before the
    // first chunk went.
    totalSize = remaining = size;
    return MakeKeys();
}

bool FileTransferSession::PrepareReceive(const wchar_t* path, const std::string& mid,
                                         const wchar_t* label_, uint32_t size)
{
    label = label_ ? label_ : L"";
    receivingPeer = mid;
    totalSize = remaining = size;
    if (!path || !*path)
        return false;
    // The user's file is not touched until the new one is whole. Held
    // meanwhile, no other writer changes it, and one that cannot be
    // written fails now rather than at the end. A read-only file is never
    // replaced, even where an administrator could open it for writing.
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    if (!targetHold.OpenExistingForWrite(path) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    if (!received.Open(path))
        return false;
    targetPath = FullPath(path);
    return MakeKeys() && plainBuffer.Resize(kReceiveBufferSize);
}

bool FileTransferSession::CommitReceived()
{
    if (remaining != 0 || !received.IsOpen())
        return false;
    // The hold would keep the new file out of the target's place.
    targetHold.Close();
    return received.Commit();
}

std::wstring FileTransferSession::FullPath(const wchar_t* path)
{
    wchar_t full[MAX_PATH * 4];
    const DWORD n = GetFullPathNameW(path, MAX_PATH * 4, full, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : std::wstring(path);
}

bool FileTransferSession::SameTarget(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE)
        == CSTR_EQUAL;
}

bool FileTransferSession::ExportPublicKey(Buf& out) const
{
    return Ecies::ExportPoint(privateKey, publicKey, out);
}

bool FileTransferSession::WrapSessionKey(const Buf& receiverKey, Buf& out)
{
    return Ecies::EncryptTo(receiverKey, fileKey, sizeof(fileKey), out);
}

bool FileTransferSession::UnwrapSessionKey(const Buf& wrapped)
{
    CryptoPP::SecByteBlock plain;
    size_t length = 0;
    // Anything but a whole key would key the decryptor with bytes the sender
    // never sent.
    if (!Ecies::DecryptWith(privateKey, wrapped, plain, length) || length != sizeof(fileKey))
        return false;
    std::memcpy(fileKey, plain.data(), sizeof(fileKey));
    decryptor.SetKey(fileKey, sizeof(fileKey));
    keyUnwrapped = true;
    return true;
}

uint32_t FileTransferSession::ChunkSizeFor(uint32_t request)
{
    uint32_t size = std::min(request, kMaxChunkSize);
    return (size + kBlock - 1) / kBlock * kBlock;
}

void FileTransferSession::StartSending()
{
    if (active)
        return;
    uint32_t size = ChunkSizeFor(requestedChunkSize);
    if (!plainBuffer.Resize(static_cast<int>(size)) || !cipherBuffer.Resize(static_cast<int>(size)))
        return;
    remaining = totalSize;
    chunkCounter = 0;
    ready = true;
    active = true;
}

bool FileTransferSession::MaySend()
{
    if (!ready || !active || !sendTimer.Expired())
        return false;
    sendTimer.Stamp();
    return true;
}

bool FileTransferSession::ReadNextChunk()
{
    if (!ready)
        return false;
    ++chunkCounter;
    ready = false;
    uint32_t n = std::min(remaining, static_cast<uint32_t>(plainBuffer.GetSize()));
    chunkBytes = n;
    uint32_t got = 0;
    // A short read means the file changed under the transfer.
    if (n == 0 || !file.Read(plainBuffer.GetData(), n, &got) || got != n)
        return false;
    unsigned char* cipher = cipherBuffer.GetData();
    std::memcpy(cipher, plainBuffer.GetData(), n);
    // The whole buffer travels: past the chunk's bytes it carries zeros,
    // never what an earlier chunk or the heap left there.
    std::memset(cipher + n, 0, static_cast<size_t>(cipherBuffer.GetSize()) - n);
    ProcessBlocks(encryptor, plainBuffer.GetData(), cipher, WholeBlocks(n));
    remaining -= n;
    return true;
}

void FileTransferSession::OnChunkAck(uint32_t number)
{
    if (active && number == chunkCounter)
        ready = true;
}

FileTransferSession::ChunkOrder FileTransferSession::CheckChunkNumber(uint32_t number) const
{
    if (number == chunkCounter + 1)
        return kNextChunk;
    if (number != 0 && number <= chunkCounter)
        return kRepeatedChunk;
    return kChunkOutOfOrder;
}

bool FileTransferSession::WriteChunk(const void* data, uint32_t count)
{
    if (!keyUnwrapped || count > remaining || (count && !data))
        return false;
    if (static_cast<uint32_t>(plainBuffer.GetSize()) != count
        && !plainBuffer.Resize(static_cast<int>(count)))
        return false;
    if (count) {
        std::memcpy(plainBuffer.GetData(), data, count);
        ProcessBlocks(decryptor, data, plainBuffer.GetData(), WholeBlocks(count));
    }
    if (!received.Write(plainBuffer.GetData(), count))
        return false;
    remaining -= count;
    ++chunkCounter;
    return true;
}
