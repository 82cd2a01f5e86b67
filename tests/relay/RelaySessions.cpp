// Sign-in with device enrolment and pad issue, presence, keys, chat and
// contact additions.
#include <fstream>

#include "Relay.h"
#include "RelayCrypto.h"

namespace relay {

namespace {

const char* kWrongCredentials = "Wrong e-mail address or password";

std::string OneLine(std::string s) {
    for (char& c : s)
        if (c == '|' || c == '\n' || c == '\r') c = ' ';
    return s;
}

}  // namespace

Account* Relay::CheckCredentials(Link& l, const Message& m) {
    l.identity = m.TextOf("identity");
    l.user = m.TextOf("user");
    Account* a = accounts_.Find(l.user);
    if (!a || a->digest != m.TextOf("digest")) {
        Log(Tag(l) + " credentials of " + l.user + " do not match");
        return nullptr;
    }
    return a;
}

void Relay::OnLogin(Link& l, const Message& m) {
    Account* a = CheckCredentials(l, m);
    Message r(cmd::LoginStep);
    if (set_.login == Answer::Refuse) return Send(l, r.U8("accepted", 0).Text("reason", set_.reason));
    if (!a) return Send(l, r.U8("accepted", 0).Text("reason", kWrongCredentials));
    const std::string* device = set_.login == Answer::Unknown ? nullptr : a->DeviceName(l.identity);
    r.U8("accepted", 1).U8("unknownDevice", device ? 0 : 1);
    if (device) r.Text("device", *device);
    Send(l, r);
}

void Relay::OnRegister(Link& l, const Message& m) {
    Account* a = CheckCredentials(l, m);
    Message r(cmd::RegistrationReply);
    std::string name = m.TextOf("device");
    if (set_.registration == Answer::Refuse) return Send(l, r.U8("registered", 0).Text("reason", set_.reason));
    if (!a) return Send(l, r.U8("registered", 0).Text("reason", kWrongCredentials));
    if (name.empty()) return Send(l, r.U8("registered", 0).Text("reason", "The device name is empty"));
    a->devices[l.identity] = name;
    Log(Tag(l) + " enrolled device " + l.identity + " as " + name + " for " + a->email);
    if (!options_.enrolFile.empty()) {
        std::ofstream out(options_.enrolFile, std::ios::app);
        out << AccountBook::DeviceLine(a->email, OneLine(l.identity), OneLine(name)) << "\n";
        if (!out) Log("could not append the enrolment to " + options_.enrolFile);
    }
    Send(l, r.U8("registered", 1));
}

void Relay::OnSession(Link& l, const Message& m) {
    Account* a = CheckCredentials(l, m);
    Message r(cmd::SessionReply);
    auto refuse = [&](const std::string& reason) { Send(l, r.U32("status", 4).Str("reason", reason)); };
    if (set_.session == Answer::Refuse) return refuse(set_.reason);
    if (!a) return refuse(kWrongCredentials);
    if (!a->DeviceName(l.identity)) return refuse("This device is not enrolled");
    if (set_.sessionStatus == 4) return refuse(set_.reason);
    if (set_.sessionStatus > 1) return Send(l, r.U32("status", uint32_t(set_.sessionStatus)));

    bool padMatches = m.Num("noPad") == 0 && m.BlobOf("padDigest") == Sha256(pad_);
    uint32_t status = padMatches && set_.padSize < 0 ? 0 : 1;
    if (set_.sessionStatus >= 0) status = uint32_t(set_.sessionStatus);
    // The client keys with the pad's first 32 bytes whatever the offset, so
    // offsets vary per link to show that.
    uint32_t offset = set_.padOffset >= 0 ? uint32_t(set_.padOffset) : uint32_t(l.id * 97 % 2017);

    if (Link* old = Online(a->email); old && old != &l) Drop(*old, "replaced by #" + std::to_string(l.id));
    l.email = a->email;
    l.publicKey = m.BlobOf("publicKey");
    online_[a->email] = l.id;
    Log(Tag(l) + " signed in as " + a->display + (status == 1 ? " with a new pad" : " with its pad"));

    r.U32("status", status);
    if (status == 1) {
        Bytes pad = pad_;
        if (set_.padSize >= 0) pad.resize(size_t(set_.padSize), 0x5A);
        r.Blob("pad", pad);
    }
    r.U32("offset", offset).Str("ownName", a->display);
    AppendContacts(r, *a);
    Send(l, r);
    Broadcast(*a, 0);
    if (set_.update)
        Send(l, Message(cmd::UpdateNotice).U8("present", 1).Str("version", set_.updateVersion).Str("address", set_.updateAddress));
}

void Relay::OnCredentials(Link& l, const Message& m) {
    if (CheckCredentials(l, m)) Log(Tag(l) + " repeated credentials match");
}

void Relay::AppendContacts(Message& m, const Account& a) {
    if (set_.listCount >= 0) {
        m.U32("count", uint32_t(set_.listCount));
        return;
    }
    std::vector<const Account*> known;
    for (const auto& email : a.contacts)
        if (const Account* c = accounts_.Find(email)) known.push_back(c);
    m.U32("count", uint32_t(known.size()));
    for (const Account* c : known) m.Text("name", c->email).Text("second", c->display);
}

void Relay::Broadcast(const Account& a, uint32_t state) {
    for (auto& [email, id] : online_) {
        Link* w = FindLink(id);
        const Account* watcher = accounts_.Find(email);
        if (w && email != a.email && watcher && watcher->HasContact(a.email))
            Send(*w, Message(cmd::ContactState).Text("name", a.email).U32("state", state));
    }
}

void Relay::SignOut(Link& l) {
    auto it = online_.find(l.email);
    if (it == online_.end() || it->second != l.id) return;
    online_.erase(it);
    Log(Tag(l) + " signed out");
    if (Call* c = CallOf(l)) EndCall(*c, &l, "link of " + Tag(l) + " lost");
    EndTransfers(l.email);
    if (const Account* a = accounts_.Find(l.email)) Broadcast(*a, 1);
}

void Relay::OnContactQuery(Link& l, const Message& m) {
    std::string name = m.TextOf("name");
    Send(l, Message(cmd::ContactState).Text("name", name).U32("state", Online(name) ? 0 : 1));
}

void Relay::OnKeyRequest(Link& l, const Message& m) {
    std::string name = m.TextOf("name");
    Link* owner = Online(name);
    Send(l, Message(cmd::ContactKey).Text("name", name).Blob("key", owner ? owner->publicKey : Bytes()));
}

void Relay::OnChat(Link& l, const Message& m) {
    std::string to = m.TextOf("to");
    Link* recipient = Online(to);
    if (!recipient) return Log(Tag(l) + " chat to " + to + " dropped: not online");
    const Account* me = accounts_.Find(l.email);
    Send(*recipient, Message(cmd::ChatIn).Text("sender", l.email).Text("second", me->display).Blob("cipher", m.BlobOf("cipher")));
}

void Relay::OnAddContact(Link& l, const Message& m) {
    std::string name = m.TextOf("name");
    Account* me = accounts_.Find(l.email);
    Message r(cmd::AddContactReply);
    std::string reason;
    if (name == l.email)
        reason = "You cannot add yourself";
    else if (!accounts_.Find(name))
        reason = "No such user";
    else if (me->HasContact(name))
        reason = "Already in your contact list";
    if (!reason.empty()) return Send(l, r.U8("added", 0).Text("name", name).Text("reason", reason));
    me->contacts.push_back(name);
    Send(l, r.U8("added", 1).Text("name", name));
    Message list(cmd::ContactList);
    AppendContacts(list, *me);
    Send(l, list);
}

}  // namespace relay
