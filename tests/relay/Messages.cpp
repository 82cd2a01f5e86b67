#include "Messages.h"

#include <cstdio>

#include "RelayCrypto.h"

namespace relay {

namespace {

struct Spec {
    Kind kind;
    const char* name;
    uint32_t limit;  // longest enciphered name a client may send here; 0 = any
};

// A layout yields the fields still to read, given those read so far; an empty
// answer ends the message. Flat layouts answer once.
using NextFn = std::vector<Spec> (*)(const Message& sofar);

struct Layout {
    uint32_t type;
    const char* title;
    std::vector<Spec> fields;
    NextFn next;
};

const uint32_t kIdLimit = 1024;  // identity and user name: enciphered into 1024 bytes
const uint32_t kNameLimit = 256;

std::vector<Spec> ListPairs(const Message& m, size_t countIndex) {
    uint32_t count = m.fields[countIndex].words[0];
    size_t read = (m.fields.size() - countIndex - 1) / 2;
    if (read >= count) return {};
    return {{Kind::Text, "name", 0}, {Kind::Text, "second", 0}};
}

std::vector<Spec> NextContactList(const Message& m) {
    if (m.fields.empty()) return {{Kind::U32, "count", 0}};
    return ListPairs(m, 0);
}

std::vector<Spec> NextSessionReply(const Message& m) {
    if (m.fields.empty()) return {{Kind::U32, "status", 0}};
    uint32_t status = m.fields[0].words[0];
    if (m.fields.size() == 1) {
        if (status == 0) return {{Kind::U32, "offset", 0}, {Kind::Str, "ownName", 0}, {Kind::U32, "count", 0}};
        if (status == 1)
            return {{Kind::Blob, "pad", 0}, {Kind::U32, "offset", 0}, {Kind::Str, "ownName", 0}, {Kind::U32, "count", 0}};
        if (status == 4) return {{Kind::Str, "reason", 0}};
        return {};
    }
    if (status == 0) return ListPairs(m, 3);
    if (status == 1) return ListPairs(m, 4);
    return {};
}

std::vector<Spec> NextLoginStep(const Message& m) {
    if (m.fields.empty()) return {{Kind::U8, "accepted", 0}};
    bool accepted = m.fields[0].words[0] != 0;
    if (m.fields.size() == 1) {
        if (accepted) return {{Kind::U8, "unknownDevice", 0}};
        return {{Kind::Text, "reason", 0}};
    }
    if (accepted && m.fields.size() == 2 && m.fields[1].words[0] == 0) return {{Kind::Text, "device", 0}};
    return {};
}

std::vector<Spec> NextRegistrationReply(const Message& m) {
    if (m.fields.empty()) return {{Kind::U8, "registered", 0}};
    if (m.fields.size() == 1 && m.fields[0].words[0] == 0) return {{Kind::Text, "reason", 0}};
    return {};
}

std::vector<Spec> NextAddContactReply(const Message& m) {
    if (m.fields.empty()) return {{Kind::U8, "added", 0}, {Kind::Text, "name", 0}};
    if (m.fields.size() == 2 && m.fields[0].words[0] == 0) return {{Kind::Text, "reason", 0}};
    return {};
}

std::vector<Spec> NextUpdateNotice(const Message& m) {
    if (m.fields.empty()) return {{Kind::U8, "present", 0}};
    if (m.fields.size() == 1 && m.fields[0].words[0] != 0) return {{Kind::Str, "version", 0}, {Kind::Str, "address", 0}};
    return {};
}

// Server to client, by first-set type; twins use the same layout.
const std::vector<Layout>& ServerLayouts() {
    static const std::vector<Layout> layouts = {
        {cmd::ContactList, "contact list", {}, NextContactList},
        {cmd::ProbeTarget, "probe target", {{Kind::Text, "host", 0}, {Kind::U16, "port", 0}}, nullptr},
        {cmd::PeerAddress, "peer media address", {{Kind::U32, "address", 0}, {Kind::U16, "port", 0}}, nullptr},
        {cmd::SessionReply, "session reply", {}, NextSessionReply},
        {cmd::CallReply, "call request reply", {{Kind::U32, "code", 0}}, nullptr},
        {cmd::IncomingCall, "incoming call",
         {{Kind::Text, "caller", 0}, {Kind::Text, "second", 0}, {Kind::U32, "offer", 0}}, nullptr},
        {cmd::DirectProbing, "direct probing", {{Kind::Addr, "peer", 0}}, nullptr},
        {cmd::MediaConnected, "media connected", {}, nullptr},
        {cmd::CallAccepted, "call accepted", {{Kind::U32, "codec", 0}, {Kind::U32, "mode", 0}}, nullptr},
        {cmd::CallEnded, "call ended", {}, nullptr},
        {cmd::ServerProbing, "server probing", {{Kind::Str, "host", 0}, {Kind::U16, "port", 0}}, nullptr},
        {cmd::KeyOffer, "key offer", {{Kind::Blob, "p", 0}, {Kind::Blob, "g", 0}, {Kind::Blob, "public", 0}}, nullptr},
        {cmd::KeyAnswer, "key answer", {{Kind::Blob, "public", 0}}, nullptr},
        {cmd::ChatIn, "chat text", {{Kind::Text, "sender", 0}, {Kind::Text, "second", 0}, {Kind::Blob, "cipher", 0}}, nullptr},
        {cmd::ContactKey, "contact key", {{Kind::Text, "name", 0}, {Kind::Blob, "key", 0}}, nullptr},
        {cmd::ContactState, "contact state", {{Kind::Text, "name", 0}, {Kind::U32, "state", 0}}, nullptr},
        {cmd::LoginStep, "login step", {}, NextLoginStep},
        {cmd::RegistrationReply, "registration reply", {}, NextRegistrationReply},
        {cmd::TransferFailed, "transfer failed", {{Kind::Str, "id", 0}, {Kind::Str, "err", 0}}, nullptr},
        {cmd::FileOfferIn, "file offer",
         {{Kind::Text, "mid", 0}, {Kind::Text, "alias", 0}, {Kind::Str, "id", 0}, {Kind::WStr, "label", 0},
          {Kind::U32, "size", 0}},
         nullptr},
        {cmd::TransferCancelled, "transfer cancelled", {{Kind::Str, "id", 0}}, nullptr},
        {cmd::ReceiverKey, "receiver key", {{Kind::Str, "id", 0}, {Kind::Blob, "publicKey", 0}}, nullptr},
        {cmd::WrappedKey, "wrapped file key", {{Kind::Str, "id", 0}, {Kind::Blob, "transferKey", 0}}, nullptr},
        {cmd::ReadyToReceive, "receiver ready", {{Kind::Str, "id", 0}, {Kind::U32, "chunkRequest", 0}}, nullptr},
        {cmd::FileChunk, "file chunk",
         {{Kind::Str, "id", 0}, {Kind::Blob, "block", 0}, {Kind::U32, "blockSize", 0}, {Kind::U32, "blockNum", 0}},
         nullptr},
        {cmd::TransferDone, "transfer done", {{Kind::Str, "id", 0}}, nullptr},
        {cmd::ChunkAck, "chunk acknowledged", {{Kind::Str, "id", 0}, {Kind::U32, "blockNum", 0}}, nullptr},
        {cmd::AddContactReply, "add-contact reply", {}, NextAddContactReply},
        {cmd::UpdateNotice, "update notice", {}, NextUpdateNotice},
        {cmd::CallSignal, "call-page signal", {}, nullptr},
    };
    return layouts;
}

const std::vector<Layout>& ClientLayouts() {
    static const std::vector<Spec> credentials = {
        {Kind::Enc, "identity", kIdLimit}, {Kind::Enc, "user", kIdLimit}, {Kind::Str, "digest", 0}};
    auto with = [](std::vector<Spec> head, std::vector<Spec> tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    static const std::vector<Layout> layouts = {
        {cmd::ProbeReport, "probe report", {{Kind::U8, "relayed", 0}, {Kind::U8, "relayed2", 0}}, nullptr},
        {cmd::CallAccepted, "accept call", {{Kind::I32, "value", 0}}, nullptr},
        {cmd::CallEnded, "hang up", {}, nullptr},
        {cmd::KeyOffer, "key offer", {{Kind::Blob, "p", 0}, {Kind::Blob, "g", 0}, {Kind::Blob, "public", 0}}, nullptr},
        {cmd::KeyAnswer, "key answer", {{Kind::Blob, "public", 0}}, nullptr},
        {cmd::CancelTransfer, "cancel transfer", {{Kind::Str, "id", 0}}, nullptr},
        {cmd::ReceiverKey, "accept file", {{Kind::Str, "id", 0}, {Kind::Blob, "publicKey", 0}}, nullptr},
        {cmd::TransferError, "transfer error", {{Kind::Str, "id", 0}, {Kind::Str, "text", 0}}, nullptr},
        {cmd::WrappedKey, "wrapped file key", {{Kind::Str, "id", 0}, {Kind::Blob, "transferKey", 0}}, nullptr},
        {cmd::ReadyToReceive, "ready to receive", {{Kind::Str, "id", 0}}, nullptr},
        {cmd::FileChunk, "file chunk",
         {{Kind::Str, "id", 0}, {Kind::Blob, "block", 0}, {Kind::I32, "blockSize", 0}, {Kind::I32, "blockNum", 0}},
         nullptr},
        {cmd::TransferDone, "transfer done", {{Kind::Str, "id", 0}}, nullptr},
        {cmd::ChunkAck, "chunk received", {{Kind::Str, "id", 0}, {Kind::I32, "blockNum", 0}}, nullptr},
        {cmd::CallSignalAnswer, "call-page answer", {}, nullptr},
        {cmd::Login, "login request", credentials, nullptr},
        {cmd::Session, "session request",
         with(credentials, {{Kind::Blob, "publicKey", 0}, {Kind::U8, "noPad", 0}, {Kind::Blob, "padDigest", 0},
                            {Kind::Caps, "caps", 0}}),
         nullptr},
        {cmd::RegisterDevice, "device registration",
         with(credentials, {{Kind::Enc, "device", kNameLimit}, {Kind::I32, "one", 0}, {Kind::Enc, "kindEnc", 16},
                            {Kind::Str, "kind", 0}}),
         nullptr},
        {cmd::ContactQuery, "contact query", {{Kind::Enc, "name", kNameLimit}}, nullptr},
        {cmd::CallRequest, "call request", {{Kind::Enc, "callee", kNameLimit}, {Kind::I32, "offer", 0}}, nullptr},
        {cmd::ChatOut, "chat text", {{Kind::Enc, "to", kNameLimit}, {Kind::Blob, "cipher", 0}}, nullptr},
        {cmd::KeyRequest, "key request", {{Kind::Enc, "name", kNameLimit}}, nullptr},
        {cmd::FileOfferOut, "file offer",
         {{Kind::Enc, "to", kNameLimit}, {Kind::Str, "id", 0}, {Kind::WStr, "label", 0}, {Kind::U32, "size", 0}},
         nullptr},
        {cmd::AddContact, "add contact", {{Kind::Enc, "name", kNameLimit}}, nullptr},
        {cmd::Credentials, "repeated credentials", credentials, nullptr},
    };
    return layouts;
}

const Layout* FindLayout(uint32_t type, Direction direction) {
    const auto& table = direction == Direction::FromClient ? ClientLayouts() : ServerLayouts();
    uint32_t base = direction == Direction::FromClient ? type : BaseOf(type);
    for (const auto& l : table)
        if (l.type == base) return &l;
    return nullptr;
}

std::vector<Spec> NextFields(const Layout& l, const Message& sofar) {
    if (l.next) return l.next(sofar);
    return sofar.fields.empty() ? l.fields : std::vector<Spec>();
}

bool ReadField(ByteReader& r, Field& f) {
    uint8_t b = 0;
    uint16_t h = 0;
    switch (f.kind) {
    case Kind::U8:
        if (!r.U8(b)) return false;
        f.words[0] = b;
        return true;
    case Kind::U16:
        if (!r.U16(h)) return false;
        f.words[0] = h;
        return true;
    case Kind::U32:
    case Kind::I32:
        return r.U32(f.words[0]);
    case Kind::Addr:
        return r.Remaining() >= 8 && r.U32(f.words[0]) && r.U32(f.words[1]);
    case Kind::Caps:
        return r.Remaining() >= 12 && r.U32(f.words[0]) && r.U32(f.words[1]) && r.U32(f.words[2]);
    case Kind::Str:
        return r.Str(f.text);
    case Kind::WStr:
        return r.WStr(f.wide);
    case Kind::Blob:
        return r.Blob(f.bytes);
    case Kind::Enc:
        if (!r.Blob(f.bytes)) return false;
        f.text = DecipherName(f.bytes);
        return true;
    case Kind::Text:
        return false;  // resolved before reading
    }
    return false;
}

bool IsLowerHex(const std::string& s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// What a correct client never sends, beyond the layout itself.
void CheckClientValues(Decoded& d) {
    const Message& m = d.message;
    auto fault = [&](const std::string& s) { d.faults.push_back(s); };
    const Layout* l = FindLayout(m.type, Direction::FromClient);
    for (const Field& f : m.fields) {
        if (f.kind != Kind::Enc) continue;
        if (f.bytes.size() % 16) fault(f.name + ": " + std::to_string(f.bytes.size()) + " bytes is not whole blocks");
        for (const Spec& s : l->fields)
            if (s.name == f.name && s.limit && f.bytes.size() > s.limit)
                fault(f.name + ": " + std::to_string(f.bytes.size()) + " bytes, longer than " + std::to_string(s.limit));
    }
    if (const Field* digest = m.Get("digest"))
        if (digest->text.size() != 32 || !IsLowerHex(digest->text)) fault("digest is not 32 lower-case hex digits");
    switch (m.type) {
    case cmd::Session: {
        const Field* caps = m.Get("caps");
        if (caps->words != std::array<uint32_t, 3>{1, 0, 1}) fault("caps are not 1, 0, 1");
        if (m.BlobOf("padDigest").size() != 32) fault("pad digest is not 32 bytes");
        if (m.Num("noPad") > 1) fault("noPad is not a bool");
        Bytes key = m.BlobOf("publicKey");
        if (key.size() != 49 || (key[0] != 2 && key[0] != 3)) fault("public key is not a compressed point");
        break;
    }
    case cmd::RegisterDevice:
        if (m.Num("one") != 1) fault("the constant field is not 1");
        if (m.TextOf("kind") != "PC" || m.Get("kindEnc")->text != "PC") fault("device kind is not PC");
        break;
    case cmd::ProbeReport:
        if (m.Num("relayed") != m.Num("relayed2") || m.Num("relayed") > 1) fault("report flags differ or are not bools");
        break;
    case cmd::FileChunk:
        if (m.Num("blockSize") > m.BlobOf("block").size()) fault("blockSize exceeds the block");
        if (int32_t(m.Num("blockNum")) < 1) fault("blockNum below 1");
        break;
    default:
        break;
    }
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string FormatField(const Field& f) {
    const size_t shown = 16;
    std::string v;
    switch (f.kind) {
    case Kind::U8:
    case Kind::U16:
    case Kind::U32:
        v = std::to_string(f.words[0]);
        break;
    case Kind::I32:
        v = std::to_string(int32_t(f.words[0]));
        break;
    case Kind::Addr:
        v = std::to_string(f.words[0] >> 24) + "." + std::to_string(f.words[0] >> 16 & 255) + "." +
            std::to_string(f.words[0] >> 8 & 255) + "." + std::to_string(f.words[0] & 255) + ":" +
            std::to_string(f.words[1] & 0xFFFF);
        if (f.words[1] >> 16) v += "(+" + std::to_string(f.words[1] >> 16) + ")";
        break;
    case Kind::Caps:
        v = std::to_string(f.words[0]) + "," + std::to_string(f.words[1]) + "," + std::to_string(f.words[2]);
        break;
    case Kind::Str:
    case Kind::Text:
        v = Quote(f.text);
        break;
    case Kind::WStr:
        v = "W" + Quote(WideToUtf8(f.wide));
        break;
    case Kind::Blob:
        v = "B" + std::to_string(f.bytes.size()) + ":" + Hex(f.bytes.data(), std::min(f.bytes.size(), shown)) +
            (f.bytes.size() > shown ? ".." : "");
        break;
    case Kind::Enc:
        v = "E" + std::to_string(f.bytes.size()) + Quote(f.text);
        break;
    }
    return f.name + "=" + v;
}

}  // namespace

uint32_t TwinOf(uint32_t type) {
    switch (type) {
    case cmd::ContactState: return 104;
    case cmd::ContactList: return 105;
    case cmd::SessionReply: return 106;
    case cmd::ProbeTarget: return 108;
    case cmd::IncomingCall: return 109;
    case cmd::ChatIn: return 111;
    case cmd::ContactKey: return 113;
    case cmd::LoginStep: return 114;
    case cmd::RegistrationReply: return 115;
    case cmd::FileOfferIn: return 117;
    case cmd::AddContactReply: return 119;
    default: return 0;
    }
}

uint32_t BaseOf(uint32_t type) {
    static const uint32_t bases[] = {cmd::ContactState, cmd::ContactList, cmd::SessionReply, cmd::ProbeTarget,
                                     cmd::IncomingCall, cmd::ChatIn, cmd::ContactKey, cmd::LoginStep,
                                     cmd::RegistrationReply, cmd::FileOfferIn, cmd::AddContactReply};
    for (uint32_t b : bases)
        if (TwinOf(b) == type) return b;
    return type;
}

Field& Message::Add(Kind k, const std::string& name) {
    fields.emplace_back(k, name);
    return fields.back();
}

Message& Message::Addr(const std::string& name, uint32_t address, uint16_t port) {
    Add(Kind::Addr, name).words = {address, port, 0};
    return *this;
}

Message& Message::Caps(uint32_t a, uint32_t b, uint32_t c) {
    Add(Kind::Caps, "caps").words = {a, b, c};
    return *this;
}

const Field* Message::Get(const std::string& name) const {
    for (const Field& f : fields)
        if (f.name == name) return &f;
    return nullptr;
}

uint32_t Message::Num(const std::string& name) const {
    const Field* f = Get(name);
    return f ? f->words[0] : 0;
}

std::string Message::TextOf(const std::string& name) const {
    const Field* f = Get(name);
    return f ? f->text : std::string();
}

Bytes Message::BlobOf(const std::string& name) const {
    const Field* f = Get(name);
    return f ? f->bytes : Bytes();
}

Wide Message::WideOf(const std::string& name) const {
    const Field* f = Get(name);
    return f ? f->wide : Wide();
}

Bytes Encode(const Message& m, const EncodeOptions& o) {
    bool twin = o.twin && TwinOf(m.type) != 0;
    ByteWriter w;
    w.U32(twin ? TwinOf(m.type) : m.type);
    size_t count = o.cut < 0 ? m.fields.size() : std::min(m.fields.size(), size_t(o.cut));
    for (size_t i = 0; i < count; ++i) {
        const Field& f = m.fields[i];
        Kind k = f.kind == Kind::Text ? (twin ? Kind::Enc : Kind::Str) : f.kind;
        switch (k) {
        case Kind::U8: w.U8(uint8_t(f.words[0])); break;
        case Kind::U16: w.U16(uint16_t(f.words[0])); break;
        case Kind::U32:
        case Kind::I32: w.U32(f.words[0]); break;
        case Kind::Addr: w.U32(f.words[0]).U32(f.words[1]); break;
        case Kind::Caps: w.U32(f.words[0]).U32(f.words[1]).U32(f.words[2]); break;
        case Kind::Str: w.Str(f.text); break;
        case Kind::WStr: w.WStr(f.wide); break;
        case Kind::Blob: w.Blob(f.bytes); break;
        case Kind::Enc:
            if (o.encLength >= 0)
                w.Blob(EncipherBlocks(Bytes(size_t(o.encLength), 'x')));
            else
                w.Blob(f.rawEnc ? f.bytes : EncipherName(f.text));
            break;
        case Kind::Text: break;
        }
    }
    return w.Data();
}

Decoded Decode(const Bytes& body, Direction direction) {
    Decoded d;
    d.direction = direction;
    ByteReader r(body);
    if (!r.U32(d.message.type)) {
        d.error = "body of " + std::to_string(body.size()) + " bytes holds no type";
        return d;
    }
    const Layout* l = FindLayout(d.message.type, direction);
    if (!l) {
        d.error = "unknown type";
        return d;
    }
    d.known = true;
    bool twin = direction == Direction::ToClient && BaseOf(d.message.type) != d.message.type;
    for (std::vector<Spec> specs; !(specs = NextFields(*l, d.message)).empty();) {
        for (const Spec& s : specs) {
            Kind k = s.kind == Kind::Text ? (twin ? Kind::Enc : Kind::Str) : s.kind;
            Field f{k, s.name};
            if (!ReadField(r, f)) {
                d.error = "short at field " + std::string(s.name);
                return d;
            }
            d.message.fields.push_back(f);
        }
    }
    if (r.Remaining()) {
        d.error = std::to_string(r.Remaining()) + " bytes left over";
        return d;
    }
    d.complete = true;
    if (direction == Direction::FromClient) CheckClientValues(d);
    return d;
}

std::string Format(const Decoded& d) {
    std::string line = std::to_string(d.message.type);
    if (const char* name = CommandName(d.message.type, d.direction)) line += std::string(" ") + name;
    for (const Field& f : d.message.fields) line += " " + FormatField(f);
    if (!d.complete) line += " [" + d.error + "]";
    for (const std::string& f : d.faults) line += " [" + f + "]";
    return line;
}

const char* CommandName(uint32_t type, Direction direction) {
    const Layout* l = FindLayout(type, direction);
    return l ? l->title : nullptr;
}

}  // namespace relay
