// UdpSocket with real datagrams on 127.0.0.1, host resolution and the text
// helpers.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "base/TextHelpers.h"
#include "media/UdpSocket.h"
#include "wire/HostNames.h"

namespace {

const uint32_t kLoopback = 0x7F000001;

class Udp : public ::testing::Test {
protected:
    void SetUp() override
    {
        WSADATA wsa;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
        ASSERT_TRUE(a_.Open(0));
        ASSERT_TRUE(b_.Open(0));
        a_.SetDestination(kLoopback, b_.GetLocalPort());
    }
    void TearDown() override
    {
        a_.Close();
        b_.Close();
        WSACleanup();
    }

    // Polls the non-blocking socket for up to a second.
    static int ReceiveWithin(UdpSocket& s, unsigned char* buffer)
    {
        for (int i = 0; i < 200; ++i) {
            int n = s.Receive(buffer);
            if (n >= 0)
                return n;
            Sleep(5);
        }
        return -1;
    }

    UdpSocket a_;
    UdpSocket b_;
};

}  // namespace

TEST_F(Udp, ReceiveWithNothingWaitingReturnsAtOnce)
{
    unsigned char buffer[UdpSocket::kReceiveBytes];
    DWORD start = GetTickCount();
    EXPECT_EQ(-1, b_.Receive(buffer));
    EXPECT_LT(GetTickCount() - start, 100u);
}

TEST_F(Udp, DatagramsOfEveryLengthUpToTheLimitArriveWhole)
{
    const int lengths[] = {0, 1, 609, UdpSocket::kReceiveBytes};
    for (int length : lengths) {
        SCOPED_TRACE(length);
        std::vector<unsigned char> sent(length + 1);
        for (int i = 0; i < length; ++i)
            sent[i] = static_cast<unsigned char>(i * 7 + length);
        ASSERT_TRUE(a_.Send(sent.data(), length));
        unsigned char got[UdpSocket::kReceiveBytes];
        ASSERT_EQ(length, ReceiveWithin(b_, got));
        EXPECT_EQ(0, std::memcmp(sent.data(), got, length));
    }
}

TEST_F(Udp, OversizedDatagramIsDroppedAndTheNextOneStillArrives)
{
    std::vector<unsigned char> big(UdpSocket::kReceiveBytes + 200, 0xAB);
    ASSERT_TRUE(a_.Send(big.data(), static_cast<int>(big.size())));
    const char small[] = "next";
    ASSERT_TRUE(a_.Send(small, sizeof(small)));
    unsigned char got[UdpSocket::kReceiveBytes + 256];
    std::memset(got, 0x5C, sizeof(got));
    Sleep(50);
    EXPECT_EQ(-1, b_.Receive(got));
    // Nothing beyond the receive area was touched.
    for (size_t i = UdpSocket::kReceiveBytes; i < sizeof(got); ++i)
        ASSERT_EQ(0x5C, got[i]) << i;
    ASSERT_EQ(static_cast<int>(sizeof(small)), ReceiveWithin(b_, got));
    EXPECT_STREQ(small, reinterpret_cast<char*>(got));
}

TEST_F(Udp, SendToTakesAnAddressInNetworkOrderAndAnySenderIsAccepted)
{
    UdpSocket stranger;
    ASSERT_TRUE(stranger.Open(0));
    uint32_t address = 0;
    ASSERT_TRUE(ResolveHost("127.0.0.1", address));
    const char probe[] = "machine-id";
    ASSERT_TRUE(stranger.SendTo(probe, sizeof(probe), address, b_.GetLocalPort()));
    unsigned char got[UdpSocket::kReceiveBytes];
    ASSERT_EQ(static_cast<int>(sizeof(probe)), ReceiveWithin(b_, got));
    EXPECT_STREQ(probe, reinterpret_cast<char*>(got));
}

TEST_F(Udp, OpenFailsOnATakenPortAndAClosedSocketSendsNothing)
{
    UdpSocket second;
    EXPECT_FALSE(second.Open(b_.GetLocalPort()));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_FALSE(second.Send("x", 1));
    unsigned char got[UdpSocket::kReceiveBytes];
    EXPECT_EQ(-1, second.Receive(got));

    UdpSocket unaddressed;
    ASSERT_TRUE(unaddressed.Open(0));
    EXPECT_FALSE(unaddressed.Send("x", 1));
}

TEST_F(Udp, ResolveHost)
{
    struct Case {
        const char* host;
        bool ok;
        uint32_t hostOrder;
    };
    const Case cases[] = {
        {"10.0.0.7", true, 0x0A000007},
        {"127.0.0.1", true, kLoopback},
        {"localhost", true, kLoopback},
        {"no-such-host.invalid", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        uint32_t address = 0xDEADBEEF;
        EXPECT_EQ(c.ok, ResolveHost(c.host, address));
        if (c.ok) {
            EXPECT_EQ(c.hostOrder, ntohl(address));
        }
    }
    uint32_t address = 0;
    EXPECT_FALSE(ResolveHost(nullptr, address));
}

TEST(TextHelpers, FormatIpPortAndIntToString)
{
    EXPECT_EQ("192.168.0.1:11500", FormatIpPort(0xC0A80001, 11500));
    EXPECT_EQ("255.255.255.255:65535", FormatIpPort(0xFFFFFFFF, 65535));
    EXPECT_EQ("0.0.0.0:0", FormatIpPort(0, 0));
    EXPECT_EQ("0", IntToString(0));
    EXPECT_EQ("-42", IntToString(-42));
    EXPECT_EQ("-2147483648", IntToString(INT_MIN));
    EXPECT_EQ("2147483647", IntToString(INT_MAX));
    EXPECT_EQ("id-1", CopyText("id-1"));
}
