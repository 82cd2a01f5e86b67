// StreamConnection against a real TCP peer on 127.0.0.1, and the host lookup
// a stop can leave.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "wire/StreamConnection.h"
#include "wire/TcpConnect.h"

namespace {

typedef std::vector<unsigned char> Bytes;

uint32_t g_now = 100000;
uint32_t FakeTicks() { return g_now; }

struct Recorder : Net::TCPStreamCmdHandler {
    std::vector<Bytes> bodies;
    int HandleCmd(CmdMsg& m) override
    {
        const Buf& b = m.GetReader().GetBytes();
        bodies.emplace_back(b.GetData(), b.GetData() + b.GetSize());
        return 0;
    }
};

class Link : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA wsa;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
        SetTickSource(FakeTicks);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(0, bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof(a)));
        ASSERT_EQ(0, listen(listener_, 4));
        int len = sizeof(a);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }

    void TearDown() override
    {
        link_.Close();
        if (peer_ != INVALID_SOCKET)
            closesocket(peer_);
        closesocket(listener_);
        SetTickSource(nullptr);
        WSACleanup();
    }

    void Open()
    {
        ASSERT_TRUE(link_.Connect("127.0.0.1", port_));
        peer_ = accept(listener_, nullptr, nullptr);
        ASSERT_NE(INVALID_SOCKET, peer_);
        link_.AddHandler(&rec_);
    }

    void PeerSend(const Bytes& b)
    {
        ASSERT_EQ(static_cast<int>(b.size()), send(peer_, reinterpret_cast<const char*>(b.data()), b.size(), 0));
        Sleep(20);  // let loopback deliver before the next single recv
    }

    // Reads exactly n bytes from the peer side, or fails the test.
    Bytes PeerRead(size_t n)
    {
        Bytes out(n);
        size_t got = 0;
        DWORD timeout = 3000;
        setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        while (got < n) {
            int r = recv(peer_, reinterpret_cast<char*>(out.data() + got), static_cast<int>(n - got), 0);
            if (r <= 0)
                break;
            got += r;
        }
        EXPECT_EQ(n, got);
        out.resize(got);
        return out;
    }

    // Pumps up to `times` passes while the link holds.
    bool PumpTimes(int times)
    {
        for (int i = 0; i < times; ++i) {
            if (!link_.Pump())
                return false;
        }
        return true;
    }

    void QueueCommand(uint32_t type, std::initializer_list<uint32_t> words)
    {
        CmdMsg m(type);
        for (uint32_t w : words)
            AppendULong(m.GetFieldList(), w);
        ASSERT_TRUE(link_.Queue(m));
    }

    SOCKET listener_ = INVALID_SOCKET;
    SOCKET peer_ = INVALID_SOCKET;
    uint16_t port_ = 0;
    StreamConnection link_;
    Recorder rec_;
};

}  // namespace

TEST_F(Link, BodyInTwoPiecesIsDispatchedOnce)
{
    Open();
    PeerSend({5, 0, 0, 0, 'a', 'b'});
    ASSERT_TRUE(PumpTimes(3));
    EXPECT_TRUE(rec_.bodies.empty());
    PeerSend({'c', 'd', 'e'});
    ASSERT_TRUE(PumpTimes(3));
    ASSERT_EQ(1u, rec_.bodies.size());
    EXPECT_EQ((Bytes{'a', 'b', 'c', 'd', 'e'}), rec_.bodies[0]);
}

TEST_F(Link, QueuedMessageLeavesWithItsLength)
{
    Open();
    QueueCommand(13, {1, 2});
    ASSERT_TRUE(PumpTimes(1));
    EXPECT_EQ((Bytes{12, 0, 0, 0, 13, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}), PeerRead(16));
}

TEST_F(Link, KeepAliveIsAnsweredFirstAndStampsTheTimer)
{
    Open();
    QueueCommand(13, {});
    QueueCommand(14, {});
    g_now += 19000;
    PeerSend({0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(link_.Pump());  // receive, answer and send the answer in one pass
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0xFF, 0xFF}), PeerRead(4));
    ASSERT_TRUE(PumpTimes(2));
    EXPECT_EQ((Bytes{4, 0, 0, 0, 13, 0, 0, 0, 4, 0, 0, 0, 14, 0, 0, 0}), PeerRead(16));
    EXPECT_TRUE(rec_.bodies.empty());
    g_now += 19000;  // 38 s since connect, 19 s since the keep-alive
    EXPECT_TRUE(link_.Pump());
    g_now += 1001;
    EXPECT_FALSE(link_.Pump());
}

TEST_F(Link, TimesOutWithoutKeepAlivesWhileMessagesArrive)
{
    Open();
    for (int i = 0; i < 4; ++i) {
        g_now += 5000;
        PeerSend({4, 0, 0, 0, 9, 0, 0, 0});
        ASSERT_TRUE(PumpTimes(2));
    }
    EXPECT_EQ(4u, rec_.bodies.size());
    g_now += 1;
    EXPECT_FALSE(link_.Pump());
}

TEST_F(Link, InstanceNumberShortensTheTimeoutAndIgnoresKeepAlives)
{
    link_.SetTestInstance(true);
    Open();
    g_now += 9000;
    PeerSend({0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(link_.Pump());
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0xFF, 0xFF}), PeerRead(4));  // still answered
    g_now += 1000;
    EXPECT_TRUE(link_.Pump());
    g_now += 1;
    EXPECT_FALSE(link_.Pump());
}

TEST_F(Link, NothingToReadKeepsTheLink)
{
    Open();
    EXPECT_TRUE(PumpTimes(5));
}

TEST_F(Link, KeepAliveAnswerWaitsBehindAHalfSentFrame)
{
    Open();
    const uint32_t words = 1 << 22;  // 16 MiB body: more than the socket buffers take at once
    CmdMsg big(21);
    Buf payload;
    payload.Resize(words * 4 - 8);
    std::memset(payload.GetData(), 0x5A, payload.GetSize());
    AppendBuf(big.GetFieldList(), payload);
    const int bodyLength = big.GetFieldList().GetTotal();
    ASSERT_TRUE(link_.Queue(big));
    ASSERT_TRUE(link_.Pump());
    ASSERT_EQ(1u, link_.QueuedChunks()) << "the first send took the whole frame";

    PeerSend({0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(link_.Pump());
    ASSERT_EQ(2u, link_.QueuedChunks());

    // Drain the peer while pumping; the frame must arrive whole, then the answer.
    Bytes got;
    DWORD timeout = 5;
    setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    std::vector<char> buf(1 << 20);
    for (int i = 0; i < 20000 && got.size() < static_cast<size_t>(bodyLength) + 8; ++i) {
        ASSERT_TRUE(link_.Pump());
        int r = recv(peer_, buf.data(), static_cast<int>(buf.size()), 0);
        if (r > 0)
            got.insert(got.end(), buf.begin(), buf.begin() + r);
    }
    ASSERT_EQ(static_cast<size_t>(bodyLength) + 8, got.size());
    uint32_t length = got[0] | got[1] << 8 | got[2] << 16 | static_cast<uint32_t>(got[3]) << 24;
    EXPECT_EQ(static_cast<uint32_t>(bodyLength), length);
    EXPECT_EQ(21, got[4]);
    EXPECT_EQ(0x5A, got[4 + bodyLength - 1]);
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0xFF, 0xFF}), Bytes(got.end() - 4, got.end()));
}

TEST_F(Link, LostLinks)
{
    struct Case {
        const char* name;
        Bytes sent;  // what the peer sends before it acts
        bool reset;  // abortive close instead of an orderly one
        bool close;
    };
    const Case cases[] = {
        {"orderly close", {}, false, true},
        {"reset", {}, true, true},
        {"length zero", {0, 0, 0, 0}, false, false},
        {"absurd length", {0xFE, 0xFF, 0xFF, 0x7F}, false, false},
        {"length above the limit", {0x01, 0x00, 0x00, 0x01}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open();
        if (!c.sent.empty())
            PeerSend(c.sent);
        if (c.reset) {
            linger l = {1, 0};
            setsockopt(peer_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof(l));
        }
        if (c.close) {
            closesocket(peer_);
            peer_ = INVALID_SOCKET;
            Sleep(20);
        }
        EXPECT_FALSE(PumpTimes(3));
        link_.Close();
        EXPECT_FALSE(link_.IsConnected());
        if (peer_ != INVALID_SOCKET) {
            closesocket(peer_);
            peer_ = INVALID_SOCKET;
        }
    }
}

TEST_F(Link, ConnectFailuresAndQueueWithoutALink)
{
    CmdMsg m(13);
    EXPECT_FALSE(link_.Queue(m));
    EXPECT_FALSE(link_.Pump());
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    EXPECT_FALSE(link_.Connect("127.0.0.1", port_));
    EXPECT_FALSE(link_.Connect("no-such-host.invalid", port_));
    EXPECT_FALSE(link_.IsConnected());
}

TEST_F(Link, ConnectByHostName)
{
    ASSERT_TRUE(link_.Connect("localhost", port_));
    peer_ = accept(listener_, nullptr, nullptr);
    EXPECT_NE(INVALID_SOCKET, peer_);
    EXPECT_TRUE(link_.IsConnected());
}

namespace {

// A name server that answers only when the test lets it.
HANDLE g_answer;
HANDLE g_answered;
const uint32_t kAnswer = 0x0200007F;  // 127.0.0.2 in network order

bool SlowResolver(const char*, uint32_t& address)
{
    WaitForSingleObject(g_answer, INFINITE);
    address = kAnswer;
    SetEvent(g_answered);
    return true;
}

struct GiveUpAfter : ConnectWatch {
    explicit GiveUpAfter(DWORD ms) : deadline(GetTickCount() + ms) {}
    bool Abandoned() override { return static_cast<int32_t>(GetTickCount() - deadline) >= 0; }
    DWORD deadline;
};

}  // namespace

TEST(HostLookup, AWatchEndsASlowLookupWhichFinishesAlone)
{
    g_answer = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    uint32_t address = 7;
    GiveUpAfter soon(300);
    const DWORD begun = GetTickCount();
    EXPECT_FALSE(LookUpHost("relay.example", address, &soon, SlowResolver));
    // A hang it catches lasts as long as the name server; the margin is for load.
    EXPECT_GT(2000u, GetTickCount() - begun);
    EXPECT_EQ(7u, address);

    // Let go, the lookup still ends, into what it holds itself.
    SetEvent(g_answer);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_answered, 5000));
    EXPECT_EQ(7u, address);

    GiveUpAfter patient(10000);
    EXPECT_TRUE(LookUpHost("relay.example", address, &patient, SlowResolver));
    EXPECT_EQ(kAnswer, address);
    CloseHandle(g_answer);
    CloseHandle(g_answered);
}
