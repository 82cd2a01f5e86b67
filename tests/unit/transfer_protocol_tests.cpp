// The session manager's file transfers where they go wrong, driven from the
// relay's end of a real link: offers that cannot be made, offers the
// receiver cannot take or that are no longer open, identifiers nobody holds,
// file keys that do not unwrap, chunks that do not fit, receives that end
// early, a reset in the middle of transfers, and an exit. What the manager
// sends is read off the link, what it tells the windows off its events, and
// what it wrote off the disk.
#include <winsock2.h>
#include <windows.h>

#include <cryptopp/aes.h>
#include <cryptopp/osrng.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crypto/Ecies.h"
#include "FolderFiles.h"
#include "RelaySide.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "TempFolder.h"

namespace {

typedef std::vector<std::string> Seen;

// Frozen unless a case moves it: the link never times out, and a sender's
// next chunk waits until a case lets a second pass.
std::atomic<uint32_t> g_now(50000);
uint32_t FrozenTicks() { return g_now; }

std::string Lang(int id) { return GetLanguageString(id); }
std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// An identifier as the sending client makes it.
std::string Id(int n)
{
    char s[40];
    std::snprintf(s, sizeof(s), "{6B29FC40-CA47-1067-B31D-00DD010662%02X}", n);
    return s;
}

Bytes Slice(const Bytes& b, size_t from, size_t n)
{
    return Bytes(b.begin() + from, b.begin() + from + n);
}

// A block as a sender makes it: whole AES blocks under the file key, a
// shorter tail as it is.
Bytes Encipher(const Bytes& key, const Bytes& plain)
{
    CryptoPP::AES::Encryption aes(key.data(), key.size());
    Bytes out = plain;
    for (size_t i = 0; i + 16 <= plain.size(); i += 16)
        aes.ProcessBlock(plain.data() + i, out.data() + i);
    return out;
}

Body Chunk(const std::string& id, const Bytes& key, const Bytes& plain, uint32_t number)
{
    return Body(36).Str(id).Blob(Encipher(key, plain)).U32(static_cast<uint32_t>(plain.size())).U32(number);
}

// A point of a key pair of nobody in the transfer.
Bytes StrangerPoint()
{
    CryptoPP::AutoSeededRandomPool rng;
    ChatEcies::PrivateKey priv;
    ChatEcies::PublicKey pub;
    Buf point;
    EXPECT_TRUE(Ecies::MakeKeyPair(rng, priv, pub) && Ecies::ExportPoint(priv, pub, point));
    return ToBytes(point);
}

Bytes WrapTo(const Bytes& point, const Bytes& plain)
{
    Buf wrapped;
    EXPECT_TRUE(Ecies::EncryptTo(MakeBuf(point), plain.data(), plain.size(), wrapped));
    return ToBytes(wrapped);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

typedef std::map<std::wstring, std::string> Folder;

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A file another program holds open: for reading only, letting nobody else
// write it; or for reading, letting others read and write but not delete
// or replace it.
class HeldFile {
public:
    HeldFile(const std::wstring& path, DWORD share)
        : h_(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr))
    {
        EXPECT_NE(INVALID_HANDLE_VALUE, h_);
    }
    ~HeldFile() { Release(); }
    void Release()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};

class Transfers : public TempFolder {
protected:
    static void SetUpTestSuite()
    {
        WSADATA wsa;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
        ASSERT_TRUE(LoadLanguage(0));
    }
    static void TearDownTestSuite() { WSACleanup(); }

    void SetUp() override
    {
        TempFolder::SetUp();
        SetTickSource(FrozenTicks);
        GetAppConfig()->SetInstanceIndex(-1);
        manager.reset(new VoIPManager);
        manager->GetHandlerRegistry().RegisterHandler(&events);
        ASSERT_TRUE(relay.Listen());
    }

    void TearDown() override
    {
        // Stopping closes every transfer's file before the folder goes.
        manager->Stop();
        manager.reset();
        Events();
        DeleteFileAt(BesideExe(L"conf.dat").c_str());
        SetTickSource(nullptr);
        TempFolder::TearDown();
    }

    void SignIn()
    {
        AppConfig* config = GetAppConfig();
        config->SetServerHost("127.0.0.1");
        config->SetBackupServerHost("");
        ASSERT_TRUE(manager->Start("127.0.0.1", relay.Port(), "alice@x", "pw", FreePort(SOCK_DGRAM)));
        relay.SignIn(events);
    }

    Seen Events() { return DrainEvents(events); }

    // Events as they come, until there are n or none came for a while.
    Seen AwaitEvents(size_t n)
    {
        Seen seen;
        for (int i = 0; i < 100 && seen.size() < n; ++i) {
            for (const std::string& e : Events())
                seen.push_back(e);
            Sleep(50);
        }
        return seen;
    }

    int Held() { return manager->CountOutgoingTransfers() + manager->CountIncomingTransfers(); }

    // Bob offers a file of size bytes, and the windows are told.
    void OfferArrives(const std::string& id, uint32_t size)
    {
        EXPECT_EQ(Seen(), relay.Answers(Body(29).Str("bob@x").Str("Bob").Str(id).WStr(L"f.bin").U32(size)));
        EXPECT_EQ(Seen{"29:bob@x|Bob|" + id + "|f.bin|" + std::to_string(size)}, Events());
    }

    // What the page of a receive that did not start is told.
    static std::string NotStarted(const std::string& id, const std::wstring& path, int text)
    {
        return "26:" + id + "|" + Narrow(path) + "|" + Lang(text);
    }

    // Takes an offer of size bytes into the named file and plays its
    // sender through the key exchange; returns the file key. An offer that
    // is to arrive while another transfer runs must have arrived before.
    Bytes Receive(const std::string& id, const wchar_t* name, uint32_t size, bool offered = false)
    {
        if (!offered)
            OfferArrives(id, size);
        manager->AcceptFileOffer("bob@x", Path(name), L"f.bin", id, size);
        const Bytes accept = relay.Expect(32);
        FieldReader r(accept);
        r.U32();
        EXPECT_EQ(id, r.Str());
        const Bytes point = r.Blob();
        EXPECT_EQ(49u, point.size());
        const Bytes key = RandomBytes(32, size);
        EXPECT_EQ(Seen{"35:" + id}, relay.Answers(Body(34).Str(id).Blob(WrapTo(point, key))));
        return key;
    }

    // Offers a file and reads the offer off the link; returns the identifier.
    std::string Offer(const wchar_t* name)
    {
        std::string id;
        manager->OfferFile("bob@x", Path(name), name, id);
        relay.Expect(116);
        EXPECT_EQ(Seen{"27"}, Events());
        return id;
    }

    std::unique_ptr<VoIPManager> manager;
    CoreMessageHandler events;
    RelaySide relay;
    // File keys of the transfers being received, by identifier.
    std::map<std::string, Bytes> keyOf;
};

TEST_F(Transfers, AnOfferThatCannotBeMadeIsReportedHereAndNothingLeaves)
{
    const std::wstring photo = Path(L"photo.jpg");
    WriteAll(photo, RandomBytes(100, 1));
    auto refused = [&](const std::string& to, const std::wstring& path, int text) {
        return Seen{"26:" + to + "|" + Narrow(path) + "|" + Lang(text)};
    };
    std::string id;
    manager->OfferFile("bob@x", photo, L"photo.jpg", id);
    EXPECT_EQ(refused("bob@x", photo, 67), Events()) << "no link";
    EXPECT_EQ(0, Held());

    SignIn();
    WriteAll(Path(L"empty.bin"), Bytes());
    // Sparse: 4 GiB and 20 bytes, of which a 32-bit size sees only 20.
    HANDLE huge = CreateFileW(Path(L"huge.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, huge);
    LONG high = 1;
    SetFilePointer(huge, 20, &high, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(huge));
    CloseHandle(huge);
    HANDLE held = CreateFileW(Path(L"held.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    DWORD written = 0;
    WriteFile(held, "content", 7, &written, nullptr);

    const struct {
        const char* what;
        std::string recipient;
        std::wstring path;
        int text;
    } cases[] = {
        {"a folder that does not exist", "bob@x", Path(L"gone\\photo.jpg"), 65},
        {"a file that does not exist", "bob@x", Path(L"missing.jpg"), 65},
        {"an empty file", "bob@x", Path(L"empty.bin"), 65},
        {"a file another program holds", "bob@x", Path(L"held.bin"), 65},
        {"a file of 4 GiB and more", "bob@x", Path(L"huge.bin"), 65},
        {"a name the cipher would cut", std::string(256, 'n'), photo, 67},
    };
    for (const auto& k : cases) {
        manager->OfferFile(k.recipient, k.path, L"photo.jpg", id);
        EXPECT_EQ(refused(k.recipient, k.path, k.text), Events()) << k.what;
        EXPECT_EQ(Seen(), relay.Sent()) << k.what;
        EXPECT_EQ(0, Held()) << k.what;
    }
    CloseHandle(held);

    // The longest name that goes whole.
    manager->OfferFile(std::string(255, 'n'), photo, L"photo.jpg", id);
    EXPECT_EQ(Seen{"27"}, Events());
    EXPECT_EQ(Seen{"116:#256|" + id + "|photo.jpg|100"}, relay.Sent());
    EXPECT_EQ(1, manager->CountOutgoingTransfers());
}

TEST_F(Transfers, AReceiverThatCannotTakeAnOfferTellsThePeerAndItsPageAndTouchesNoFile)
{
    SignIn();
    WriteAll(Path(L"keep.bin"), RandomBytes(100, 1));
    WriteAll(Path(L"locked.bin"), RandomBytes(100, 2));
    WriteAll(Path(L"readonly.bin"), RandomBytes(100, 3));
    ASSERT_TRUE(SetFileAttributesW(Path(L"readonly.bin").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryW(Path(L"sub").c_str(), nullptr));
    HeldFile locked(Path(L"locked.bin"), FILE_SHARE_READ);
    const Folder before = FolderContents(dir_);
    const struct {
        const char* what;
        std::wstring target;
    } cases[] = {
        {"a folder that does not exist", Path(L"gone\\f.bin")},
        {"a file another program holds", Path(L"locked.bin")},
        {"a read-only file", Path(L"readonly.bin")},
        {"a folder", Path(L"sub")},
    };
    int n = 0;
    for (const auto& k : cases) {
        const std::string id = Id(++n);
        OfferArrives(id, 48);
        manager->AcceptFileOffer("bob@x", k.target, L"f.bin", id, 48);
        EXPECT_EQ(Seen{"33:" + id + "|" + Lang(68)}, relay.Sent()) << k.what;
        EXPECT_EQ(Seen{NotStarted(id, k.target, 68)}, Events()) << k.what;
        EXPECT_EQ(0, Held()) << k.what;
        EXPECT_EQ(before, FolderContents(dir_)) << k.what;
    }
    locked.Release();
    SetFileAttributesW(Path(L"readonly.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(Path(L"sub").c_str());

    // The same offer accepted again while it runs, into its own file or
    // another one; another offer into the target of the running one, named
    // in any way.
    const Bytes content = RandomBytes(48, 2);
    const std::string id = Id(20);
    const std::string others[] = {Id(21), Id(22), Id(23)};
    for (const std::string& other : others)
        OfferArrives(other, 48);
    const Bytes key = Receive(id, L"f.bin", 48);
    EXPECT_EQ(Seen{"38:" + id + "|1"}, relay.Answers(Chunk(id, key, Slice(content, 0, 16), 1)));
    EXPECT_EQ(Seen{"33:" + id + "|48|32"}, Events());
    const Folder running = FolderContents(dir_);
    for (const wchar_t* name : {L"f.bin", L"other.bin"}) {
        manager->AcceptFileOffer("bob@x", Path(name), L"f.bin", id, 48);
        EXPECT_EQ(Seen{"33:" + id + "|" + Lang(69)}, relay.Sent()) << Narrow(name);
        EXPECT_EQ(Seen{NotStarted(id, Path(name), 69)}, Events()) << Narrow(name);
        EXPECT_EQ(1, manager->CountIncomingTransfers());
    }
    const std::wstring sameTarget[] = {Path(L"f.bin"), Path(L"F.BIN"), dir_ + L"\\.\\f.bin"};
    for (int i = 0; i < 3; ++i) {
        const std::string& other = others[i];
        const std::wstring& same = sameTarget[i];
        manager->AcceptFileOffer("bob@x", same, L"f.bin", other, 48);
        EXPECT_EQ(Seen{"33:" + other + "|" + Lang(68)}, relay.Sent()) << Narrow(same);
        EXPECT_EQ(Seen{NotStarted(other, same, 68)}, Events()) << Narrow(same);
        EXPECT_EQ(1, manager->CountIncomingTransfers());
    }
    EXPECT_EQ(running, FolderContents(dir_));

    // The running transfer goes on into its file, untouched.
    EXPECT_EQ(Seen{"38:" + id + "|2"}, relay.Answers(Chunk(id, key, Slice(content, 16, 16), 2)));
    EXPECT_EQ(Seen{"38:" + id + "|3"}, relay.Answers(Chunk(id, key, Slice(content, 32, 16), 3)));
    EXPECT_EQ(Seen(), relay.Answers(Body(37).Str(id)));
    EXPECT_EQ((Seen{"33:" + id + "|48|16", "33:" + id + "|48|0", "34:" + id}), Events());
    EXPECT_EQ(content, ReadAll(Path(L"f.bin")));
}

TEST_F(Transfers, IdentifiersNobodyHoldsAreAnsweredAndCreateNothing)
{
    SignIn();
    const std::string x = Id(7);
    const Seen unknown = {"33:" + x + "|" + Lang(97)};
    const struct {
        const char* what;
        Body body;
        Seen sent;
        Seen events;
    } cases[] = {
        {"receiver's key", Body(32).Str(x).Blob(StrangerPoint()), unknown, {}},
        {"wrapped key", Body(34).Str(x).Blob(Bytes(101, 3)), unknown, {}},
        {"ready", Body(35).Str(x).U32(8192), unknown, {}},
        {"chunk", Body(36).Str(x).Blob(Bytes(16, 4)).U32(16).U32(1), unknown, {}},
        {"complete", Body(37).Str(x), unknown, {}},
        {"chunk received", Body(38).Str(x).U32(1), unknown, {}},
        {"cancelled", Body(31).Str(x), {}, {"30:" + x}},
        {"failed", Body(28).Str(x).Str("Disk full"), {}, {"28:" + x + "|Disk full"}},
        // Cut short: a key or a chunk is answered for what could be read,
        // every other command is dropped.
        {"receiver's key, no fields", Body(32), {"33:|" + Lang(97)}, {}},
        {"chunk, identifier only", Body(36).Str(x), unknown, {}},
        {"wrapped key, no key", Body(34).Str(x), {}, {}},
        {"ready, no size", Body(35).Str(x), {}, {}},
        {"complete, no identifier", Body(37), {}, {}},
        {"chunk received, no number", Body(38).Str(x), {}, {}},
        {"cancelled, no identifier", Body(31), {}, {}},
        {"failed, no text", Body(28).Str(x), {}, {}},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(k.sent, relay.Answers(k.body)) << k.what;
        EXPECT_EQ(k.events, Events()) << k.what;
        EXPECT_EQ(0, Held()) << k.what;
    }

    // A transfer is looked up only among those of its direction: a
    // sender's command for a received transfer is as unknown as any.
    WriteAll(Path(L"out.bin"), RandomBytes(40, 3));
    const std::string in = Id(8);
    OfferArrives(in, 48);
    const std::string out = Offer(L"out.bin");
    Receive(in, L"in.bin", 48, true);
    const struct {
        Body body;
        const std::string& id;
    } crossed[] = {
        {Body(32).Str(in).Blob(StrangerPoint()), in},
        {Body(35).Str(in).U32(16), in},
        {Body(38).Str(in).U32(0), in},
        {Body(34).Str(out).Blob(Bytes(101, 3)), out},
        {Body(36).Str(out).Blob(Bytes(16, 4)).U32(16).U32(1), out},
        {Body(37).Str(out), out},
    };
    for (const auto& k : crossed)
        EXPECT_EQ(Seen{"33:" + k.id + "|" + Lang(97)}, relay.Answers(k.body)) << DescribeSent(k.body.bytes);
    EXPECT_EQ(Seen(), Events());
    EXPECT_EQ(1, manager->CountOutgoingTransfers());
    EXPECT_EQ(1, manager->CountIncomingTransfers());
}

TEST_F(Transfers, AFileKeyThatDoesNotUnwrapToAWholeKeyEndsTheTransfer)
{
    SignIn();
    const struct {
        const char* what;
        std::function<Bytes(const Bytes& point)> wrap;
    } cases[] = {
        {"a key for another receiver", [](const Bytes&) { return WrapTo(StrangerPoint(), RandomBytes(32, 1)); }},
        {"a damaged key", [](const Bytes& p) {
             Bytes w = WrapTo(p, RandomBytes(32, 1));
             w[60] ^= 1;
             return w;
         }},
        {"31 bytes", [](const Bytes& p) { return WrapTo(p, RandomBytes(31, 1)); }},
        {"33 bytes", [](const Bytes& p) { return WrapTo(p, RandomBytes(33, 1)); }},
        {"no bytes", [](const Bytes& p) { return WrapTo(p, Bytes()); }},
        {"an empty blob", [](const Bytes&) { return Bytes(); }},
    };
    int n = 0;
    for (const auto& k : cases) {
        const std::string id = Id(++n);
        const std::wstring target = Path((L"t" + std::to_wstring(n) + L".bin").c_str());
        OfferArrives(id, 48);
        manager->AcceptFileOffer("bob@x", target, L"f.bin", id, 48);
        const Bytes accept = relay.Expect(32);
        FieldReader r(accept);
        r.U32();
        r.Str();
        const Bytes point = r.Blob();
        EXPECT_EQ(Seen{"33:" + id + "|" + Lang(97)}, relay.Answers(Body(34).Str(id).Blob(k.wrap(point))))
            << k.what;
        EXPECT_EQ(Seen{"28:" + id + "|" + Lang(97)}, Events()) << k.what;
        EXPECT_EQ(0, Held()) << k.what;
        EXPECT_EQ(Folder(), FolderContents(dir_)) << k.what;
    }
    // The whole key of the same shape is taken.
    Receive(Id(99), L"good.bin", 48);
    EXPECT_EQ(1, manager->CountIncomingTransfers());
}

TEST_F(Transfers, AChunkThatDoesNotFitEndsTheTransferAndLeavesNoFile)
{
    SignIn();
    const Bytes content = RandomBytes(48, 4);
    typedef std::function<Body(const std::string& id, const Bytes& key)> Fault;
    const struct {
        const char* what;
        Fault fault;
        int text;
    } cases[] = {
        {"a count beyond its block", [&](const std::string& id, const Bytes& key) {
             return Body(36).Str(id).Blob(Encipher(key, Slice(content, 16, 16))).U32(17).U32(2);
         }, 70},
        {"a count beyond the offered size", [&](const std::string& id, const Bytes& key) {
             return Chunk(id, key, RandomBytes(48, 9), 2);
         }, 70},
        {"the chunk after the next", [&](const std::string& id, const Bytes& key) {
             return Chunk(id, key, Slice(content, 32, 16), 3);
         }, 70},
        {"chunk number 0", [&](const std::string& id, const Bytes& key) {
             return Chunk(id, key, Slice(content, 16, 16), 0);
         }, 70},
        {"completion after one chunk of three", [&](const std::string& id, const Bytes&) {
             return Body(37).Str(id);
         }, 97},
    };
    int n = 0;
    for (const auto& k : cases) {
        const std::string id = Id(++n);
        const std::wstring name = L"part" + std::to_wstring(n) + L".bin";
        const Bytes key = Receive(id, name.c_str(), 48);
        EXPECT_EQ(Seen{"38:" + id + "|1"}, relay.Answers(Chunk(id, key, Slice(content, 0, 16), 1)));
        EXPECT_EQ(Seen{"33:" + id + "|48|32"}, Events());

        EXPECT_EQ(Seen{"33:" + id + "|" + Lang(97)}, relay.Answers(k.fault(id, key))) << k.what;
        EXPECT_EQ(Seen{"28:" + id + "|" + Lang(k.text)}, Events()) << k.what;
        EXPECT_EQ(0, Held()) << k.what;
        EXPECT_EQ(Folder(), FolderContents(dir_)) << k.what;
    }
}

TEST_F(Transfers, ARepeatedChunkIsNeitherWrittenNorAcknowledgedAgain)
{
    SignIn();
    const Bytes content = RandomBytes(48, 5);
    const std::string id = Id(1);
    const Bytes key = Receive(id, L"whole.bin", 48);
    EXPECT_EQ(Seen{"38:" + id + "|1"}, relay.Answers(Chunk(id, key, Slice(content, 0, 16), 1)));
    EXPECT_EQ(Seen{"33:" + id + "|48|32"}, Events());

    EXPECT_EQ(Seen(), relay.Answers(Chunk(id, key, RandomBytes(16, 6), 1)));
    EXPECT_EQ(Seen(), Events());

    EXPECT_EQ(Seen{"38:" + id + "|2"}, relay.Answers(Chunk(id, key, Slice(content, 16, 16), 2)));
    EXPECT_EQ(Seen(), relay.Answers(Chunk(id, key, RandomBytes(16, 7), 2)));
    EXPECT_EQ(Seen{"38:" + id + "|3"}, relay.Answers(Chunk(id, key, Slice(content, 32, 16), 3)));
    EXPECT_EQ(Seen(), relay.Answers(Body(37).Str(id)));
    EXPECT_EQ((Seen{"33:" + id + "|48|16", "33:" + id + "|48|0", "34:" + id}), Events());
    EXPECT_EQ(0, Held());
    EXPECT_EQ(content, ReadAll(Path(L"whole.bin")));
}

TEST_F(Transfers, TheSenderEndsATransferWhoseKeyOrChunkCannotBeMade)
{
    SignIn();
    WriteAll(Path(L"s.bin"), RandomBytes(40, 8));
    // A receiver's key that is no point of the curve.
    Bytes offCurve(49, 0xFF);
    offCurve[0] = 2;
    std::string id = Offer(L"s.bin");
    EXPECT_EQ(Seen{"33:" + id + "|" + Lang(97)}, relay.Answers(Body(32).Str(id).Blob(offCurve)));
    EXPECT_EQ(Seen{"28:" + id + "|" + Lang(97)}, Events());
    EXPECT_EQ(0, Held());

    // A chunk size of nothing: the first read fails.
    id = Offer(L"s.bin");
    EXPECT_EQ(Seen{"34:" + id + "|#101"}, relay.Answers(Body(32).Str(id).Blob(StrangerPoint())));
    EXPECT_EQ(Seen{"33:" + id + "|" + Lang(97)}, relay.Answers(Body(35).Str(id).U32(0)));
    EXPECT_EQ(Seen{"28:" + id + "|" + Lang(97)}, Events());
    EXPECT_EQ(0, Held());

    // An acknowledgement of another chunk is progress, but no next chunk
    // leaves until its own comes.
    id = Offer(L"s.bin");
    EXPECT_EQ(Seen{"34:" + id + "|#101"}, relay.Answers(Body(32).Str(id).Blob(StrangerPoint())));
    EXPECT_EQ(Seen{"36:" + id + "|#16|16|1"}, relay.Answers(Body(35).Str(id).U32(16)));
    g_now += 1001;
    EXPECT_EQ(Seen(), relay.Answers(Body(38).Str(id).U32(2)));
    EXPECT_EQ(Seen{"33:" + id + "|40|24"}, Events());
    EXPECT_EQ(Seen{"36:" + id + "|#16|16|2"}, relay.Answers(Body(38).Str(id).U32(1)));
    EXPECT_EQ(Seen{"33:" + id + "|40|24"}, Events());
}

TEST_F(Transfers, AResetReportsEveryTransferTellsEveryPeerOnceSignedInAgainAndTheNextOfferIsTaken)
{
    SignIn();
    WriteAll(Path(L"out.bin"), RandomBytes(40, 9));
    const std::string in = Id(1);
    OfferArrives(in, 48);
    const std::string out = Offer(L"out.bin");
    const Bytes content = RandomBytes(48, 10);
    const Bytes key = Receive(in, L"in.bin", 48, true);
    EXPECT_EQ(Seen{"38:" + in + "|1"}, relay.Answers(Chunk(in, key, Slice(content, 0, 16), 1)));
    Events();
    const std::string next = Id(2);
    const Body offer = Body(29).Str("carol@x").Str("Carol").Str(next).WStr(L"c.bin").U32(5);
    EXPECT_EQ(Seen{"33:" + next + "|" + Lang(98)}, relay.Answers(offer)) << "busy";
    EXPECT_EQ(Seen(), Events());

    relay.Drop();
    Seen reset = AwaitEvents(4);
    std::sort(reset.begin(), reset.end());
    Seen expected = {"17", "28:" + in + "|" + Lang(97), "28:" + out + "|" + Lang(97), "5"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, reset);
    EXPECT_EQ(0, Held());
    const Folder sent = {{L"out.bin", Text(ReadAll(Path(L"out.bin")))}};
    EXPECT_EQ(sent, FolderContents(dir_)) << "no partly received file";

    // The manager comes back by itself and, signed in, cancels each
    // dropped transfer once, so that neither peer waits for it for ever.
    relay.SignIn(events);
    Seen cancels = relay.Sent();
    std::sort(cancels.begin(), cancels.end());
    Seen owed = {"30:" + in, "30:" + out};
    std::sort(owed.begin(), owed.end());
    EXPECT_EQ(owed, cancels);
    EXPECT_EQ(sent, FolderContents(dir_));

    // The same offer is now taken.
    EXPECT_EQ(Seen(), relay.Answers(offer));
    EXPECT_EQ(Seen{"29:carol@x|Carol|" + next + "|c.bin|5"}, Events());
    manager->AcceptFileOffer("carol@x", Path(L"c.bin"), L"c.bin", next, 5);
    relay.Expect(32);
    EXPECT_EQ(manager->kCancelledHere, manager->CancelFileTransfer(next));
    EXPECT_EQ(Seen{"30:" + next}, relay.Sent());

    // Lost again with nothing running: the next sign-in owes nobody a cancel.
    relay.Drop();
    AwaitEvents(2);
    relay.SignIn(events);
    EXPECT_EQ(Seen(), relay.Sent());
}

TEST_F(Transfers, AnOfferThatIsNoLongerOpenTouchesNoFileAndSaysWhy)
{
    SignIn();
    WriteAll(Path(L"keep.bin"), RandomBytes(6600, 11));
    const std::wstring keep = Path(L"keep.bin");
    const Folder before = FolderContents(dir_);
    const struct {
        const char* what;
        Body ending;
        std::string event;
        int text;
    } cases[] = {
        {"withdrawn by the sender", Body(31).Str(Id(1)), "30:" + Id(1), 83},
        {"failed on the sender's side", Body(28).Str(Id(2)).Str("The peer went offline"),
         "28:" + Id(2) + "|The peer went offline", 97},
    };
    int n = 0;
    for (const auto& k : cases) {
        const std::string id = Id(++n);
        OfferArrives(id, 96);
        EXPECT_EQ(Seen(), relay.Answers(k.ending)) << k.what;
        EXPECT_EQ(Seen{k.event}, Events()) << k.what;
        manager->AcceptFileOffer("bob@x", keep, L"f.bin", id, 96);
        EXPECT_EQ(Seen(), relay.Sent()) << k.what;
        EXPECT_EQ(Seen{NotStarted(id, keep, k.text)}, Events()) << k.what;
        EXPECT_EQ(0, Held()) << k.what;
        EXPECT_EQ(before, FolderContents(dir_)) << k.what;
    }

    // The link is lost while the question is open: nobody can send the
    // file, before the next sign-in or after it.
    const std::string early = Id(3), late = Id(4);
    OfferArrives(early, 96);
    OfferArrives(late, 96);
    relay.Drop();
    AwaitEvents(2);
    manager->AcceptFileOffer("bob@x", keep, L"f.bin", early, 96);
    EXPECT_EQ(Seen{NotStarted(early, keep, 74)}, Events());
    relay.SignIn(events);
    manager->AcceptFileOffer("bob@x", keep, L"f.bin", late, 96);
    EXPECT_EQ(Seen{NotStarted(late, keep, 74)}, Events());
    EXPECT_EQ(Seen(), relay.Sent());
    EXPECT_EQ(0, Held());
    EXPECT_EQ(before, FolderContents(dir_));

    // Refused, an offer is forgotten: the cancel went to its sender. Sent
    // again before that, it is asked about once.
    const std::string refused = Id(5);
    OfferArrives(refused, 96);
    EXPECT_EQ(Seen(), relay.Answers(Body(29).Str("bob@x").Str("Bob").Str(refused).WStr(L"f.bin").U32(96)));
    EXPECT_EQ(Seen(), Events());
    EXPECT_EQ(manager->kNoSuchTransfer, manager->CancelFileTransfer(refused));
    EXPECT_EQ(Seen{"30:" + refused}, relay.Sent());
    manager->AcceptFileOffer("bob@x", keep, L"f.bin", refused, 96);
    EXPECT_EQ(Seen{NotStarted(refused, keep, 74)}, Events());
    EXPECT_EQ(before, FolderContents(dir_));
}

TEST_F(Transfers, AReceiveThatEndsEarlyLeavesTheTargetAsItWasAndNoOtherFile)
{
    SignIn();
    const Bytes content = RandomBytes(96, 12);
    const Bytes own = RandomBytes(6600, 13);
    typedef std::function<void(const std::string& id, const std::wstring& target)> Ending;
    const struct {
        const char* what;
        Ending end;
    } cases[] = {
        {"the sender cancels", [&](const std::string& id, const std::wstring&) {
             EXPECT_EQ(Seen(), relay.Answers(Body(31).Str(id)));
             EXPECT_EQ(Seen{"30:" + id}, Events());
         }},
        {"the sender fails", [&](const std::string& id, const std::wstring&) {
             EXPECT_EQ(Seen(), relay.Answers(Body(28).Str(id).Str("Disk full")));
             EXPECT_EQ(Seen{"28:" + id + "|Disk full"}, Events());
         }},
        {"the receiver cancels", [&](const std::string& id, const std::wstring&) {
             EXPECT_EQ(manager->kCancelledHere, manager->CancelFileTransfer(id));
             EXPECT_EQ(Seen{"30:" + id}, relay.Sent());
             EXPECT_EQ(Seen(), Events());
             // Once ended, there is no such transfer; the cancel still goes.
             EXPECT_EQ(manager->kNoSuchTransfer, manager->CancelFileTransfer(id));
             EXPECT_EQ(Seen{"30:" + id}, relay.Sent());
         }},
        {"a chunk cannot be written", [&](const std::string& id, const std::wstring&) {
             EXPECT_EQ(Seen{"33:" + id + "|" + Lang(97)},
                       relay.Answers(Body(36).Str(id).Blob(Bytes(96, 1)).U32(96).U32(3)));
             EXPECT_EQ(Seen{"28:" + id + "|" + Lang(70)}, Events());
         }},
        {"completion before the whole file", [&](const std::string& id, const std::wstring&) {
             EXPECT_EQ(Seen{"33:" + id + "|" + Lang(97)}, relay.Answers(Body(37).Str(id)));
             EXPECT_EQ(Seen{"28:" + id + "|" + Lang(97)}, Events());
         }},
        {"the link is lost", [&](const std::string& id, const std::wstring&) {
             relay.Drop();
             Seen reset = AwaitEvents(3);
             std::sort(reset.begin(), reset.end());
             EXPECT_EQ((Seen{"17", "28:" + id + "|" + Lang(97), "5"}), reset);
             relay.SignIn(events);
             EXPECT_EQ(Seen{"30:" + id}, relay.Sent());
         }},
        {"another program opens the target before the end", [&](const std::string& id, const std::wstring& target) {
             const Bytes key = keyOf[id];
             std::unique_ptr<HeldFile> reader;
             if (Exists(target))
                 reader.reset(new HeldFile(target, FILE_SHARE_READ | FILE_SHARE_WRITE));
             else
                 // A folder that appears in the target's place.
                 ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
             for (uint32_t i = 2; i < 6; ++i)
                 EXPECT_EQ(Seen{"38:" + id + "|" + std::to_string(i + 1)},
                           relay.Answers(Chunk(id, key, Slice(content, i * 16, 16), i + 1)));
             Events();
             EXPECT_EQ(Seen{"33:" + id + "|" + Lang(97)}, relay.Answers(Body(37).Str(id)));
             EXPECT_EQ(Seen{"28:" + id + "|" + Lang(70)}, Events());
             if (!reader)
                 RemoveDirectoryW(target.c_str());
         }},
    };
    int n = 0;
    for (const bool existing : {true, false}) {
        const std::wstring target = Path(existing ? L"keep.bin" : L"new.bin");
        if (existing)
            WriteAll(target, own);
        const Folder before = FolderContents(dir_);
        for (const auto& k : cases) {
            SCOPED_TRACE(std::string(k.what) + (existing ? ", onto a file" : ", onto no file"));
            const std::string id = Id(++n);
            const std::wstring name = target.substr(target.rfind(L'\\') + 1);
            keyOf[id] = Receive(id, name.c_str(), 96);
            for (uint32_t i = 0; i < 2; ++i)
                EXPECT_EQ(Seen{"38:" + id + "|" + std::to_string(i + 1)},
                          relay.Answers(Chunk(id, keyOf[id], Slice(content, i * 16, 16), i + 1)));
            Events();
            // Meanwhile the new file grows beside the target, which nobody
            // else may write.
            const Folder during = FolderContents(dir_);
            ASSERT_EQ(before.size() + 1, during.size());
            for (const auto& file : during) {
                if (before.count(file.first)) {
                    EXPECT_EQ(before.at(file.first), file.second);
                    continue;
                }
                EXPECT_EQ(0u, file.first.find(L"~pv"));
                EXPECT_EQ(L".tmp", file.first.substr(file.first.size() - 4));
                EXPECT_EQ(Text(Slice(content, 0, 32)), file.second);
            }
            if (existing) {
                CFileHandle writer;
                EXPECT_FALSE(writer.OpenReadWrite(target.c_str(), false));
            }
            k.end(id, target);
            EXPECT_EQ(0, Held());
            EXPECT_EQ(before, FolderContents(dir_));
        }
    }
}

TEST_F(Transfers, AWholeFileTakesTheTargetsPlaceBeforeItIsReportedComplete)
{
    SignIn();
    const Bytes content = RandomBytes(96, 14);
    for (const wchar_t* name : {L"keep.bin", L"new.bin"}) {
        SCOPED_TRACE(Narrow(name));
        if (std::wstring(name) == L"keep.bin")
            WriteAll(Path(name), RandomBytes(6600, 15));
        const std::string id = Id(name[0]);
        const Bytes key = Receive(id, name, 96);
        for (uint32_t i = 0; i < 6; ++i)
            EXPECT_EQ(Seen{"38:" + id + "|" + std::to_string(i + 1)},
                      relay.Answers(Chunk(id, key, Slice(content, i * 16, 16), i + 1)));
        Events();
        EXPECT_EQ(Seen(), relay.Answers(Body(37).Str(id)));
        EXPECT_EQ(Seen{"34:" + id}, Events());
        EXPECT_EQ(content, ReadAll(Path(name)));
    }
    const Folder after = {{L"keep.bin", Text(content)}, {L"new.bin", Text(content)}};
    EXPECT_EQ(after, FolderContents(dir_));
}

TEST_F(Transfers, CancellingEveryTransferOnExitReachesThePeersBeforeTheLinkCloses)
{
    SignIn();
    WriteAll(Path(L"out.bin"), RandomBytes(40, 16));
    WriteAll(Path(L"keep.bin"), RandomBytes(6600, 17));
    const Folder before = FolderContents(dir_);
    const std::string in = Id(1);
    OfferArrives(in, 48);
    const std::string out = Offer(L"out.bin");
    const Bytes key = Receive(in, L"keep.bin", 48, true);
    EXPECT_EQ(Seen{"38:" + in + "|1"}, relay.Answers(Chunk(in, key, RandomBytes(16, 18), 1)));
    Events();

    manager->CancelAllTransfers(5000);
    EXPECT_EQ(0, Held());
    manager->Stop();
    Seen sent;
    Bytes body;
    while (relay.Read(body))
        sent.push_back(DescribeSent(body));
    std::sort(sent.begin(), sent.end());
    Seen cancels = {"30:" + in, "30:" + out};
    std::sort(cancels.begin(), cancels.end());
    EXPECT_EQ(cancels, sent);
    EXPECT_EQ(Seen(), Events());
    EXPECT_EQ(before, FolderContents(dir_));
}

}  // namespace
