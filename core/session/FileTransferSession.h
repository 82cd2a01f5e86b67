// One file being sent or received: the open file, a fresh secp384r1 key pair
// for the key wrap, a fresh AES-256 file key, and the chunking of the file
// into enciphered blocks (sender) or back into the file (receiver).
//
// The receiver hands over its public key, the sender wraps the file key to
// it with ECIES and the receiver unwraps it. Chunks are bare AES blocks under
// the file key; a chunk's tail shorter than a block travels as it is. The
// sender keeps one chunk in flight, more than a second apart.
#pragma once

#include <cryptopp/aes.h>
#include <cryptopp/osrng.h>

#include <cstdint>
#include <string>

#include "base/FileHandle.h"
#include "base/Locks.h"
#include "crypto/CryptoCore.h"
#include "wire/Buf.h"

class FileTransferSession {
public:
    static constexpr uint32_t kMaxChunkSize = 8192;
    static constexpr uint32_t kSendPeriodMs = 1000;
    // 49-byte point, the 32-byte key, the 20-byte tag.
    static constexpr uint32_t kWrappedKeySize =
        CryptoCore::kPublicKeySize + CryptoCore::kKeySize + 20;

    // How a received chunk number stands to the chunks written so far.
    enum ChunkOrder { kNextChunk, kRepeatedChunk, kChunkOutOfOrder };

    FileTransferSession();
    FileTransferSession(const FileTransferSession&) = delete;
    FileTransferSession& operator=(const FileTransferSession&) = delete;

    // Sender: opens the file to send; an empty, missing or 4 GiB file fails.
    bool PrepareSend(const wchar_t* path, const std::string& recipient, const wchar_t* label);
    // Receiver: the file is written beside the target, which is only held
    // until the commit: it fails now when the target cannot be written
    // (read-only, held by another program) or no file can be made beside it.
    bool PrepareReceive(const wchar_t* path, const std::string& mid, const wchar_t* label,
                        uint32_t size);
    // Receiver, once every byte came: the file, flushed and closed, takes
    // the target's place in one step. False, and the target as it was,
    // otherwise. A receive that ends any other way leaves the target as it
    // was and removes its new file.
    bool CommitReceived();

    // Receiver: the own public point, compressed (49 bytes).
    bool ExportPublicKey(Buf& out) const;
    // Sender: the file key enciphered to the receiver's point (101 bytes).
    bool WrapSessionKey(const Buf& receiverKey, Buf& out);
    // Receiver: false unless the tag verifies and exactly a whole key came.
    bool UnwrapSessionKey(const Buf& wrapped);

    void SetChunkRequest(uint32_t speedBytesPerSec) { requestedChunkSize = speedBytesPerSec; }
    // Fixes the chunk size and starts; a repeated start changes nothing, so
    // that a second ready message cannot rewind the count under the file.
    void StartSending();
    // Ready, active and more than a second since the last send; restamps.
    bool MaySend();
    bool ReadNextChunk();
    void OnChunkAck(uint32_t number);
    // The sender is complete once its last chunk is acknowledged, the
    // receiver once every announced byte is written.
    bool IsComplete() const { return remaining == 0 && (!active || ready); }

    ChunkOrder CheckChunkNumber(uint32_t number) const;
    // Fails before the key is unwrapped and for more bytes than remain.
    bool WriteChunk(const void* data, uint32_t count);

    static uint32_t ChunkSizeFor(uint32_t request);

    uint32_t GetTotalSize() const { return totalSize; }
    uint32_t GetRemaining() const { return remaining; }
    uint32_t GetChunkBytes() const { return chunkBytes; }
    uint32_t GetChunkCounter() const { return chunkCounter; }
    const Buf& GetCipherBuffer() const { return cipherBuffer; }
    const std::string& GetSendingPeer() const { return sendingPeer; }
    const std::string& GetReceivingPeer() const { return receivingPeer; }
    const std::wstring& GetLabel() const { return label; }
    bool IsActive() const { return active; }
    bool HasFileKey() const { return keyUnwrapped; }
    // Receiver: the target as a full path, to compare targets by.
    const std::wstring& GetTargetPath() const { return targetPath; }
    // The same file by name, whatever the case or the relative parts.
    static bool SameTarget(const std::wstring& a, const std::wstring& b);
    static std::wstring FullPath(const wchar_t* path);

private:
    bool MakeKeys();

    std::string sendingPeer;
    std::string receivingPeer;
    std::wstring label;
    CFileHandle file;
    uint32_t totalSize;
    uint32_t remaining;
    uint32_t chunkBytes;
    uint32_t chunkCounter;
    bool ready;
    uint32_t requestedChunkSize;
    bool active;
    IntervalTimer sendTimer;
    Buf plainBuffer;
    Buf cipherBuffer;
    unsigned char fileKey[CryptoCore::kKeySize];
    CryptoPP::AES::Encryption encryptor;
    CryptoPP::AES::Decryption decryptor;
    ChatEcies::PrivateKey privateKey;
    ChatEcies::PublicKey publicKey;
    CryptoPP::AutoSeededRandomPool randomPool;
    // Receiver: the decryptor holds the sender's key, not the placeholder.
    bool keyUnwrapped;
    // Receiver: the target, held against other writers; the file that is
    // written beside it; the target's full path.
    CFileHandle targetHold;
    CReplacingFile received;
    std::wstring targetPath;
};
