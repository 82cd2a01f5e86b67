// FileTransferSession on real files: chunking and the byte rules of the
// chunk cipher, the file-key wrap, pacing and acknowledgements, the faults a
// peer can cause (short keys, stray chunk numbers, overlong chunks), and the
// received file, which replaces its target only when whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <cryptopp/aes.h>
#include <cryptopp/modes.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "base/Locks.h"
#include "crypto/Ecies.h"
#include "FolderFiles.h"
#include "session/FileTransferSession.h"
#include "TempFolder.h"
#include "TestBytes.h"

namespace {

uint32_t g_now = 0;
uint32_t FakeTicks() { return g_now; }

class TransferFixture : public TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        g_now = 50000;
        SetTickSource(FakeTicks);
    }
    void TearDown() override
    {
        SetTickSource(nullptr);
        TempFolder::TearDown();
    }

    // A sender and a receiver through the key exchange, the sender started
    // with the given chunk request.
    void Connect(const Bytes& content, uint32_t request)
    {
        WriteAll(Path(L"source.bin"), content);
        ASSERT_TRUE(sender->PrepareSend(Path(L"source.bin").c_str(), "bob", L"source.bin"));
        ASSERT_TRUE(receiver->PrepareReceive(Path(L"target.bin").c_str(), "alice", L"source.bin",
                                            static_cast<uint32_t>(content.size())));
        Buf point, wrapped;
        ASSERT_TRUE(receiver->ExportPublicKey(point));
        ASSERT_TRUE(sender->WrapSessionKey(point, wrapped));
        ASSERT_TRUE(receiver->UnwrapSessionKey(wrapped));
        sender->SetChunkRequest(request);
        sender->StartSending();
    }

    // One pass of the pump and the peer's answer; false when nothing left.
    bool Step()
    {
        g_now += 1001;
        if (!sender->MaySend())
            return false;
        EXPECT_TRUE(sender->ReadNextChunk());
        const Buf& block = sender->GetCipherBuffer();
        EXPECT_EQ(FileTransferSession::kNextChunk,
                  receiver->CheckChunkNumber(sender->GetChunkCounter()));
        EXPECT_TRUE(receiver->WriteChunk(block.GetData(), sender->GetChunkBytes()));
        sender->OnChunkAck(sender->GetChunkCounter());
        return true;
    }

    // Ends the receiving session, putting its file in the target's place
    // when it can; true then.
    bool Finish()
    {
        const bool committed = receiver->CommitReceived();
        receiver.reset(new FileTransferSession);
        return committed;
    }
    // A whole received file, in its place.
    Bytes Received(const wchar_t* name = L"target.bin")
    {
        EXPECT_TRUE(Finish());
        return ReadAll(Path(name));
    }
    void Renew()
    {
        sender.reset(new FileTransferSession);
        receiver.reset(new FileTransferSession);
    }

    std::unique_ptr<FileTransferSession> sender{new FileTransferSession};
    std::unique_ptr<FileTransferSession> receiver{new FileTransferSession};
};

TEST(ChunkSize, IsCappedAndRoundedUpToWholeBlocks)
{
    struct { uint32_t request, size; } cases[] = {
        {8192, 8192}, {8193, 8192}, {0xFFFFFFFFu, 8192}, {100, 112},
        {16, 16}, {1, 16}, {0, 0}, {8177, 8192},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.size, FileTransferSession::ChunkSizeFor(c.request)) << c.request;
}

TEST_F(TransferFixture, FilesArriveByteIdenticalWhateverTheirSizeAndChunking)
{
    struct { size_t size; uint32_t request; uint32_t chunks; } cases[] = {
        {1, 8192, 1},
        {20, 8192, 1},
        {8192, 8192, 1},
        {8193, 8192, 2},
        {300000, 3000, 100},  // chunks of 3008 bytes
        {300001, 0x7FFFFFFF, 37},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.size);
        Bytes content = RandomBytes(c.size, static_cast<unsigned>(c.size));
        Renew();
        Connect(content, c.request);
        uint32_t chunks = 0;
        while (!sender->IsComplete() && chunks < 1000) {
            ASSERT_TRUE(Step());
            ++chunks;
        }
        EXPECT_EQ(c.chunks, chunks);
        EXPECT_TRUE(receiver->IsComplete());
        EXPECT_EQ(0u, receiver->GetRemaining());
        EXPECT_EQ(content, Received());
    }
}

TEST_F(TransferFixture, AChunkIsBareAesWithAPlainTailAndZerosAfterIt)
{
    // Two chunks: 8192 bytes, then 20 of which the last 4 travel as they are.
    Bytes content = RandomBytes(8192 + 20, 7);
    Connect(content, 8192);
    ASSERT_TRUE(Step());
    g_now += 1001;
    ASSERT_TRUE(sender->MaySend());
    ASSERT_TRUE(sender->ReadNextChunk());
    const Buf& block = sender->GetCipherBuffer();
    ASSERT_EQ(8192, block.GetSize());
    EXPECT_EQ(20u, sender->GetChunkBytes());
    const unsigned char* tail = content.data() + 8192;

    // The first 16 bytes are one AES block under some key: not the plain ones.
    EXPECT_NE(0, std::memcmp(block.GetData(), tail, 16));
    EXPECT_EQ(0, std::memcmp(block.GetData() + 16, tail + 16, 4));
    // The rest of the buffer holds zeros, not the previous chunk's bytes.
    EXPECT_EQ(Bytes(8192 - 20, 0), Bytes(block.GetData() + 20, block.GetData() + 8192));

    // Equal plain blocks give equal cipher blocks: no chaining.
    FileTransferSession a, b;
    WriteAll(Path(L"same.bin"), Bytes(64, 0x5A));
    ASSERT_TRUE(a.PrepareSend(Path(L"same.bin").c_str(), "bob", L"same.bin"));
    a.SetChunkRequest(64);
    a.StartSending();
    ASSERT_TRUE(a.ReadNextChunk());
    const unsigned char* c = a.GetCipherBuffer().GetData();
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(0, std::memcmp(c, c + 16 * i, 16));
}

TEST_F(TransferFixture, OneChunkInFlightMoreThanASecondApart)
{
    Connect(RandomBytes(3 * 16, 3), 16);
    // The timer starts at tick 0, so the first check passes at once.
    ASSERT_TRUE(sender->MaySend());
    ASSERT_TRUE(sender->ReadNextChunk());
    g_now += 5000;
    EXPECT_FALSE(sender->MaySend()) << "chunk 1 is not acknowledged";
    EXPECT_FALSE(sender->ReadNextChunk());

    // Acknowledgements of other chunks leave the session waiting.
    for (uint32_t stray : {0u, 2u, 7u})
        sender->OnChunkAck(stray);
    EXPECT_FALSE(sender->MaySend());

    sender->OnChunkAck(1);
    ASSERT_TRUE(sender->MaySend());
    ASSERT_TRUE(sender->ReadNextChunk());
    sender->OnChunkAck(2);
    g_now += 1000;
    EXPECT_FALSE(sender->MaySend()) << "exactly one period is not enough";
    g_now += 1;
    EXPECT_TRUE(sender->MaySend());
}

TEST_F(TransferFixture, TheSenderIsCompleteOnlyWhenTheLastChunkIsAcknowledged)
{
    // An acknowledgement before sending started completes nothing.
    WriteAll(Path(L"early.bin"), Bytes(5, 1));
    FileTransferSession early;
    ASSERT_TRUE(early.PrepareSend(Path(L"early.bin").c_str(), "bob", L"early.bin"));
    early.OnChunkAck(0);
    EXPECT_FALSE(early.IsComplete());

    Connect(RandomBytes(40, 4), 16);
    ASSERT_TRUE(Step());
    ASSERT_TRUE(Step());
    g_now += 1001;
    ASSERT_TRUE(sender->MaySend());
    ASSERT_TRUE(sender->ReadNextChunk());
    EXPECT_EQ(0u, sender->GetRemaining());
    EXPECT_FALSE(sender->IsComplete()) << "chunk 3 is still in flight";
    sender->OnChunkAck(2);
    EXPECT_FALSE(sender->IsComplete());
    sender->OnChunkAck(3);
    EXPECT_TRUE(sender->IsComplete());
}

TEST_F(TransferFixture, ASecondStartDoesNotRewindTheTransfer)
{
    Bytes content = RandomBytes(100, 5);
    Connect(content, 32);
    ASSERT_TRUE(Step());
    sender->SetChunkRequest(16);
    sender->StartSending();
    EXPECT_EQ(1u, sender->GetChunkCounter());
    EXPECT_EQ(68u, sender->GetRemaining());
    for (int i = 0; i < 10 && !sender->IsComplete(); ++i)
        ASSERT_TRUE(Step());
    EXPECT_EQ(4u, sender->GetChunkCounter());
    EXPECT_EQ(content, Received());
}

TEST_F(TransferFixture, AChunkSizeOfZeroFailsTheFirstRead)
{
    Connect(RandomBytes(10, 6), 0);
    ASSERT_TRUE(sender->MaySend());
    EXPECT_FALSE(sender->ReadNextChunk());
    EXPECT_EQ(1u, sender->GetChunkCounter()) << "a failed read still takes a number";
}

TEST_F(TransferFixture, TheWrappedKeyIs101BytesAndOnlyTheReceiverUnwrapsIt)
{
    WriteAll(Path(L"s.bin"), Bytes(5, 1));
    ASSERT_TRUE(sender->PrepareSend(Path(L"s.bin").c_str(), "bob", L"s.bin"));
    ASSERT_TRUE(receiver->PrepareReceive(Path(L"t.bin").c_str(), "alice", L"s.bin", 5));
    FileTransferSession other;
    ASSERT_TRUE(other.PrepareReceive(Path(L"o.bin").c_str(), "alice", L"s.bin", 5));

    Buf point, wrapped;
    ASSERT_TRUE(receiver->ExportPublicKey(point));
    ASSERT_EQ(49, point.GetSize());
    EXPECT_TRUE(point.GetData()[0] == 2 || point.GetData()[0] == 3);
    ASSERT_TRUE(sender->WrapSessionKey(point, wrapped));
    EXPECT_EQ(static_cast<int>(FileTransferSession::kWrappedKeySize), wrapped.GetSize());
    EXPECT_EQ(101, wrapped.GetSize());

    EXPECT_FALSE(other.UnwrapSessionKey(wrapped));
    Buf damaged = wrapped;
    damaged.GetData()[60] ^= 1;
    EXPECT_FALSE(receiver->UnwrapSessionKey(damaged));
    EXPECT_FALSE(receiver->HasFileKey());
    EXPECT_TRUE(receiver->UnwrapSessionKey(wrapped));
    EXPECT_TRUE(receiver->HasFileKey());

    // A public key that is no point of the curve cannot be wrapped to.
    Bytes offCurve(49, 0xFF);
    offCurve[0] = 2;
    Buf out;
    for (const Buf& bad : {MakeBuf(offCurve), MakeBuf(Bytes(20, 2)), Buf()})
        EXPECT_FALSE(sender->WrapSessionKey(bad, out));
}

TEST_F(TransferFixture, AnUnwrappedKeyMustBeExactlyAWholeKey)
{
    ASSERT_TRUE(receiver->PrepareReceive(Path(L"t.bin").c_str(), "alice", L"x", 16));
    Buf point;
    ASSERT_TRUE(receiver->ExportPublicKey(point));
    // A peer that wraps too few or too many bytes to the right point.
    for (size_t n : {0u, 1u, 16u, 31u, 33u, 64u}) {
        Bytes plain(n, 0x11);
        Buf wrapped;
        ASSERT_TRUE(Ecies::EncryptTo(point, plain.data(), plain.size(), wrapped)) << n;
        EXPECT_FALSE(receiver->UnwrapSessionKey(wrapped)) << n;
    }
    EXPECT_FALSE(receiver->HasFileKey());
    // Without the sender's key no chunk is deciphered or written.
    Bytes chunk(16, 0x22);
    EXPECT_FALSE(receiver->WriteChunk(chunk.data(), 16));
    EXPECT_EQ(16u, receiver->GetRemaining());
    EXPECT_FALSE(Finish());
    EXPECT_TRUE(FolderContents(dir_).empty());
}

TEST_F(TransferFixture, TheReceiverWritesOnlyTheNextChunkAndNoMoreThanWasOffered)
{
    Connect(RandomBytes(40, 8), 16);
    struct { uint32_t number; FileTransferSession::ChunkOrder order; } before[] = {
        {1, FileTransferSession::kNextChunk},
        {0, FileTransferSession::kChunkOutOfOrder},
        {2, FileTransferSession::kChunkOutOfOrder},
    };
    for (auto& c : before)
        EXPECT_EQ(c.order, receiver->CheckChunkNumber(c.number)) << c.number;
    ASSERT_TRUE(Step());
    ASSERT_TRUE(Step());
    struct { uint32_t number; FileTransferSession::ChunkOrder order; } after[] = {
        {1, FileTransferSession::kRepeatedChunk},
        {2, FileTransferSession::kRepeatedChunk},
        {3, FileTransferSession::kNextChunk},
        {4, FileTransferSession::kChunkOutOfOrder},
    };
    for (auto& c : after)
        EXPECT_EQ(c.order, receiver->CheckChunkNumber(c.number)) << c.number;

    // 8 bytes remain: a chunk claiming 16 would write past the offered size.
    Bytes chunk(16, 0);
    EXPECT_FALSE(receiver->WriteChunk(chunk.data(), 16));
    EXPECT_EQ(8u, receiver->GetRemaining());
    EXPECT_FALSE(receiver->IsComplete());
    // Short of its size, the file never takes the target's place.
    const auto during = FolderContents(dir_);
    ASSERT_EQ(2u, during.size());
    EXPECT_FALSE(Finish());
    const std::map<std::wstring, std::string> left{{L"source.bin", during.at(L"source.bin")}};
    EXPECT_EQ(left, FolderContents(dir_));
}

TEST_F(TransferFixture, PreparingFailsForMissingAndEmptySourcesAndLeavesTargetsAlone)
{
    EXPECT_FALSE(sender->PrepareSend(Path(L"missing.bin").c_str(), "bob", L"missing.bin"));
    FileTransferSession empty;
    WriteAll(Path(L"empty.bin"), Bytes());
    EXPECT_FALSE(empty.PrepareSend(Path(L"empty.bin").c_str(), "bob", L"empty.bin"));
    FileTransferSession nowhere;
    EXPECT_FALSE(nowhere.PrepareReceive((dir_ + L"\\no\\t.bin").c_str(), "alice", L"t", 3));

    // Prepared, a target holds what it held; given up, it still does.
    WriteAll(Path(L"old.bin"), Bytes(100, 9));
    const auto before = FolderContents(dir_);
    ASSERT_TRUE(receiver->PrepareReceive(Path(L"old.bin").c_str(), "alice", L"old.bin", 3));
    EXPECT_EQ(std::string(100, 9), FolderContents(dir_)[L"old.bin"]);
    EXPECT_FALSE(Finish());
    EXPECT_EQ(before, FolderContents(dir_));
}

}  // namespace
