// The session manager's handling of server commands, fed with bodies built
// here byte by byte: routing and twins, truncated and oversized input, the
// session reply's statuses and the pad, contacts, keys and chat, and the
// requests made while there is no link or while it is being built.
#include <winsock2.h>
#include <windows.h>

#include <cryptopp/aes.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crypto/CryptoCore.h"
#include "FolderFiles.h"
#include "media/CodecSet.h"
#include "ProcessCounts.h"
#include "RelaySide.h"
#include "SafePrimeGroups.h"
#include "ServerBody.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/LanguageTable.h"
#include "TestHex.h"
#include "wire/StreamConnection.h"

namespace {

std::string Lang(int id) { return GetLanguageString(id); }

class Manager : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(LoadLanguage(0));
        ASSERT_TRUE(GetCryptoCore()->GenerateKeys());
    }

    void SetUp() override
    {
        GetAppConfig()->SetInstanceIndex(-1);
        manager.reset(new VoIPManager);
        manager->GetHandlerRegistry().RegisterHandler(&events);
        DropPad();
    }

    void TearDown() override
    {
        manager->GetHandlerRegistry().Clear();
        while (VoipEvent* e = events.PopEvent())
            delete e;
        DeleteFileAt(BesideExe(L"conf.dat").c_str());
    }

    static void DropPad()
    {
        DeleteFileAt(BesideExe(L"conf.dat").c_str());
        GetCryptoCore()->LoadPad();
        ASSERT_FALSE(GetCryptoCore()->HasPad());
    }

    static Bytes MakePad(size_t n)
    {
        Bytes pad(n);
        for (size_t i = 0; i < n; ++i)
            pad[i] = static_cast<unsigned char>(i * 7 + 1);
        return pad;
    }

    void Deliver(const Bytes& body, size_t keep) { DeliverBody(*manager, body, keep); }
    void Deliver(const Body& body) { Deliver(body.bytes, body.bytes.size()); }

    std::vector<std::string> Events() { return DrainEvents(events); }

    std::vector<std::string> Names()
    {
        ContactTable table;
        manager->GetContacts(table);
        std::vector<std::string> names;
        for (const auto& kv : table.Entries())
            names.push_back(kv.second.name + "|" + kv.second.secondText);
        return names;
    }

    std::unique_ptr<VoIPManager> manager;
    CoreMessageHandler events;
};

typedef std::vector<std::string> Seen;

// A loopback port whose connects never complete: its listener's accept
// queue is full and nobody takes from it, so the system drops every further
// connection request, and a connect waits until its own time-out.
class UnansweredPort {
public:
    UnansweredPort() = default;
    ~UnansweredPort()
    {
        for (SOCKET s : sockets_)
            closesocket(s);
    }
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;

    // True once a connect of its own stays unanswered.
    bool Open()
    {
        SOCKET listener = Keep(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof(a);
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(listener, 1) != 0
            || getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return false;
        port_ = ntohs(a.sin_port);
        for (int i = 0; i < 8; ++i) {
            SOCKET s = Keep(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
            u_long nonBlocking = 1;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof(a));
            fd_set done, failed;
            FD_ZERO(&done);
            FD_ZERO(&failed);
            FD_SET(s, &done);
            FD_SET(s, &failed);
            timeval wait = {0, 500 * 1000};
            if (select(0, nullptr, &done, &failed, &wait) == 0)
                return true;
        }
        return false;
    }
    uint16_t Port() const { return port_; }

private:
    SOCKET Keep(SOCKET s)
    {
        sockets_.push_back(s);
        return s;
    }

    std::vector<SOCKET> sockets_;
    uint16_t port_ = 0;
};

// Windows call the manager on their own thread: no request of theirs, nor
// the reset the settings make, may wait for the link to be built.
class ManagerOnLink : public Manager {
protected:
    // A hang it catches lasts seconds to minutes; the margin is for load.
    static constexpr DWORD kPromptMs = 1000;
    static constexpr DWORD kStopMs = 2000;

    // For the whole suite: the links of a test close before it ends.
    static void SetUpTestSuite()
    {
        Manager::SetUpTestSuite();
        WSADATA wsa;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
    }
    static void TearDownTestSuite() { WSACleanup(); }

    void SetUp() override
    {
        Manager::SetUp();
        Buf key;
        ASSERT_TRUE(GetCryptoCore()->GetPublicKey(key));
        manager->StorePeerKey("bob@x", key);
        GetAppConfig()->SetServerHost("127.0.0.1");
        GetAppConfig()->SetBackupServerHost("");
    }

    void TearDown() override
    {
        manager->Stop();
        Manager::TearDown();
    }

    bool Start(uint16_t port) { return manager->Start("127.0.0.1", port, "a@x", "pw", FreePort(SOCK_DGRAM)); }

    // Events as they come until the last of them is the one named.
    Seen AwaitEvent(const std::string& last)
    {
        Seen seen;
        for (int i = 0; i < 200 && (seen.empty() || seen.back() != last); ++i) {
            Sleep(25);
            for (const std::string& e : Events()) {
                seen.push_back(e);
                if (e == last)
                    return seen;
            }
        }
        return seen;
    }

    void ExpectPromptRequests(const char* situation)
    {
        const struct {
            const char* what;
            std::function<void()> call;
        } requests[] = {
            {"chat text", [this] { manager->SendChatMessage("bob@x", L"hi"); }},
            {"key request", [this] { manager->RequestPeerKey("bob@x"); }},
            {"contact query", [this] { manager->SendContactQuery("bob@x"); }},
            {"add contact", [this] { manager->AddContact("dave@x"); }},
            {"call", [this] { manager->PlaceCall("bob@x"); }},
            {"hang-up", [this] { manager->EndCall(); }},
            {"transfer cancel", [this] { manager->CancelFileTransfer("{id}"); }},
            {"device registration", [this] { manager->RegisterDevice("Office PC", "PC"); }},
            {"repeated credentials", [this] { manager->SendCommand120(); }},
            {"reset", [this] { manager->ResetSession(); }},
        };
        for (const auto& r : requests) {
            const DWORD begun = GetTickCount();
            r.call();
            EXPECT_GT(kPromptMs, GetTickCount() - begun) << r.what << " " << situation;
        }
    }

    void ExpectPromptStop()
    {
        const DWORD begun = GetTickCount();
        manager->Stop();
        EXPECT_GT(kStopMs, GetTickCount() - begun);
    }
};

TEST_F(ManagerOnLink, AConnectThatNeverCompletesEndsOnResetAndStop)
{
    UnansweredPort silent;
    ASSERT_TRUE(silent.Open());
    ASSERT_TRUE(Start(silent.Port()));
    EXPECT_EQ(Seen({"0", "3"}), AwaitEvent("3"));
    Sleep(300);
    ExpectPromptRequests("while connecting");

    // The reset gave up the attempt: a fresh one begins at the primary.
    const Seen afterReset = AwaitEvent("3");
    ASSERT_FALSE(afterReset.empty());
    EXPECT_EQ("3", afterReset.back());
    EXPECT_NE(afterReset.end(), std::find(afterReset.begin(), afterReset.end(), "2"));
    Sleep(300);
    ExpectPromptStop();
}

TEST_F(ManagerOnLink, ThePauseAfterALostLinkKeepsNoRequestWaiting)
{
    RelaySide relay;
    ASSERT_TRUE(relay.Listen());
    ASSERT_TRUE(Start(relay.Port()));
    relay.SignIn(events);
    Events();
    relay.Drop();
    const Seen lost = AwaitEvent("5");
    ASSERT_FALSE(lost.empty());
    ASSERT_EQ("5", lost.back());
    ExpectPromptRequests("after a lost link");
    ExpectPromptStop();
}

TEST_F(Manager, IgnoresTypesOutsideTheTableAndBodiesWithoutAType)
{
    // Each would make a login-step or contact-list handler post an event,
    // were it routed to one.
    for (uint32_t type : {0u, 1u, 3u, 10u, 17u, 23u, 43u, 45u, 100u, 103u, 110u, 118u, 120u, 121u,
                          0xFFFFFFFFu}) {
        Deliver(Body(type).U8(0).Str("reason").U32(0));
        EXPECT_EQ(Seen(), Events()) << type;
    }
    Bytes shortBody = {24, 0, 0};
    Deliver(shortBody, shortBody.size());
    EXPECT_EQ(Seen(), Events());
}

TEST_F(Manager, TwinTypesCarryTheirTextsEnciphered)
{
    struct Case {
        uint32_t plain, twin;
        void (*build)(Body&);
        Seen expected;
    };
    const Case cases[] = {
        {2, 105, [](Body& b) { b.U32(2).Text("bob@x").Text("Bob B").Text("carol@x").Text("Carol C"); },
         {"9"}},
        {22, 104, [](Body& b) { b.Text("bob@x").U32(3); }, {"20:bob@x|3"}},
        {24, 114, [](Body& b) { b.U8(0).Text("Wrong password"); }, {"21:Wrong password"}},
        {26, 115, [](Body& b) { b.U8(0).Text("Name taken"); }, {"23:Name taken"}},
        {40, 119, [](Body& b) { b.U8(0).Text("dave@x").Text("No such user"); },
         {"31:dave@x|No such user"}},
        {40, 119, [](Body& b) { b.U8(1).Text("dave@x"); }, {"32:dave@x"}},
        {18, 111, [](Body& b) { b.Text("bob@x").Text("Bob B").Blob(Bytes(90, 1)); },
         {"18:bob@x|Bob B|"}},
    };
    for (const Case& k : cases) {
        for (bool twin : {false, true}) {
            Body body(twin ? k.twin : k.plain, twin);
            k.build(body);
            Deliver(body);
            EXPECT_EQ(k.expected, Events()) << k.plain << " twin " << twin;
        }
    }
    for (bool twin : {false, true}) {
        Body list(twin ? 105 : 2, twin);
        list.U32(2).Text("bob@x").Text("Bob B").Text("carol@x").Text("Carol C");
        Deliver(list);
        EXPECT_EQ(Seen({"bob@x|Bob B", "carol@x|Carol C"}), Names()) << twin;
    }
}

TEST_F(Manager, TruncatedBodiesReportTheirTextOrStaySilent)
{
    struct Case {
        const char* what;
        Body body;
        Seen whole;
        // What any shorter body may give.
        Seen allowed;
    };
    const std::string incomplete = "7:" + Lang(58);
    Case cases[] = {
        {"login accepted", Body(24).U8(1).U8(0).Str("Office PC"), {"6", "7:" + Lang(52)},
         {"21:" + Lang(58)}},
        {"login refused", Body(24).U8(0).Str("Wrong password"), {"21:Wrong password"},
         {"21:" + Lang(58)}},
        {"registration refused", Body(26).U8(0).Str("Name taken"), {"23:Name taken"},
         {"23:" + Lang(59)}},
        {"session refused", Body(6).U32(4).Str("Account closed"), {"7:Account closed"}, {incomplete}},
        {"session with a new pad", Body(6).U32(1).Blob(MakePad(2048)).U32(5).Str("Alice").U32(1)
             .Str("bob@x").Str("Bob B"), {"9", "25"}, {incomplete, "9", "25"}},
        {"contact list", Body(2).U32(1).Str("bob@x").Str("Bob B"), {"9"}, {"9"}},
        {"contact state", Body(22).Str("bob@x").U32(1), {"20:bob@x|1"}, {}},
        {"contact key", Body(20).Str("bob@x").Blob(Bytes(49, 2)), {}, {}},
        {"chat", Body(18).Str("bob@x").Str("Bob B").Blob(Bytes(90, 1)), {"18:bob@x|Bob B|"}, {}},
        {"add refused", Body(40).U8(0).Str("dave@x").Str("No such user"), {"31:dave@x|No such user"},
         {"31:dave@x|"}},
        {"update", Body(42).U8(1).Str("9.9").Str("http://u/"), {"35:9.9|http://u/"}, {}},
    };
    for (Case& k : cases) {
        for (size_t keep = 4; keep < k.body.bytes.size(); ++keep) {
            DropPad();
            Deliver(k.body.bytes, keep);
            for (const std::string& e : Events()) {
                bool known = false;
                for (const std::string& a : k.allowed)
                    known = known || a == e;
                EXPECT_TRUE(known) << k.what << ", " << keep << " bytes: " << e;
            }
        }
        DropPad();
        Deliver(k.body);
        EXPECT_EQ(k.whole, Events()) << k.what;
    }
}

// Names and the texts read like them reach the windows at most 256 bytes
// long, whether they came enciphered or plain.
TEST_F(Manager, OversizedNamesAreCutAtTheEncipheredArea)
{
    struct Case {
        size_t size;
        size_t enciphered, plain;
    } cases[] = {{16, 16, 16}, {250, 240, 250}, {256, 256, 256}, {272, 256, 256}, {4096, 256, 256},
                 {1 << 20, 256, 256}};
    for (const Case& k : cases) {
        const std::string name(k.size, 'n');
        const std::string cut(k.enciphered, 'n'), plainCut(k.plain, 'n');
        Deliver(Body(104).Blob(ServerEncipher(name, k.size)).U32(2));
        EXPECT_EQ(Seen({"20:" + cut + "|2"}), Events()) << k.size;
        Deliver(Body(105).U32(1).Blob(ServerEncipher(name, k.size)).Blob(ServerEncipher("x", 16)));
        EXPECT_EQ(Seen({cut + "|x"}), Names()) << k.size;
        Events();

        Deliver(Body(22).Str(name).U32(2));
        EXPECT_EQ(Seen({"20:" + plainCut + "|2"}), Events()) << k.size;
        Deliver(Body(2).U32(1).Str("bob@x").Str(name));
        EXPECT_EQ(Seen({"bob@x|" + plainCut}), Names()) << k.size;
        Events();
        Deliver(Body(18).Str(name).Str(name).Blob(Bytes(90, 1)));
        EXPECT_EQ(Seen({"18:" + plainCut + "|" + plainCut + "|"}), Events()) << k.size;
    }
}

TEST_F(Manager, ContactListsStopAtTheBodyAndKeepTheFirstOfEqualNames)
{
    Deliver(Body(2).U32(0xFFFFFFFFu).Str("bob@x").Str("Bob").Str("carol@x").Str("Carol"));
    EXPECT_EQ(Seen({"bob@x|Bob", "carol@x|Carol"}), Names());
    EXPECT_EQ(Seen({"9"}), Events());

    ContactTable first;
    manager->GetContacts(first);
    Deliver(Body(2).U32(3).Str("bob@x").Str("Bob").Str("carol@x").Str("Carol").Str("bob@x").Str("Other"));
    EXPECT_EQ(Seen({"bob@x|Bob", "carol@x|Carol"}), Names());
    ContactTable second;
    manager->GetContacts(second);
    // Numbers keep growing across refills.
    EXPECT_GT(second.Entries().begin()->first, first.Entries().rbegin()->first);

    Deliver(Body(2).U32(5));
    EXPECT_EQ(Seen(), Names());
}

// A message may be megabytes long; one packed with the shortest names must
// not make the table many times its size, nor take hours to read.
TEST_F(Manager, AListOfMoreContactsThanTheTableHoldsKeepsTheFirstOnes)
{
    const uint32_t count = 2u << 20;
    Body list(2);
    list.U32(count);
    char name[16];
    for (uint32_t i = 0; i < count; ++i) {
        std::snprintf(name, sizeof(name), "%x", i);
        list.Str(name).Str("");
    }
    ASSERT_LT(list.bytes.size(), static_cast<size_t>(StreamConnection::kMaxBody));
    Deliver(list);
    EXPECT_EQ(Seen({"9"}), Events());
    const Seen names = Names();
    ASSERT_EQ(ContactTable::kMaxContacts, names.size());
    EXPECT_EQ("0|", names.front());
    char last[16];
    std::snprintf(last, sizeof(last), "%x|", static_cast<unsigned>(ContactTable::kMaxContacts - 1));
    EXPECT_EQ(last, names.back());
}

TEST_F(Manager, SessionReplyStatusesAndThePad)
{
    const Bytes pad = MakePad(2048);
    struct Case {
        const char* what;
        bool padHeld;
        Body body;
        Seen events;
        // The pad file afterwards: empty for none.
        Bytes file;
    };
    Case cases[] = {
        {"selects the held pad", true, Body(6).U32(0).U32(9).Str("Alice").U32(1).Str("bob@x").Str("Bob"),
         {"9", "25"}, pad},
        {"no pad to select", false, Body(6).U32(0).U32(9).Str("Alice").U32(1).Str("bob@x").Str("Bob"),
         {"7:" + Lang(60)}, {}},
        {"adopts a new pad", false, Body(6).U32(1).Blob(pad).U32(9).Str("Alice").U32(1).Str("bob@x").Str("Bob"),
         {"9", "25"}, pad},
        {"refuses a short pad", false, Body(6).U32(1).Blob(MakePad(2047)).U32(9).Str("Alice").U32(0),
         {"7:" + Lang(61)}, {}},
        {"keeps the held pad", true, Body(6).U32(1).Blob(MakePad(2049)).U32(9).Str("Alice").U32(0),
         {"7:" + Lang(61)}, pad},
        {"offset beyond the pad", false, Body(6).U32(1).Blob(pad).U32(2040).Str("Alice").U32(0),
         {"7:" + Lang(62)}, pad},
        {"status 2", false, Body(6).U32(2), {"7:" + Lang(63)}, {}},
        {"status 3", false, Body(6).U32(3).U32(0).Str("x"), {"7:" + Lang(63)}, {}},
        {"status 4", false, Body(6).U32(4).Str("Account closed"), {"7:Account closed"}, {}},
    };
    for (Case& k : cases) {
        DropPad();
        Deliver(Body(2).U32(1).Str("old@x").Str("Old"));
        Events();
        if (k.padHeld) {
            WriteAll(BesideExe(L"conf.dat"), pad);
            ASSERT_TRUE(GetCryptoCore()->LoadPad());
        }
        Deliver(k.body);
        EXPECT_EQ(k.events, Events()) << k.what;
        EXPECT_EQ(k.file, ReadAll(BesideExe(L"conf.dat"))) << k.what;
        const bool signedIn = k.events == Seen({"9", "25"});
        EXPECT_EQ(signedIn ? Seen({"bob@x|Bob"}) : Seen({"old@x|Old"}), Names()) << k.what;
        if (signedIn) {
            EXPECT_EQ("Alice", manager->GetOwnName());
            EXPECT_EQ(0, std::memcmp(pad.data(), GetCryptoCore()->GetPadKey(), 32)) << k.what;
        }
    }
}

TEST_F(Manager, ChatTextsAreOpenedWithTheOwnKey)
{
    CryptoCore peer;
    ASSERT_TRUE(peer.GenerateKeys());
    Buf ownKey, cipher;
    ASSERT_TRUE(GetCryptoCore()->GetPublicKey(ownKey));
    ASSERT_TRUE(peer.EncryptForPeer(L"hello there", ownKey, cipher));
    Deliver(Body(18).Str("bob@x").Str("Bob B").Blob(cipher));
    EXPECT_EQ(Seen({"18:bob@x|Bob B|hello there"}), Events());

    // A text for another key, or damaged on the way, arrives empty.
    Buf peerKey, other;
    ASSERT_TRUE(peer.GetPublicKey(peerKey));
    ASSERT_TRUE(peer.EncryptForPeer(L"not for you", peerKey, other));
    Bytes damaged(cipher.GetData(), cipher.GetData() + cipher.GetSize());
    damaged[damaged.size() - 1] ^= 1;
    for (const Bytes& c : {ToBytes(other), damaged, Bytes()}) {
        Deliver(Body(18).Str("bob@x").Str("Bob B").Blob(c));
        EXPECT_EQ(Seen({"18:bob@x|Bob B|"}), Events());
    }
}

// No honest peer sends more than the 255 characters its window takes; a
// longer text reaches the windows cut, once, with the mark that says so.
TEST_F(Manager, AChatTextOverTheBoundArrivesCutWithAMark)
{
    const size_t bound = VoIPManager::kMaxChatTextUnits;
    const size_t frame = StreamConnection::kMaxBody;
    const std::wstring mark(1, VoIPManager::kChatCutMark);
    const std::wstring pair = L"\xD83D\xDE00";
    // As long as a frame may be, every unit a line break.
    const std::wstring lineBreaks((frame - 200) / 2, L'\n');
    const struct {
        const char* what;
        std::wstring sent, shown;
    } cases[] = {
        {"at the bound", std::wstring(bound, L'x'), std::wstring(bound, L'x')},
        {"one over", std::wstring(bound + 1, L'x'), std::wstring(bound, L'x') + mark},
        {"a pair that ends at the bound", std::wstring(bound - 2, L'x') + pair + L"y",
         std::wstring(bound - 2, L'x') + pair + mark},
        {"a pair across the bound", std::wstring(bound - 1, L'x') + pair, std::wstring(bound - 1, L'x') + mark},
        {"a frame of line breaks", lineBreaks, std::wstring(bound, L'\n') + mark},
    };
    CryptoCore peer;
    ASSERT_TRUE(peer.GenerateKeys());
    Buf ownKey;
    ASSERT_TRUE(GetCryptoCore()->GetPublicKey(ownKey));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Buf cipher;
        ASSERT_TRUE(peer.EncryptForPeer(c.sent, ownKey, cipher));
        Body body = Body(18).Str("bob@x").Str("Bob B").Blob(cipher);
        ASSERT_LE(body.bytes.size(), frame);
        Deliver(body);
        std::vector<std::wstring> texts;
        while (VoipEvent* e = events.PopEvent()) {
            if (const VoipEventChat* chat = e->Payload<VoipEventChat>())
                texts.push_back(chat->wide);
            delete e;
        }
        ASSERT_EQ(1u, texts.size());
        EXPECT_TRUE(c.shown == texts[0]) << texts[0].size() << " units";
    }
}

TEST_F(Manager, PeerKeysFollowKeyMessagesAndContactStates)
{
    Deliver(Body(20).Str("bob@x").Blob(Bytes(49, 2)));
    EXPECT_TRUE(manager->HasPeerKey("bob@x"));
    // An empty key leaves the held one; state 0 keeps it too.
    Deliver(Body(20).Str("bob@x").Blob(Bytes()));
    Deliver(Body(22).Str("bob@x").U32(0));
    EXPECT_TRUE(manager->HasPeerKey("bob@x"));
    Deliver(Body(22).Str("bob@x").U32(1));
    EXPECT_FALSE(manager->HasPeerKey("bob@x"));
    Deliver(Body(113, true).Text("carol@x").Blob(Bytes(49, 3)));
    EXPECT_TRUE(manager->HasPeerKey("carol@x"));
    EXPECT_EQ(Seen({"20:bob@x|0", "20:bob@x|1"}), Events());
}

TEST_F(Manager, RequestsWithoutALinkAreRefusedAndSaySo)
{
    Buf key;
    ASSERT_TRUE(GetCryptoCore()->GetPublicKey(key));
    manager->StorePeerKey("bob@x", key);
    EXPECT_FALSE(manager->SendChatMessage("bob@x", L"hi"));
    EXPECT_FALSE(manager->RequestPeerKey("bob@x"));
    EXPECT_FALSE(manager->SendContactQuery("bob@x"));
    manager->RegisterDevice("Office PC", "PC");
    manager->AddContact("dave@x");
    manager->AddContact(std::string(300, 'd'));
    EXPECT_EQ(Seen({"23:" + Lang(50), "31:dave@x|" + Lang(71), "31:" + std::string(300, 'd') + "|" + Lang(71)}),
              Events());

    // A known device: its name is kept, then the session request cannot go.
    GetAppConfig()->SetDeviceName("");
    Deliver(Body(114, true).U8(1).U8(0).Text("Office PC"));
    EXPECT_EQ("Office PC", GetAppConfig()->GetDeviceName());
    EXPECT_EQ(Seen({"6", "7:" + Lang(52)}), Events());
    Deliver(Body(24).U8(1).U8(1).Str("ignored"));
    EXPECT_EQ(Seen({"22"}), Events());
}

TEST_F(Manager, UpdateNoticeNeedsItsFlagAndBothTexts)
{
    Deliver(Body(42).U8(0).Str("9.9").Str("http://u/"));
    Deliver(Body(42).U8(1).Str("9.9"));
    EXPECT_EQ(Seen(), Events());
    Deliver(Body(42).U8(1).Str("9.9").Str("http://u/"));
    EXPECT_EQ(Seen({"35:9.9|http://u/"}), Events());
}

TEST_F(Manager, StartsOnceRotatesHostsAndStops)
{
    WSADATA wsa;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
    manager->Stop();  // never started: nothing happens
    AppConfig* config = GetAppConfig();
    config->SetInstanceIndex(2);
    config->SetServerHost("127.0.0.1");
    config->SetBackupServerHost("");
    const uint16_t refused = FreePort(SOCK_STREAM);
    const uint16_t base = FreePort(SOCK_DGRAM);
    ASSERT_TRUE(manager->Start("127.0.0.1", refused, "a@x", "pw", base));
    EXPECT_EQ(base + 2, manager->GetLocalUdpPort());
    EXPECT_FALSE(manager->Start("10.0.0.1", 1, "b@x", "other", 9000));
    EXPECT_EQ(base + 2, manager->GetLocalUdpPort());
    EXPECT_EQ(refused, manager->GetServerPort());

    // Primary refused, the empty secondary and the pause attempt connect
    // nowhere, then the primary again.
    const Seen rotation = {"0", "3", "2", "2", "2", "3", "2"};
    Seen seen;
    for (int i = 0; i < 300 && seen.size() < rotation.size(); ++i) {
        Sleep(50);
        for (const std::string& e : Events())
            seen.push_back(e);
    }
    EXPECT_EQ(rotation, Seen(seen.begin(), seen.begin() + std::min(seen.size(), rotation.size())));

    manager->Stop();
    Events();
    Sleep(1500);
    EXPECT_EQ(Seen(), Events()) << "no events once stopped";
    manager->GetHandlerRegistry().RegisterHandler(&events);
    EXPECT_TRUE(manager->Start("127.0.0.1", refused, "a@x", "pw", base));
    manager->Stop();
    config->SetInstanceIndex(-1);
    WSACleanup();
}

TEST_F(Manager, ATakenMediaPortFailsTheSetUpAndStopStillEnds)
{
    WSADATA wsa;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
    SOCKET taken = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    ASSERT_EQ(0, bind(taken, reinterpret_cast<sockaddr*>(&a), sizeof(a)));
    int len = sizeof(a);
    getsockname(taken, reinterpret_cast<sockaddr*>(&a), &len);
    GetAppConfig()->SetServerHost("127.0.0.1");
    ASSERT_TRUE(manager->Start("127.0.0.1", FreePort(SOCK_STREAM), "a@x", "pw", ntohs(a.sin_port)));
    Seen seen;
    for (int i = 0; i < 200 && seen.size() < 2; ++i) {
        Sleep(50);
        for (const std::string& e : Events())
            seen.push_back(e);
    }
    EXPECT_EQ(Seen({"0", "1:" + Lang(56)}), seen);
    // The ended connect thread still counts as started until Stop.
    EXPECT_FALSE(manager->Start("127.0.0.1", 1, "a@x", "pw", 1));
    manager->Stop();
    closesocket(taken);
    WSACleanup();
}

// A manager signed in through its own connect thread, at the relay's end
// of a real link.
class SignedIn : public ManagerOnLink {
protected:
    void SetUp() override
    {
        ManagerOnLink::SetUp();
        ASSERT_TRUE(relay.Listen());
        ASSERT_TRUE(Start(relay.Port()));
    }

    RelaySide relay;
};

// A call as the relay sets it up, brought to the ringing: placed by this
// side to bob, or placed by alice to this side; then the direct path is
// probed and reported, and the media announced as connected.
class SignedInCall : public SignedIn {
protected:
    void Ring(bool placed)
    {
        if (placed) {
            manager->PlaceCall("bob@x");
            relay.Expect(107);
            relay.Send(Body(7).U32(0));
        } else {
            relay.Send(Body(8).Str("alice@x").Str("Alice").U32(0x30F));
        }
        relay.Send(Body(9).U32(0x7F000001).U32(11500));
        // The report goes on the pump pass after the probing.
        ASSERT_TRUE(AwaitCallState(4));
        relay.Send(Body(11));
        ASSERT_TRUE(AwaitCallState(5));
        relay.Sent();
        Events();
    }

    bool AwaitCallState(int32_t state)
    {
        for (int i = 0; i < 400 && manager->GetCallState() != state; ++i)
            Sleep(25);
        return manager->GetCallState() == state;
    }

    // The peer's acceptance, with a codec and mode other than the ones the
    // incoming call agreed.
    Seen Accepted() { return relay.Answers(Body(12).U32(CodecSet::kAmrMode7).U32(512)); }
};

// Before this side's own accept, an acceptance is the peer's answer only to
// a call this side placed: to a callee whose call still rings it would open
// the microphone and stream the room before the user answered.
TEST_F(SignedInCall, OnlyTheCallerTakesThePeersAcceptanceBeforeItsOwn)
{
    relay.SignIn(events);
    const struct {
        const char* what;
        std::function<void()> steps;
        Seen events;
    } cases[] = {
        {"the caller", [this] { Ring(true); }, {"16"}},
        {"the callee", [this] { Ring(false); }, {}},
        {"the callee, after a call it placed ended",
         [this] {
             Ring(true);
             relay.Answers(Body(13));
             Ring(false);
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.steps();
        ASSERT_EQ(5, manager->GetCallState());
        const int32_t codec = GetCodecSet()->GetType(), mode = manager->GetAudioEngine().GetCallMode();
        const int threads = ProcessThreadCount();
        // Nothing answers it: no acceptance of this side's own goes out.
        EXPECT_EQ(Seen{}, Accepted());
        EXPECT_EQ(c.events, Events());
        EXPECT_FALSE(manager->GetAudioEngine().IsRunning());
        EXPECT_EQ(threads, ProcessThreadCount());
        EXPECT_EQ(5, manager->GetCallState());
        if (c.events.empty()) {
            // Ignored whole: it leaves the agreed codec and mode.
            EXPECT_EQ(codec, GetCodecSet()->GetType());
            EXPECT_EQ(mode, manager->GetAudioEngine().GetCallMode());
        } else {
            EXPECT_EQ(CodecSet::kAmrMode7, GetCodecSet()->GetType());
            EXPECT_EQ(512, manager->GetAudioEngine().GetCallMode());
        }
        manager->EndCall();
        relay.Sent();
        Events();
    }
}

TEST_F(SignedIn, ACallToANameTheCipherWouldCutIsRefusedAndNothingLeaves)
{
    relay.SignIn(events);
    manager->PlaceCall(std::string(256, 'n'));
    EXPECT_EQ((Seen{"11", "10:-1"}), Events());
    EXPECT_EQ(Seen(), relay.Sent());
    EXPECT_EQ(0, manager->GetCallState());

    // The longest name that goes whole.
    manager->PlaceCall(std::string(255, 'n'));
    EXPECT_EQ(Seen{"11"}, Events());
    EXPECT_EQ(Seen{"107:#256|782"}, relay.Sent());
}

// Every key offer is validated on the connection thread, which meanwhile
// reads nothing else. Offers back to back during a call's set-up, of the
// largest group taken or of one too large, must leave the keep-alive after
// them answered in time and the link up; each offer is answered either way.
TEST_F(SignedIn, KeyOffersBackToBackLeaveTheKeepAlivesAnswered)
{
    relay.SignIn(events);
    relay.Send(Body(8).Str("alice@x").Str("Alice").U32(0x30F));
    ASSERT_EQ(Seen{"14:alice@x|Alice"}, AwaitEvent("14:alice@x|Alice"));

    const int kOffers = 20;
    // From the first offer to the answer to the keep-alive that follows.
    auto burst = [this, kOffers](const Body& offer, Seen& before) -> DWORD {
        const DWORD begun = GetTickCount();
        for (int i = 0; i < kOffers; ++i)
            relay.Send(offer);
        relay.SendKeepAlive();
        EXPECT_TRUE(relay.AwaitKeepAlive(before)) << "the keep-alive went unanswered";
        return GetTickCount() - begun;
    };
    auto body = [](const BufList& values) {
        Body offer(15);
        for (const Buf& v : values)
            offer.Blob(v);
        return offer;
    };
    CryptoCore& crypto = *GetCryptoCore();
    CryptoPP::AutoSeededRandomPool rng;
    CryptoPP::DH own;
    own.AccessGroupParameters().GenerateRandomWithKeySize(rng, 512);
    const BufList ownSize = OfferOfGroup(crypto, own.GetGroupParameters().GetModulus(),
                                         own.GetGroupParameters().GetGenerator());

    // The link reads one frame in two passes, whatever it holds: as many
    // offers that are too short to answer set the pace.
    Seen dropped;
    const DWORD pace = burst(body(BufList(ownSize.begin(), ownSize.begin() + 2)), dropped);
    EXPECT_EQ(Seen(), dropped);

    const struct {
        const char* what;
        BufList offer;
        bool taken;
    } cases[] = {
        {"the protocol's size, the largest taken", ownSize, true},
        {"4,096 bits, refused", OfferOfGroup(crypto, IntegerFromHex(kSafePrime4096Hex), 2), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring before = manager->GetVerificationCode();
        Seen answers;
        const DWORD took = burst(body(c.offer), answers);
        EXPECT_EQ(Seen(kOffers, "16"), answers);
        EXPECT_GT(pace + 1000, took) << took << " ms, against " << pace << " for as many too short to answer";
        EXPECT_EQ(c.taken, before != manager->GetVerificationCode());
    }
    // Still signed in, on the same link.
    EXPECT_EQ(Seen(), Events());
    EXPECT_EQ(Seen(), relay.Sent());
    EXPECT_EQ(1, manager->GetCallState());
}

// Some thousands of contacts make a session reply of megabytes.
TEST_F(SignedIn, AContactListOfFourMegabytesIsReadWhole)
{
    const uint32_t count = 16384;
    // As long as a name may be.
    const std::string display(CryptoCore::kNameArea, 'd');
    // The count leads the list as a type leads a body.
    Body list(count);
    char name[32];
    for (uint32_t i = 0; i < count; ++i) {
        std::snprintf(name, sizeof(name), "c%06u@x", i);
        list.Str(name).Str(display);
    }
    ASSERT_GT(list.bytes.size(), 4u << 20);
    relay.SignIn(events, list.bytes);

    const Seen names = Names();
    ASSERT_EQ(count, names.size());
    EXPECT_EQ("c000000@x|" + display, names.front());
    EXPECT_EQ("c016383@x|" + display, names.back());
    // The link holds: the manager still answers.
    manager->PlaceCall("bob@x");
    EXPECT_EQ(Seen{"107:#16|782"}, relay.Sent());
}

}  // namespace
