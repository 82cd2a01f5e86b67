// Faults on command: what the control channel makes the relay do wrong, and
// how the relay takes client frames that are wrong.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "SessionFixture.h"

using namespace relay;

namespace {

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class RelayFaults : public RelaySession {
protected:
    std::vector<std::string> Args() override { return {"--keepalive-ms", "200"}; }
};

}  // namespace

TEST_F(RelayFaults, KeepAlivesFlowToSilentLinksUntilStopped) {
    auto c = Client("watchdog");  // connects and never says anything
    c->Quiet(cmd::LoginStep, 1100);
    EXPECT_GE(c->keepAlives, 4);
    EXPECT_TRUE(relay.Wait("< keep-alive"));  // the answers are taken
    Ok("set keepalive off");
    Sleep(100);
    c->Quiet(cmd::LoginStep, 100);
    int before = c->keepAlives;
    c->Quiet(cmd::LoginStep, 700);
    EXPECT_EQ(c->keepAlives, before);
    Ok("set keepalive on");
    c->Quiet(cmd::LoginStep, 500);
    EXPECT_GT(c->keepAlives, before);
    EXPECT_EQ(Violations(), 0);
}

TEST_F(RelayFaults, KeepAlivesGoAheadOfABacklog) {
    auto c = Client("alice");
    Ok("set pace-ms 300");
    for (int i = 0; i < 6; ++i) Ok("sample last 22");
    Message m;
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(c->Expect(104, m, 3000)) << i;
    std::string frames = c->trace.substr(c->trace.find('f'), c->trace.rfind('f') - c->trace.find('f'));
    EXPECT_GE(std::count(frames.begin(), frames.end(), 'k'), 3) << c->trace;
}

TEST_F(RelayFaults, SamplesCutAtEveryFieldBoundary) {
    auto c = Client("alice");
    struct Case {
        const char* name;
        uint32_t type;
    } cases[] = {{"24", 114}, {"24-refused", 114}, {"6", 106}, {"6-status0", 106}, {"29", 117}, {"40-refused", 119},
                 {"8", 109}, {"36", 36}, {"42", 42}, {"9", 9}};
    for (const auto& s : cases) {
        std::string reply = Ok(std::string("fields ") + s.name);
        int fields = atoi(reply.c_str() + 3);
        ASSERT_GT(fields, 0) << s.name;
        Ok(std::string("sample last ") + s.name);
        ASSERT_TRUE(c->Expect(s.type)) << s.name;
        Bytes whole = c->lastBody;
        size_t previous = 0;
        for (int k = 0; k <= fields; ++k) {
            Ok(std::string("sample last ") + s.name + " cut " + std::to_string(k));
            ASSERT_TRUE(c->Expect(s.type)) << s.name << " cut " << k;
            const Bytes& part = c->lastBody;
            EXPECT_TRUE(part.size() > previous && std::equal(part.begin(), part.end(), whole.begin())) << s.name << " " << k;
            EXPECT_EQ(Decode(part, Direction::ToClient).complete, k == fields) << s.name << " " << k;
            previous = part.size();
        }
    }
}

TEST_F(RelayFaults, EncipheredNamesOfOddLengths) {
    auto c = Client("alice");
    for (int n : {0, 17, 256, 272, 4096}) {
        Message m;
        Ok("sample last 22 enclen " + std::to_string(n));
        ASSERT_TRUE(c->Expect(104, m)) << n;
        EXPECT_EQ(m.Get("name")->bytes.size(), size_t(n));
        Ok("sample last 22 plain enclen " + std::to_string(n));  // plain names have nothing to lengthen
        ASSERT_TRUE(c->Expect(22, m)) << n;
        EXPECT_EQ(m.TextOf("name"), "bob@pelvane.test");
    }
    Ok("sample last 3");  // a type no client handles
    EXPECT_TRUE(c->Expect(3));
    EXPECT_EQ(c->lastBody, (Bytes{3, 0, 0, 0}));
}

TEST_F(RelayFaults, ClientFaultsAreLoggedAsViolations) {
    auto c = Client("alice");
    Bytes oddName = Encode(Message(cmd::ContactQuery).Enc("name", "x"), {false, -1, 17});
    Bytes trailing = Encode(c->Credentials(cmd::Login));
    trailing.push_back(0);
    struct Case {
        const char* what;
        Bytes bytes;
        const char* logged;
    } cases[] = {
        {"unknown type", Frame(Encode(Message(99))), "type 99 is not a client command"},
        {"server-only type", Frame(Encode(Message(cmd::MediaConnected))), "type 11 is not a client command"},
        {"left-over byte", Frame(trailing), "login request: 1 bytes left over"},
        {"name of 17 bytes", Frame(oddName), "contact query: name: 17 bytes is not whole blocks"},
        {"empty frame", Bytes(4, 0), "frame of length 0"},
    };
    int count = 0;
    for (const auto& k : cases) {
        c->SendBytes(k.bytes);
        EXPECT_TRUE(relay.Wait(std::string("VIOLATION #1: ") + k.logged)) << k.what;
        EXPECT_EQ(Violations(), ++count) << k.what;
    }
    // The link survives all of that; a length beyond any message ends it.
    EXPECT_EQ(c->SignIn(), 1);
    c->SendBytes({0xF0, 0xFF, 0xFF, 0x7F});
    EXPECT_TRUE(c->WaitClosed(3000));
    EXPECT_TRUE(relay.Wait("beyond any message"));
}

TEST_F(RelayFaults, RequestsBeforeSignInAreTolerated) {
    auto c = Client("alice");
    c->Send(Message(cmd::ContactQuery).Enc("name", "bob@pelvane.test"));
    c->Send(Message(cmd::CallEnded));
    EXPECT_TRUE(relay.Wait("ignored: not signed in"));
    EXPECT_TRUE(c->Quiet(104, 200));
    EXPECT_EQ(c->SignIn(), 1);
    EXPECT_EQ(Violations(), 0);
}

TEST_F(RelayFaults, RefusalsOnCommand) {
    struct Case {
        const char* setting;
        bool enrol;  // the refusal comes after enrolment
        uint32_t type;
        const char* field;
        uint32_t value;
    } cases[] = {
        {"set login refuse", false, 114, "accepted", 0},
        {"set login unknown", false, 114, "unknownDevice", 1},
        {"set register refuse", true, 115, "registered", 0},
        {"set session refuse", true, 106, "status", 4},
        {"set session status 2", true, 106, "status", 2},
        {"set session status 3", true, 106, "status", 3},
    };
    Ok("set reason Closed for the test");
    int n = 0;
    for (const auto& k : cases) {
        // A known device for the login cases, a new one for the others.
        TestClient c("carol@pelvane.test", "test_refusal_" + std::to_string(k.enrol ? n++ : 99));
        if (!k.enrol) {
            ASSERT_TRUE(c.Connect(relay.tcp));
            ASSERT_EQ(c.SignIn(), 1);
        }
        Ok(k.setting);
        ASSERT_TRUE(c.Connect(relay.tcp));
        Message m;
        c.Send(c.Credentials(cmd::Login));
        if (k.enrol) {
            ASSERT_TRUE(c.Expect(114));
            c.Send(c.Registration("Carol's PC"));
            if (k.type != 115) {
                ASSERT_TRUE(c.Expect(115));
                c.Send(c.SessionRequest());
            }
        }
        ASSERT_TRUE(c.Expect(k.type, m)) << k.setting;
        EXPECT_EQ(m.Num(k.field), k.value) << k.setting;
        if (k.value == 0 || k.value == 4) {
            EXPECT_EQ(m.TextOf("reason"), "Closed for the test") << k.setting;
        }
        EXPECT_EQ(c.malformed, 0) << k.setting;
        for (const char* reset : {"set login normal", "set register normal", "set session normal"}) Ok(reset);
    }
}

TEST_F(RelayFaults, PadOffsetAndListFaults) {
    auto c = Client("alice");
    ASSERT_EQ(c->SignIn(), 1);
    struct Case {
        const char* setting;
        size_t padSize;
        uint32_t offset;
    } cases[] = {{"set pad-size 2047", 2047, 0}, {"set pad-size 2049", 2049, 0}, {"set pad-offset 2016", 2048, 2016},
                 {"set pad-offset 2017", 2048, 2017}, {"set pad-offset 2049", 2048, 2049}};
    for (const auto& k : cases) {
        Ok(k.setting);
        ASSERT_TRUE(c->Connect(relay.tcp));
        Message m;
        c->Send(c->Credentials(cmd::Login));
        c->Send(c->SessionRequest());  // the client holds the real pad
        ASSERT_TRUE(c->Expect(106, m)) << k.setting;
        EXPECT_EQ(m.Num("status"), k.padSize == 2048 ? 0u : 1u) << k.setting;
        EXPECT_EQ(m.BlobOf("pad").size(), k.padSize == 2048 ? 0 : k.padSize) << k.setting;
        if (k.padSize == 2048) {
            EXPECT_EQ(m.Num("offset"), k.offset) << k.setting;
        }
        Ok("set pad-size normal");
        Ok("set pad-offset auto");
    }
    Ok("set list-count 0xFFFFFFFF");
    ASSERT_TRUE(c->Connect(relay.tcp));
    c->Send(c->Credentials(cmd::Login));
    c->Send(c->SessionRequest());
    ASSERT_TRUE(c->Expect(106));
    Bytes& body = c->lastBody;
    ASSERT_GE(body.size(), 4u);
    EXPECT_EQ(Hex(Bytes(body.end() - 4, body.end())), "ffffffff");
    EXPECT_EQ(c->malformed, 1);
}

TEST_F(RelayFaults, LinksEndAtAChosenPhase) {
    struct Case {
        const char* hook;
        bool reset;
    } cases[] = {{"when accept close this", false}, {"when 100 reset this", true}, {"when 101 close this", false}};
    for (const auto& k : cases) {
        Ok(k.hook);
        TestClient c("alice@pelvane.test", "test_alice");
        ASSERT_TRUE(c.Connect(relay.tcp));
        c.Send(c.Credentials(cmd::Login));
        c.Send(c.SessionRequest());
        bool reset = false;
        ASSERT_TRUE(c.WaitClosed(3000, &reset)) << k.hook;
        EXPECT_EQ(reset, k.reset) << k.hook;
        EXPECT_TRUE(c.Quiet(106, 0)) << k.hook;
    }
    // A hook fires once: the next connection is served.
    TestClient c("alice@pelvane.test", "test_alice");
    ASSERT_TRUE(c.Connect(relay.tcp));
    EXPECT_EQ(c.SignIn(), 1);
    Ok("reset alice@pelvane.test");
    bool reset = false;
    EXPECT_TRUE(c.WaitClosed(3000, &reset));
    EXPECT_TRUE(reset);
}

TEST_F(RelayFaults, RawBytesAndFramesGoOutAsGiven) {
    auto c = Client("alice");
    c->answerKeepAlives = false;
    Ok("set keepalive off");
    Ok("frame last 0d000000");
    EXPECT_TRUE(c->Expect(cmd::CallEnded));
    EXPECT_EQ(c->lastBody, (Bytes{13, 0, 0, 0}));
    Ok("raw last 05000000 2a000000");  // a length, then one byte short of its body
    Ok("raw last 01");
    EXPECT_TRUE(c->Expect(42));
    EXPECT_EQ(c->lastBody, (Bytes{42, 0, 0, 0, 1}));
    EXPECT_TRUE(relay.Command("raw last 0g").compare(0, 3, "err") == 0);
}

TEST_F(RelayFaults, PrimaryGoesDownAndComesBack) {
    auto c = Client("alice");
    ASSERT_EQ(c->SignIn(), 1);
    Ok("down");
    EXPECT_TRUE(c->WaitClosed(3000));
    TestClient refused("bob@pelvane.test", "test_bob");
    EXPECT_FALSE(refused.Connect(relay.tcp));
    Ok("up");
    ASSERT_TRUE(refused.Connect(relay.tcp));
    EXPECT_EQ(refused.SignIn(), 1);
}

TEST_F(RelayFaults, VoiceDatagramsAreDamagedOnCommand) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    Ok("set path relay");
    bool relayed = false;
    ASSERT_TRUE(Connect(*alice, *bob, relayed));
    ASSERT_TRUE(relayed);
    Bytes voice(225, 0x31);
    voice.back() = 0;
    struct Case {
        const char* mode;
        bool arrives;
        size_t size;
        bool same, prefixKept;  // whole datagram, and its first 224 bytes, as sent
    } cases[] = {{"pass", true, 225, true, true}, {"corrupt", true, 225, false, false}, {"strip", true, 224, false, true},
                 {"enlarge", true, 1100, false, true}, {"drop", false, 0, false, false}};
    for (const auto& k : cases) {
        Ok(std::string("set voice ") + k.mode);
        alice->SendUdp(relay.udp, voice);
        Bytes got;
        ASSERT_EQ(bob->ReceiveUdp(got, k.arrives ? 3000 : 300), k.arrives) << k.mode;
        if (!k.arrives) continue;
        EXPECT_EQ(got.size(), k.size) << k.mode;
        EXPECT_EQ(got == voice, k.same) << k.mode;
        EXPECT_EQ(std::equal(got.begin(), got.begin() + 224, voice.begin()), k.prefixKept) << k.mode;
    }
    // Datagrams from a stranger go nowhere; a probe of a third identity neither.
    Ok("set voice pass");
    TestClient stranger("dave@pelvane.test", "test_dave");
    ASSERT_TRUE(stranger.OpenUdp());
    stranger.SendUdp(relay.udp, voice);
    stranger.SendProbe(relay.udp);
    Bytes got;
    EXPECT_FALSE(bob->ReceiveUdp(got, 300));
    EXPECT_FALSE(alice->ReceiveUdp(got, 0));
    EXPECT_TRUE(relay.Wait("225 bytes from 127.0.0.1:" + std::to_string(stranger.UdpPort()) + " dropped: unknown source"));
    EXPECT_TRUE(relay.Wait("10 bytes from 127.0.0.1:" + std::to_string(stranger.UdpPort()) + " dropped: unknown source"));
}

TEST_F(RelayFaults, ProbeTargetsRepeatUntilBothProbesArrive) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    alice->Send(Message(cmd::CallRequest).Enc("callee", bob->email).I32("offer", 0x30F));
    ASSERT_TRUE(bob->Expect(109));
    alice->Send(Message(cmd::KeyOffer).Blob("p", {1}).Blob("g", {2}).Blob("public", {3}));
    ASSERT_TRUE(bob->Expect(cmd::KeyOffer));
    bob->Send(Message(cmd::KeyAnswer).Blob("public", {4}));
    ASSERT_TRUE(alice->Expect(108));
    ASSERT_TRUE(bob->Expect(108));
    alice->SendProbe(relay.udp);
    // Only bob, whose probe is missing, is asked again, about a second later.
    EXPECT_TRUE(bob->Expect(108, 2500));
    EXPECT_TRUE(alice->Quiet(108, 200));
    bob->SendProbe(relay.udp);
    EXPECT_TRUE(alice->Expect(cmd::DirectProbing));
    EXPECT_TRUE(bob->Expect(cmd::DirectProbing));
    EXPECT_TRUE(bob->Quiet(108, 1300));
}

TEST_F(RelayFaults, CallPageSignalAnswersAfterTheDelay) {
    auto alice = SignedIn("alice");
    auto t0 = std::chrono::steady_clock::now();
    alice->Send(Message(cmd::CallSignalAnswer));
    ASSERT_TRUE(alice->Expect(cmd::CallSignal, 3000));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 250);  // the fixture sets 300 ms
}

TEST_F(RelayFaults, AddContactAndUpdateNotice) {
    Ok("set update 4.5 http://update.pelvane.test/");
    auto dave = SignedIn("dave");
    Message m;
    ASSERT_TRUE(dave->Expect(cmd::UpdateNotice, m));
    EXPECT_EQ(m.TextOf("version"), "4.5");
    struct Case {
        const char* name;
        uint32_t added;
        const char* reason;
    } cases[] = {{"bob@pelvane.test", 1, ""}, {"bob@pelvane.test", 0, "Already in your contact list"},
                 {"nobody@pelvane.test", 0, "No such user"}, {"dave@pelvane.test", 0, "You cannot add yourself"}};
    for (const auto& k : cases) {
        dave->Send(Message(cmd::AddContact).Enc("name", k.name));
        ASSERT_TRUE(dave->Expect(119, m)) << k.name;
        EXPECT_EQ(m.Num("added"), k.added) << k.name;
        EXPECT_EQ(m.TextOf("name"), k.name);
        EXPECT_EQ(m.TextOf("reason"), k.reason) << k.name;
        if (k.added) {
            ASSERT_TRUE(dave->Expect(105, m));
            EXPECT_EQ(m.Num("count"), 1u);
            EXPECT_EQ(m.TextOf("name"), "bob@pelvane.test");
        }
    }
}

TEST(RelayLifetime, EndsByItselfAndOnItsController) {
    RelayProcess shortLived;
    ASSERT_TRUE(shortLived.Start({"--lifetime", "1"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_FALSE(shortLived.Running());
    EXPECT_NE(shortLived.Log().find("lifetime of 1 s is over"), std::string::npos);

    RelayProcess controlled;
    ASSERT_TRUE(controlled.Start());
    EXPECT_TRUE(controlled.Running());
    EXPECT_TRUE(controlled.Stop(3000));  // closing the control connection ends it
}

TEST(RelayPorts, TheVoicePortIsTheRelaysAlone) {
    // A socket that allows sharing must not get the relay's voice port: if it
    // can, the system may also hand that port to another relay of a parallel
    // run, and voice and probes then reach the wrong one.
    RelayProcess relay;
    ASSERT_TRUE(relay.Start());
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(relay.udp);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_NE(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << "port " << relay.udp << " was shared";
    close(fd);
}
