// Scripted sessions against the relay program: sign-in with enrolment and
// pad issue, chat, calls on both media paths and a file transfer, each
// checked on the wire and in the relay's log.
#include "SessionFixture.h"

using namespace relay;

namespace {

bool Contains(const std::string& log, const std::string& text) {
    return log.find(text) != std::string::npos;
}

}  // namespace

TEST_F(RelaySession, SignInEnrolsTheDeviceAndIssuesThePad) {
    auto alice = Client("alice");
    Message m;
    alice->Send(alice->Credentials(cmd::Login));
    ASSERT_TRUE(alice->Expect(114, m));
    EXPECT_EQ(m.Num("accepted"), 1u);
    EXPECT_EQ(m.Num("unknownDevice"), 1u);

    alice->Send(alice->Registration("Alice's PC"));
    ASSERT_TRUE(alice->Expect(115, m));
    EXPECT_EQ(m.Num("registered"), 1u);

    alice->Send(alice->SessionRequest());
    ASSERT_TRUE(alice->Expect(106, m));
    ASSERT_EQ(m.Num("status"), 1u);
    EXPECT_EQ(m.BlobOf("pad").size(), kPadSize);
    EXPECT_LE(m.Num("offset"), 2016u);
    EXPECT_EQ(m.TextOf("ownName"), "Alice Archer");
    EXPECT_EQ(m.Num("count"), 2u);
    EXPECT_EQ(m.TextOf("name"), "bob@pelvane.test");
    EXPECT_EQ(m.Get("name")->kind, Kind::Enc);
    EXPECT_EQ(m.TextOf("second"), "Bob Baker");
    alice->pad = m.BlobOf("pad");

    // The enrolled device and the pad held are both recognised next time.
    ASSERT_TRUE(alice->Connect(relay.tcp));
    alice->Send(alice->Credentials(cmd::Login));
    ASSERT_TRUE(alice->Expect(114, m));
    EXPECT_EQ(m.Num("unknownDevice"), 0u);
    EXPECT_EQ(m.TextOf("device"), "Alice's PC");
    alice->Send(alice->SessionRequest());
    ASSERT_TRUE(alice->Expect(106, m));
    EXPECT_EQ(m.Num("status"), 0u);

    // Every account gets the same pad, and online contacts learn of the sign-in.
    auto bob = SignedIn("bob");
    EXPECT_EQ(bob->pad, alice->pad);
    ASSERT_TRUE(alice->Expect(104, m));
    EXPECT_EQ(m.TextOf("name"), "bob@pelvane.test");
    EXPECT_EQ(m.Num("state"), 0u);

    TestClient wrong("carol@pelvane.test", "test_carol", "not the password");
    ASSERT_TRUE(wrong.Connect(relay.tcp));
    wrong.Send(wrong.Credentials(cmd::Login));
    ASSERT_TRUE(wrong.Expect(114, m));
    EXPECT_EQ(m.Num("accepted"), 0u);
    EXPECT_EQ(m.TextOf("reason"), "Wrong e-mail address or password");

    EXPECT_TRUE(relay.Wait("> 106 session reply status=0"));
    std::string log = relay.Log();
    EXPECT_TRUE(Contains(log, "enrolled device test_alice as Alice's PC"));
    EXPECT_TRUE(Contains(log, "signed in as Alice Archer with a new pad"));
    EXPECT_TRUE(Contains(log, "signed in as Alice Archer with its pad"));
    EXPECT_TRUE(Contains(log, "< 102 device registration"));
    EXPECT_EQ(Violations(), 0);
    EXPECT_EQ(alice->malformed + bob->malformed, 0);
}

TEST_F(RelaySession, ChatKeysAndPresenceAreRelayed) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    Message m;
    ASSERT_TRUE(alice->Expect(104, m));  // bob came online
    alice->Send(Message(cmd::KeyRequest).Enc("name", "bob@pelvane.test"));
    ASSERT_TRUE(alice->Expect(113, m));
    EXPECT_EQ(m.BlobOf("key"), bob->publicKey);
    alice->Send(Message(cmd::KeyRequest).Enc("name", "carol@pelvane.test"));
    ASSERT_TRUE(alice->Expect(113, m));
    EXPECT_TRUE(m.BlobOf("key").empty());

    alice->Send(Message(cmd::ContactQuery).Enc("name", "carol@pelvane.test"));
    ASSERT_TRUE(alice->Expect(104, m));
    EXPECT_EQ(m.TextOf("name"), "carol@pelvane.test");
    EXPECT_EQ(m.Num("state"), 1u);

    Bytes cipher(91);
    for (size_t i = 0; i < cipher.size(); ++i) cipher[i] = uint8_t(i * 7);
    alice->Send(Message(cmd::ChatOut).Enc("to", "bob@pelvane.test").Blob("cipher", cipher));
    ASSERT_TRUE(bob->Expect(111, m));
    EXPECT_EQ(m.TextOf("sender"), "alice@pelvane.test");
    EXPECT_EQ(m.TextOf("second"), "Alice Archer");
    EXPECT_EQ(m.BlobOf("cipher"), cipher);

    alice->Send(Message(cmd::ChatOut).Enc("to", "carol@pelvane.test").Blob("cipher", cipher));
    EXPECT_TRUE(relay.Wait("chat to carol@pelvane.test dropped: not online"));

    bob->Close();
    ASSERT_TRUE(alice->Expect(104, m));
    EXPECT_EQ(m.Num("state"), 1u);
    EXPECT_TRUE(Contains(relay.Log(), "> 111 chat text sender=E32\"alice@pelvane.test\""));
    EXPECT_EQ(Violations(), 0);
}

TEST_F(RelaySession, CallsReachMediaOnEveryPath) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    struct Case {
        const char* path;
        bool relayed;
        const char* logged;
    } cases[] = {
        {"direct", false, "media connected on the direct path"},
        {"relay", true, "media connected on the relayed path"},
        {"auto", false, "media connected on the direct path"},  // both ends on one host
    };
    for (const auto& c : cases) {
        Ok(std::string("set path ") + c.path);
        ASSERT_TRUE(relay.Command("mark") == "ok");
        bool relayed = !c.relayed;
        ASSERT_TRUE(Connect(*alice, *bob, relayed)) << c.path;
        EXPECT_EQ(relayed, c.relayed) << c.path;
        EXPECT_TRUE(relay.Wait(c.logged)) << c.path;

        // The callee's accept reaches the caller split; the caller's is absorbed.
        Message m;
        bob->Send(Message(cmd::CallAccepted).I32("value", 4 | 256));
        ASSERT_TRUE(alice->Expect(cmd::CallAccepted, m));
        EXPECT_EQ(m.Num("codec"), 4u);
        EXPECT_EQ(m.Num("mode"), 256u);
        alice->Send(Message(cmd::CallAccepted).I32("value", 4 | 256));
        EXPECT_TRUE(relay.Wait("caller's accept absorbed"));

        if (c.relayed) {
            Bytes voice(609);
            for (size_t i = 0; i < voice.size(); ++i) voice[i] = uint8_t(i + 1);
            voice.back() = 0;
            for (auto [from, to] : {std::pair{alice.get(), bob.get()}, std::pair{bob.get(), alice.get()}}) {
                Bytes got;
                sockaddr_in src{};
                from->SendUdp(relay.udp, voice);
                ASSERT_TRUE(to->ReceiveUdp(got, 3000, &src));
                EXPECT_EQ(got, voice);
                EXPECT_EQ(ntohs(src.sin_port), relay.udp);
            }
            EXPECT_TRUE(relay.Wait("609 bytes"));
        }

        // The first hang-up reaches the peer; the peer's echo is absorbed.
        alice->Send(Message(cmd::CallEnded));
        ASSERT_TRUE(bob->Expect(cmd::CallEnded));
        bob->Send(Message(cmd::CallEnded));
        EXPECT_TRUE(relay.Wait("hang-up absorbed: no call"));
        EXPECT_TRUE(alice->Quiet(cmd::CallEnded, 100));
    }
    EXPECT_EQ(Violations(), 0);
}

TEST_F(RelaySession, FileTransferIsRelayedByItsId) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    const std::string id = "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";
    Message m;
    alice->Send(Message(cmd::FileOfferOut).Enc("to", "bob@pelvane.test").Str("id", id).WStr("label", u"report.txt").U32("size", 20));
    ASSERT_TRUE(bob->Expect(117, m));
    EXPECT_EQ(m.TextOf("mid"), "alice@pelvane.test");
    EXPECT_EQ(m.TextOf("alias"), "Alice Archer");
    EXPECT_EQ(m.TextOf("id"), id);
    EXPECT_EQ(m.WideOf("label"), u"report.txt");
    EXPECT_EQ(m.Num("size"), 20u);

    // What the two clients say to each other arrives as it was sent.
    struct Step {
        TestClient* from;
        TestClient* to;
        Message sent;
    } steps[] = {
        {bob.get(), alice.get(), Message(cmd::ReceiverKey).Str("id", id).Blob("publicKey", Bytes(49, 2))},
        {alice.get(), bob.get(), Message(cmd::WrappedKey).Str("id", id).Blob("transferKey", Bytes(101, 5))},
        {alice.get(), bob.get(), Message(cmd::FileChunk).Str("id", id).Blob("block", Bytes(8192, 9)).I32("blockSize", 20).I32("blockNum", 1)},
        {bob.get(), alice.get(), Message(cmd::ChunkAck).Str("id", id).I32("blockNum", 1)},
        {alice.get(), bob.get(), Message(cmd::TransferDone).Str("id", id)},
    };
    for (size_t i = 0; i < 2; ++i) {
        steps[i].from->Send(steps[i].sent);
        ASSERT_TRUE(steps[i].to->Expect(steps[i].sent.type)) << steps[i].sent.type;
        EXPECT_EQ(steps[i].to->lastBody, Encode(steps[i].sent));
    }
    // The receiver's ready message reaches the sender with the chunk size.
    bob->Send(Message(cmd::ReadyToReceive).Str("id", id));
    ASSERT_TRUE(alice->Expect(cmd::ReadyToReceive, m));
    EXPECT_EQ(m.TextOf("id"), id);
    EXPECT_EQ(m.Num("chunkRequest"), 8192u);
    for (size_t i = 2; i < 5; ++i) {
        steps[i].from->Send(steps[i].sent);
        ASSERT_TRUE(steps[i].to->Expect(steps[i].sent.type)) << steps[i].sent.type;
        EXPECT_EQ(steps[i].to->lastBody, Encode(steps[i].sent));
    }
    EXPECT_TRUE(relay.Wait("transfer " + id + " ends"));
    alice->Send(Message(cmd::FileChunk).Str("id", id).Blob("block", Bytes(16, 1)).I32("blockSize", 16).I32("blockNum", 2));
    EXPECT_TRUE(relay.Wait("dropped: no transfer " + id));
    EXPECT_TRUE(Contains(relay.Log(), "< 36 file chunk id=\"" + id + "\" block=B8192:"));
    EXPECT_EQ(Violations(), 0);
}

TEST_F(RelaySession, FileTransferEndsAreTranslated) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    Message m;
    auto offer = [&](const std::string& id, const std::string& to) {
        alice->Send(Message(cmd::FileOfferOut).Enc("to", to).Str("id", id).WStr("label", u"f").U32("size", 1));
    };
    offer("{A}", "bob@pelvane.test");
    ASSERT_TRUE(bob->Expect(117));
    bob->Send(Message(cmd::CancelTransfer).Str("id", "{A}"));
    ASSERT_TRUE(alice->Expect(cmd::TransferCancelled, m));
    EXPECT_EQ(m.TextOf("id"), "{A}");

    offer("{B}", "bob@pelvane.test");
    ASSERT_TRUE(bob->Expect(117));
    bob->Send(Message(cmd::TransferError).Str("id", "{B}").Str("text", "Disk full"));
    ASSERT_TRUE(alice->Expect(cmd::TransferFailed, m));
    EXPECT_EQ(m.TextOf("id"), "{B}");
    EXPECT_EQ(m.TextOf("err"), "Disk full");

    offer("{C}", "carol@pelvane.test");
    ASSERT_TRUE(alice->Expect(cmd::TransferFailed, m));
    EXPECT_EQ(m.TextOf("id"), "{C}");

    // A receiver that goes away ends the transfer for the sender.
    offer("{D}", "bob@pelvane.test");
    ASSERT_TRUE(bob->Expect(117));
    bob->Close();
    ASSERT_TRUE(alice->Expect(cmd::TransferFailed, m));
    EXPECT_EQ(m.TextOf("id"), "{D}");
    EXPECT_EQ(Violations(), 0);
}

TEST_F(RelaySession, LostLinkEndsItsCall) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    bool relayed = false;
    ASSERT_TRUE(Connect(*alice, *bob, relayed));
    bob->Close();
    EXPECT_TRUE(alice->Expect(cmd::CallEnded));
    EXPECT_TRUE(relay.Wait("ended: link of #"));
    // Alice is free again: a call to an offline bob is refused with code 1.
    Message m;
    alice->Send(Message(cmd::CallRequest).Enc("callee", "bob@pelvane.test").I32("offer", 0x30F));
    ASSERT_TRUE(alice->Expect(cmd::CallReply, m));
    EXPECT_EQ(m.Num("code"), 1u);
}

TEST_F(RelaySession, CallRequestsAreRefusedWithTheirCodes) {
    auto alice = SignedIn("alice");
    auto bob = SignedIn("bob");
    auto carol = SignedIn("carol");
    bool relayed = false;
    ASSERT_TRUE(Connect(*alice, *bob, relayed));
    struct Case {
        TestClient* caller;
        const char* callee;
        uint32_t code;
    } cases[] = {
        {carol.get(), "bob@pelvane.test", 2},     // busy
        {carol.get(), "dave@pelvane.test", 1},    // not online
        {carol.get(), "nobody@pelvane.test", 3},  // no such user
        {carol.get(), "carol@pelvane.test", 3},   // oneself
        {alice.get(), "carol@pelvane.test", 4},   // already in a call
    };
    for (const auto& c : cases) {
        Message m;
        c.caller->Send(Message(cmd::CallRequest).Enc("callee", c.callee).I32("offer", 0x30F));
        ASSERT_TRUE(c.caller->Expect(cmd::CallReply, m)) << c.callee;
        EXPECT_EQ(m.Num("code"), c.code) << c.callee;
    }
    EXPECT_TRUE(bob->Quiet(109, 100));
}
