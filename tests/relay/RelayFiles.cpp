// The file-transfer relay: offers, the key exchange and chunks travel by
// transfer id between the two accounts of a transfer.
#include "Relay.h"

namespace relay {

void Relay::OnFileOffer(Link& l, const Message& m) {
    std::string to = m.TextOf("to"), id = m.TextOf("id");
    Link* recipient = Online(to);
    if (!recipient || to == l.email)
        return Send(l, Message(cmd::TransferFailed).Str("id", id).Str("err", "The recipient is not online"));
    transfers_[id] = {l.email, to};
    const Account* me = accounts_.Find(l.email);
    Send(*recipient, Message(cmd::FileOfferIn)
                         .Text("mid", l.email)
                         .Text("alias", me->display)
                         .Str("id", id)
                         .WStr("label", m.WideOf("label"))
                         .U32("size", m.Num("size")));
}

Relay::Link* Relay::OtherSide(const Transfer& t, const Link& l, bool& isSender) {
    isSender = t.sender == l.email;
    return Online(isSender ? t.receiver : t.sender);
}

void Relay::OnFileRelay(Link& l, const Message& m, const Bytes& body) {
    std::string id = m.TextOf("id");
    auto it = transfers_.find(id);
    if (it == transfers_.end()) return Log(Tag(l) + " dropped: no transfer " + id);
    if (it->second.sender != l.email && it->second.receiver != l.email)
        return Log(Tag(l) + " dropped: not a party of transfer " + id);
    bool isSender = false;
    Link* other = OtherSide(it->second, l, isSender);
    bool ends = m.type == cmd::CancelTransfer || m.type == cmd::TransferError || m.type == cmd::TransferDone;
    if (ends) {
        transfers_.erase(it);
        Log("transfer " + id + " ends");
    }
    if (!other) return Log(Tag(l) + " dropped: the other side of transfer " + id + " is not online");
    switch (m.type) {
    case cmd::ReadyToReceive:
        return Send(*other, Message(cmd::ReadyToReceive).Str("id", id).U32("chunkRequest", set_.chunk));
    case cmd::CancelTransfer:
        return Send(*other, Message(cmd::TransferCancelled).Str("id", id));
    case cmd::TransferError:
        return Send(*other, Message(cmd::TransferFailed).Str("id", id).Str("err", m.TextOf("text")));
    default:
        return SendBody(*other, body);
    }
}

void Relay::EndTransfers(const std::string& email) {
    for (auto it = transfers_.begin(); it != transfers_.end();) {
        const Transfer& t = it->second;
        if (t.sender != email && t.receiver != email) {
            ++it;
            continue;
        }
        if (Link* other = Online(t.sender == email ? t.receiver : t.sender))
            Send(*other, Message(cmd::TransferFailed).Str("id", it->first).Str("err", "The peer went offline"));
        Log("transfer " + it->first + " ends: " + email + " went offline");
        it = transfers_.erase(it);
    }
}

}  // namespace relay
