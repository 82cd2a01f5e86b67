#include "Samples.h"

#include <cstdlib>

namespace relay {

namespace {

const char* kSampleId = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";

Bytes Filled(size_t n, uint8_t first) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(first + i);
    return b;
}

Message& SampleList(Message& m) {
    return m.U32("count", 2)
        .Text("name", "bob@pelvane.test")
        .Text("second", "Bob Baker")
        .Text("name", "carol@pelvane.test")
        .Text("second", "Carol Cooper");
}

}  // namespace

bool MakeSample(const std::string& name, const SampleContext& x, Message& m) {
    if (name == "24") m = Message(cmd::LoginStep).U8("accepted", 1).U8("unknownDevice", 0).Text("device", "Sample PC");
    else if (name == "24-unknown") m = Message(cmd::LoginStep).U8("accepted", 1).U8("unknownDevice", 1);
    else if (name == "24-refused") m = Message(cmd::LoginStep).U8("accepted", 0).Text("reason", "Refused sample");
    else if (name == "26") m = Message(cmd::RegistrationReply).U8("registered", 1);
    else if (name == "26-refused") m = Message(cmd::RegistrationReply).U8("registered", 0).Text("reason", "Refused sample");
    else if (name == "6") {
        m = Message(cmd::SessionReply).U32("status", 1).Blob("pad", x.pad).U32("offset", 0).Str("ownName", "Sample User");
        SampleList(m);
    } else if (name == "6-status0") {
        m = Message(cmd::SessionReply).U32("status", 0).U32("offset", 0).Str("ownName", "Sample User");
        SampleList(m);
    } else if (name == "6-status4") m = Message(cmd::SessionReply).U32("status", 4).Str("reason", "Refused sample");
    else if (name == "2") SampleList(m = Message(cmd::ContactList));
    else if (name == "4") m = Message(cmd::ProbeTarget).Text("host", x.udpHost).U16("port", x.udpPort);
    else if (name == "5") m = Message(cmd::PeerAddress).U32("address", 0x7F000001).U16("port", 11500);
    else if (name == "7") m = Message(cmd::CallReply).U32("code", 0);
    else if (name == "8") m = Message(cmd::IncomingCall).Text("caller", "bob@pelvane.test").Text("second", "Bob Baker").U32("offer", 0x30F);
    else if (name == "9") m = Message(cmd::DirectProbing).Addr("peer", 0x7F000001, 11501);
    else if (name == "12") m = Message(cmd::CallAccepted).U32("codec", 4).U32("mode", 256);
    else if (name == "14") m = Message(cmd::ServerProbing).Str("host", x.udpHost).U16("port", x.udpPort);
    else if (name == "15") m = Message(cmd::KeyOffer).Blob("p", Filled(64, 1)).Blob("g", Bytes{2}).Blob("public", Filled(64, 7));
    else if (name == "16") m = Message(cmd::KeyAnswer).Blob("public", Filled(64, 9));
    else if (name == "18") m = Message(cmd::ChatIn).Text("sender", "bob@pelvane.test").Text("second", "Bob Baker").Blob("cipher", Filled(91, 3));
    else if (name == "20") m = Message(cmd::ContactKey).Text("name", "bob@pelvane.test").Blob("key", Filled(49, 2));
    else if (name == "22") m = Message(cmd::ContactState).Text("name", "bob@pelvane.test").U32("state", 0);
    else if (name == "28") m = Message(cmd::TransferFailed).Str("id", kSampleId).Str("err", "Sample failure");
    else if (name == "29")
        m = Message(cmd::FileOfferIn).Text("mid", "bob@pelvane.test").Text("alias", "Bob Baker").Str("id", kSampleId)
                .WStr("label", u"sample.txt").U32("size", 20);
    else if (name == "31") m = Message(cmd::TransferCancelled).Str("id", kSampleId);
    else if (name == "32") m = Message(cmd::ReceiverKey).Str("id", kSampleId).Blob("publicKey", Filled(49, 2));
    else if (name == "34") m = Message(cmd::WrappedKey).Str("id", kSampleId).Blob("transferKey", Filled(101, 5));
    else if (name == "35") m = Message(cmd::ReadyToReceive).Str("id", kSampleId).U32("chunkRequest", 8192);
    else if (name == "36")
        m = Message(cmd::FileChunk).Str("id", kSampleId).Blob("block", Filled(32, 0)).U32("blockSize", 20).U32("blockNum", 1);
    else if (name == "37") m = Message(cmd::TransferDone).Str("id", kSampleId);
    else if (name == "38") m = Message(cmd::ChunkAck).Str("id", kSampleId).U32("blockNum", 1);
    else if (name == "40") m = Message(cmd::AddContactReply).U8("added", 1).Text("name", "dave@pelvane.test");
    else if (name == "40-refused")
        m = Message(cmd::AddContactReply).U8("added", 0).Text("name", "dave@pelvane.test").Text("reason", "Refused sample");
    else if (name == "42") m = Message(cmd::UpdateNotice).U8("present", 1).Str("version", "9.9").Str("address", "http://update.pelvane.test/");
    else {
        char* end = nullptr;
        unsigned long type = std::strtoul(name.c_str(), &end, 0);
        if (name.empty() || *end || type > 0xFFFFFFFFul) return false;
        m = Message(uint32_t(type));  // 11, 13, 44, and any type a client must ignore
    }
    return true;
}

std::string SampleNames() {
    return "2 4 5 6 6-status0 6-status4 7 8 9 12 14 15 16 18 20 22 24 24-unknown 24-refused 26 26-refused 28 29 31 "
           "32 34 35 36 37 38 40 40-refused 42, or any type number (the type alone)";
}

}  // namespace relay
