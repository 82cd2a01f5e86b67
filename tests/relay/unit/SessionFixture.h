// A relay program per test, and the steps most session tests share.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

#include "RelayCrypto.h"
#include "RelayProcess.h"
#include "TestClient.h"

namespace relay {

class RelaySession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(relay.Start(Args())) << "the relay did not start"; }
    void TearDown() override {
        if (HasFailure()) std::cerr << "---- relay log ----\n" << relay.Log();
    }
    virtual std::vector<std::string> Args() { return {}; }

    std::unique_ptr<TestClient> Client(const std::string& name) {
        auto c = std::make_unique<TestClient>(name + "@pelvane.test", "test_" + name);
        EXPECT_TRUE(c->Connect(relay.tcp));
        EXPECT_TRUE(c->OpenUdp());
        return c;
    }

    std::unique_ptr<TestClient> SignedIn(const std::string& name) {
        auto c = Client(name);
        EXPECT_EQ(c->SignIn(), 1) << name;
        return c;
    }

    std::string Ok(const std::string& command) {
        std::string reply = relay.Command(command);
        EXPECT_EQ(reply.compare(0, 2, "ok"), 0) << command << " -> " << reply;
        return reply;
    }

    int Violations() { return atoi(relay.Command("violations").c_str() + 3); }

    // Places a call from a to b and runs it to media connected; true when the
    // relay put it on its own UDP relay.
    bool Connect(TestClient& a, TestClient& b, bool& relayed);

    RelayProcess relay;
};

inline bool RelaySession::Connect(TestClient& a, TestClient& b, bool& relayed) {
    Message m;
    a.Send(Message(cmd::CallRequest).Enc("callee", b.email).I32("offer", 0x30F));
    if (!a.Expect(cmd::CallReply, m) || m.Num("code") != 0) return false;
    if (!b.Expect(b.In(cmd::IncomingCall), m) || m.TextOf("caller") != a.email || m.Num("offer") != 0x30F) return false;
    Message offer = Message(cmd::KeyOffer).Blob("p", Bytes(64, 1)).Blob("g", Bytes{2}).Blob("public", Bytes(64, 3));
    a.Send(offer);
    if (!b.Expect(cmd::KeyOffer) || b.lastBody != Encode(offer)) return false;
    Message answer = Message(cmd::KeyAnswer).Blob("public", Bytes(64, 4));
    b.Send(answer);
    if (!a.Expect(cmd::KeyAnswer) || a.lastBody != Encode(answer)) return false;
    for (TestClient* c : {&a, &b}) {
        if (!c->Expect(c->In(cmd::ProbeTarget), m) || m.Num("port") != relay.udp || m.TextOf("host") != "127.0.0.1")
            return false;
        c->SendProbe(relay.udp);
    }
    for (auto [me, peer] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
        if (!me->Expect(cmd::DirectProbing, m)) return false;
        const Field* f = m.Get("peer");
        if (f->words[0] != 0x7F000001 || f->words[1] != peer->UdpPort()) return false;
    }
    a.Send(Message(cmd::ProbeReport).U8("relayed", 0).U8("relayed2", 0));
    b.Send(Message(cmd::ProbeReport).U8("relayed", 0).U8("relayed2", 0));
    if (!a.ExpectAny({cmd::ServerProbing, cmd::MediaConnected}, m)) return false;
    relayed = m.type == cmd::ServerProbing;
    if (relayed) {
        if (!b.Expect(cmd::ServerProbing) || m.Num("port") != relay.udp) return false;
        a.Send(Message(cmd::ProbeReport).U8("relayed", 1).U8("relayed2", 1));
        b.Send(Message(cmd::ProbeReport).U8("relayed", 1).U8("relayed2", 1));
    }
    return (relayed ? a.Expect(cmd::MediaConnected) : true) && b.Expect(cmd::MediaConnected);
}

}  // namespace relay
