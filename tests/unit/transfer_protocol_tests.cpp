// The session manager's file transfers where they go wrong, driven from the
// relay's end of a real link: offers that cannot be made, offers the
// receiver cannot take, identifiers nobody holds, file keys that do not
// unwrap, chunks that do not fit, and a reset in the middle of transfers.
// What the manager sends is read off the link, what it tells the windows
// off its events, and what it wrote off the disk.
#include <winsock2.h>
#include <windows.h>

#include <cryptopp/aes.h>
#include <cryptopp/osrng.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AppConfig.h"
#include "Ecies.h"
#include "FolderFiles.h"
#include "LanguageTable.h"
#include "RelaySide.h"
#include "TempFolder.h"
#include "VoIPManager.h"

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

    // Accepts an offer of size bytes into the named file and plays its
    // sender through the key exchange; returns the file key.
    Bytes Receive(const std::string& id, const wchar_t* name, uint32_t size)
    {
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

TEST_F(Transfers, AReceiverThatCannotTakeAnOfferTellsOnlyThePeer)
{
    SignIn();
    manager->AcceptFileOffer("bob@x", Path(L"gone\\f.bin"), L"f.bin", Id(1), 48);
    EXPECT_EQ(Seen{"33:" + Id(1) + "|" + Lang(68)}, relay.Sent());
    EXPECT_EQ(Seen(), Events());
    EXPECT_EQ(0, Held());

    // The same offer accepted again while it runs, into its own file or
    // another one.
    const Bytes content = RandomBytes(48, 2);
    const std::string id = Id(2);
    const Bytes key = Receive(id, L"f.bin", 48);
    EXPECT_EQ(Seen{"38:" + id + "|1"}, relay.Answers(Chunk(id, key, Slice(content, 0, 16), 1)));
    for (const wchar_t* name : {L"f.bin", L"other.bin"}) {
        manager->AcceptFileOffer("bob@x", Path(name), L"f.bin", id, 48);
        EXPECT_EQ(Seen{"33:" + id + "|" + Lang(69)}, relay.Sent()) << Narrow(name);
        EXPECT_EQ(1, manager->CountIncomingTransfers());
    }
    EXPECT_FALSE(Exists(Path(L"other.bin")));
    EXPECT_EQ(Seen{"33:" + id + "|48|32"}, Events());

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
    const std::string out = Offer(L"out.bin");
    const std::string in = Id(8);
    Receive(in, L"in.bin", 48);
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
        EXPECT_TRUE(ReadAll(target).empty()) << k.what;
    }
    // The whole key of the same shape is taken.
    Receive(Id(99), L"good.bin", 48);
    EXPECT_EQ(1, manager->CountIncomingTransfers());
}

TEST_F(Transfers, AChunkThatDoesNotFitEndsTheTransferAndTheFileKeepsWhatCameBefore)
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
        EXPECT_EQ(Slice(content, 0, 16), ReadAll(Path(name.c_str()))) << k.what;
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
    const std::string out = Offer(L"out.bin");
    const Bytes content = RandomBytes(48, 10);
    const std::string in = Id(1);
    const Bytes key = Receive(in, L"in.bin", 48);
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
    EXPECT_EQ(Slice(content, 0, 16), ReadAll(Path(L"in.bin"))) << "a partly received file stays";

    // The manager comes back by itself and, signed in, cancels each
    // dropped transfer once, so that neither peer waits for it for ever.
    relay.SignIn(events);
    Seen cancels = relay.Sent();
    std::sort(cancels.begin(), cancels.end());
    Seen owed = {"30:" + in, "30:" + out};
    std::sort(owed.begin(), owed.end());
    EXPECT_EQ(owed, cancels);
    EXPECT_EQ(Slice(content, 0, 16), ReadAll(Path(L"in.bin"))) << "the cancel keeps the file";

    // The same offer is now taken.
    EXPECT_EQ(Seen(), relay.Answers(offer));
    EXPECT_EQ(Seen{"29:carol@x|Carol|" + next + "|c.bin|5"}, Events());

    // Lost again with nothing running: the next sign-in owes nobody a cancel.
    relay.Drop();
    AwaitEvents(2);
    relay.SignIn(events);
    EXPECT_EQ(Seen(), relay.Sent());
}

}  // namespace
