// Layouts of the commands: strict decoding of client frames, twins, and the
// fault options of the encoder.
#include <gtest/gtest.h>

#include "Messages.h"
#include "RelayCrypto.h"

using namespace relay;

namespace {

Message Login() {
    return Message(cmd::Login).Enc("identity", "brannow_simul_1").Enc("user", "alice@pelvane.test").Str("digest", Md5Hex("demo"));
}

Message Session() {
    Bytes key(49, 7);
    key[0] = 3;
    return Message(cmd::Session)
        .Enc("identity", "id")
        .Enc("user", "alice@pelvane.test")
        .Str("digest", Md5Hex("demo"))
        .Blob("publicKey", key)
        .U8("noPad", 1)
        .Blob("padDigest", Bytes(32, 0))
        .Caps(1, 0, 1);
}

Bytes WithTail(Bytes b, uint8_t extra) {
    b.push_back(extra);
    return b;
}

Bytes Shortened(Bytes b, size_t by) {
    b.resize(b.size() - by);
    return b;
}

}  // namespace

TEST(RelayMessages, WellFormedClientFramesDecodeCompletely) {
    Message offer = Message(cmd::FileOfferOut).Enc("to", "bob@pelvane.test").Str("id", "{X}").WStr("label", u"a.txt").U32("size", 20);
    for (const Message& m : {Login(), Session(), offer, Message(cmd::ProbeReport).U8("relayed", 1).U8("relayed2", 1),
                             Message(cmd::CallEnded)}) {
        Decoded d = Decode(Encode(m), Direction::FromClient);
        EXPECT_TRUE(d.complete) << m.type << " " << d.error;
        EXPECT_TRUE(d.faults.empty()) << m.type << " " << (d.faults.empty() ? "" : d.faults[0]);
    }
    Decoded d = Decode(Encode(Login()), Direction::FromClient);
    EXPECT_EQ(d.message.TextOf("user"), "alice@pelvane.test");
    EXPECT_EQ(Decode(Encode(offer), Direction::FromClient).message.WideOf("label"), u"a.txt");
}

TEST(RelayMessages, ClientFrameFaultsAreFound) {
    Bytes oddName = Encode(Message(cmd::ContactQuery).Enc("name", "x"), {false, -1, 17});
    Bytes longName = Encode(Message(cmd::ContactQuery).Enc("name", std::string(300, 'n')));
    Message upper = Login();
    upper.fields[2].text = "FE01CE2A7FBAC8FAFAED7C982A04E229";
    Message badCaps = Session();
    badCaps.fields.back().words = {1, 1, 1};
    Message mixedReport = Message(cmd::ProbeReport).U8("relayed", 0).U8("relayed2", 1);
    struct Case {
        const char* what;
        Bytes body;
        bool known, complete, faulty;
    } cases[] = {
        {"unknown type", Encode(Message(99)), false, false, false},
        {"server-only type", Encode(Message(cmd::MediaConnected)), false, false, false},
        {"trailing byte", WithTail(Encode(Login()), 0), true, false, false},
        {"cut inside digest", Shortened(Encode(Login()), 3), true, false, false},
        {"caps cut short", Shortened(Encode(Session()), 4), true, false, false},
        {"type cut short", Bytes{100, 0}, false, false, false},
        {"name of 17 bytes", oddName, true, true, true},
        {"name longer than 256", longName, true, true, true},
        {"upper-case digest", Encode(upper), true, true, true},
        {"caps not 1,0,1", Encode(badCaps), true, true, true},
        {"report flags differ", Encode(mixedReport), true, true, true},
    };
    for (const auto& c : cases) {
        Decoded d = Decode(c.body, Direction::FromClient);
        EXPECT_EQ(d.known, c.known) << c.what;
        EXPECT_EQ(d.complete, c.complete) << c.what << ": " << d.error;
        EXPECT_EQ(!d.faults.empty(), c.faulty) << c.what;
    }
}

TEST(RelayMessages, TwinsCarryEncipheredTexts) {
    Message state = Message(cmd::ContactState).Text("name", "bob@pelvane.test").U32("state", 0);
    Bytes plain = Encode(state);
    EncodeOptions twin;
    twin.twin = true;
    Bytes enc = Encode(state, twin);
    std::string name = "bob@pelvane.test";
    EXPECT_EQ(Hex(plain), "16000000" + Hex(Bytes(name.begin(), name.end())) + "00" "00000000");
    EXPECT_EQ(Hex(enc), "68000000" "10000000" + Hex(EncipherName(name)) + "00000000");
    Decoded d = Decode(enc, Direction::ToClient);
    ASSERT_TRUE(d.complete) << d.error;
    EXPECT_EQ(d.message.TextOf("name"), "bob@pelvane.test");
    EXPECT_EQ(d.message.Get("name")->kind, Kind::Enc);
    // Types without a twin keep their number and their plain texts.
    Bytes failed = Encode(Message(cmd::TransferFailed).Str("id", "i").Str("err", "e"), twin);
    EXPECT_EQ(Hex(failed), "1c000000" "6900" "6500");
}

TEST(RelayMessages, ConditionalLayoutsFollowTheirFlags) {
    EncodeOptions twin;
    twin.twin = true;
    struct Case {
        const char* what;
        Message m;
        size_t fields;
    } cases[] = {
        {"login accepted, known", Message(cmd::LoginStep).U8("accepted", 1).U8("unknownDevice", 0).Text("device", "PC1"), 3},
        {"login accepted, unknown", Message(cmd::LoginStep).U8("accepted", 1).U8("unknownDevice", 1), 2},
        {"login refused", Message(cmd::LoginStep).U8("accepted", 0).Text("reason", "no"), 2},
        {"session status 0", Message(cmd::SessionReply).U32("status", 0).U32("offset", 5).Str("ownName", "A").U32("count", 1)
                                  .Text("name", "b").Text("second", "B"), 6},
        {"session status 1", Message(cmd::SessionReply).U32("status", 1).Blob("pad", Bytes(2048, 1)).U32("offset", 0)
                                  .Str("ownName", "A").U32("count", 0), 5},
        {"session status 4", Message(cmd::SessionReply).U32("status", 4).Str("reason", "no"), 2},
        {"session status 2", Message(cmd::SessionReply).U32("status", 2), 1},
        {"add-contact refused", Message(cmd::AddContactReply).U8("added", 0).Text("name", "x").Text("reason", "r"), 3},
        {"update absent", Message(cmd::UpdateNotice).U8("present", 0), 1},
    };
    for (const auto& c : cases) {
        Decoded d = Decode(Encode(c.m, twin), Direction::ToClient);
        EXPECT_TRUE(d.complete) << c.what << ": " << d.error;
        EXPECT_EQ(d.message.fields.size(), c.fields) << c.what;
    }
    // Own name and reason stay plain in the twin of the session reply; the list does not.
    Decoded s = Decode(Encode(cases[3].m, twin), Direction::ToClient);
    EXPECT_EQ(s.message.type, 106u);
    EXPECT_EQ(s.message.Get("ownName")->kind, Kind::Str);
    EXPECT_EQ(s.message.Get("name")->kind, Kind::Enc);
}

TEST(RelayMessages, CutKeepsAPrefixAtFieldBoundaries) {
    Message m = Message(cmd::FileOfferIn).Text("mid", "bob").Text("alias", "Bob").Str("id", "{I}").WStr("label", u"f").U32("size", 3);
    Bytes whole = Encode(m);
    size_t previous = 4;
    for (int cut = 0; cut <= 5; ++cut) {
        EncodeOptions o;
        o.cut = cut;
        Bytes part = Encode(m, o);
        ASSERT_LE(part.size(), whole.size());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << cut;
        EXPECT_EQ(Decode(part, Direction::ToClient).complete, cut == 5) << cut;
        if (cut > 0) {
            EXPECT_GT(part.size(), previous) << cut;
        }
        previous = part.size();
    }
}

TEST(RelayMessages, EncLengthReplacesEveryEncipheredName) {
    Message m = Message(cmd::IncomingCall).Text("caller", "bob").Text("second", "Bob").U32("offer", 0x30F);
    for (int n : {0, 17, 256, 272, 4096}) {
        EncodeOptions o;
        o.twin = true;
        o.encLength = n;
        Decoded d = Decode(Encode(m, o), Direction::ToClient);
        ASSERT_TRUE(d.complete) << n;
        EXPECT_EQ(d.message.Get("caller")->bytes.size(), size_t(n));
        EXPECT_EQ(d.message.Get("second")->bytes.size(), size_t(n));
        EXPECT_EQ(d.message.Num("offer"), 0x30Fu);
    }
}

TEST(RelayMessages, FormatShowsFieldsAndProblems) {
    std::string line = Format(Decode(Encode(Login()), Direction::FromClient));
    EXPECT_NE(line.find("100 login request"), std::string::npos) << line;
    EXPECT_NE(line.find("user=E32\"alice@pelvane.test\""), std::string::npos) << line;
    std::string cut = Format(Decode(Bytes{0x16, 0, 0, 0, 'b', 0}, Direction::ToClient));
    EXPECT_NE(cut.find("[short at field state]"), std::string::npos) << cut;
}
