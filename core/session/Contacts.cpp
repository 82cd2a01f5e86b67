// Contacts, their public keys and chat texts: the contact table filled by
// the server, the keys that make chat end-to-end encrypted, and add-contact.
#include <vector>

#include "base/TextHelpers.h"
#include "crypto/CryptoCore.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"

namespace {
bool SendNameCommand(VoIPManager& manager, uint32_t type, const std::string& name)
{
    CmdMsg message(type);
    AppendBuf(message.GetFieldList(), GetCryptoCore()->EncryptName(name));
    return manager.Send(message);
}

// Cuts a text longer than the bound before it goes to any window, with a
// mark that shows it was cut; a surrogate pair stays whole or goes whole.
void CutChatText(std::wstring& text)
{
    if (text.size() <= VoIPManager::kMaxChatTextUnits)
        return;
    text = HeadUnits(text, VoIPManager::kMaxChatTextUnits);
    text.push_back(VoIPManager::kChatCutMark);
}
}  // namespace

void VoIPManager::GetContacts(ContactTable& out)
{
    ScopedLock lock(contactsLock);
    out = contacts;
}

void VoIPManager::ReadContactList(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    ScopedLock lock(contactsLock);
    contacts.Clear();
    uint32_t count = 0;
    if (!reader.ReadU32(count).IsOk())
        return;
    // The count is the server's word; the body, and the table's bound,
    // decide how many pairs there are.
    for (uint32_t i = 0; i < count && !contacts.IsFull(); ++i) {
        std::string name, secondText;
        if (!ReadText(reader, twin, name) || !ReadText(reader, twin, secondText))
            break;
        contacts.Add(name, secondText, 1);
    }
}

void VoIPManager::OnContactList(CmdMsg& message, bool twin)
{
    ScopedLock lock(contactsLock);
    ReadContactList(message, twin);
    handlerRegistry.Broadcast(VE_ContactsChanged);
}

void VoIPManager::SendContactQueries()
{
    std::vector<std::string> names;
    {
        ScopedLock lock(contactsLock);
        for (const auto& kv : contacts.Entries())
            names.push_back(kv.second.name);
    }
    // Sent after the contacts lock is released: the link lock comes first.
    for (const std::string& name : names)
        SendContactQuery(name);
}

bool VoIPManager::SendContactQuery(const std::string& name)
{
    return CryptoCore::NameFits(name) && SendNameCommand(*this, CmdHeader::ContactQuery, name);
}

bool VoIPManager::RequestPeerKey(const std::string& name)
{
    if (!IsConnected() || !CryptoCore::NameFits(name))
        return false;
    return SendNameCommand(*this, CmdHeader::KeyRequest, name);
}

void VoIPManager::OnContactState(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    VoipEventTextInt state;
    state.value = 0;
    if (!ReadText(reader, twin, state.text) || !reader.ReadU32(state.value).IsOk())
        return;
    if (state.value == 0)
        RequestPeerKey(state.text);
    else
        RemovePeerKey(state.text);
    handlerRegistry.Broadcast(VE_ContactState, state);
}

void VoIPManager::OnContactKey(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    std::string name;
    Buf key;
    if (ReadText(reader, twin, name) && reader.ReadBuf(key).IsOk())
        StorePeerKey(name, key);
}

void VoIPManager::StorePeerKey(const std::string& name, const Buf& key)
{
    if (key.GetSize() == 0)
        return;
    ScopedLock lock(peerKeysLock);
    peerKeys[name] = key;
}

void VoIPManager::RemovePeerKey(const std::string& name)
{
    ScopedLock lock(peerKeysLock);
    peerKeys.erase(name);
}

bool VoIPManager::HasPeerKey(const std::string& name)
{
    ScopedLock lock(peerKeysLock);
    return peerKeys.count(name) != 0;
}

bool VoIPManager::EncryptForContact(const std::string& name, const std::wstring& text, Buf& cipher)
{
    Buf key;
    {
        ScopedLock lock(peerKeysLock);
        auto it = peerKeys.find(name);
        if (it == peerKeys.end())
            return false;
        key = it->second;
    }
    return GetCryptoCore()->EncryptForPeer(text, key, cipher);
}

bool VoIPManager::SendChatMessage(const std::string& name, const std::wstring& text)
{
    if (!IsConnected() || !CryptoCore::NameFits(name))
        return false;
    Buf cipher;
    if (!EncryptForContact(name, text, cipher))
        return false;
    CmdMsg message(CmdHeader::ChatTextOut);
    AppendBuf(message.GetFieldList(), GetCryptoCore()->EncryptName(name));
    AppendBuf(message.GetFieldList(), cipher);
    return Send(message);
}

void VoIPManager::OnChatText(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    std::string sender, secondName;
    Buf cipher;
    if (!ReadText(reader, twin, sender) || !ReadText(reader, twin, secondName)
        || !reader.ReadBuf(cipher).IsOk())
        return;
    // A text that does not decrypt arrives empty.
    std::wstring text;
    GetCryptoCore()->DecryptFromPeer(cipher, text);
    CutChatText(text);
    handlerRegistry.Broadcast(VE_ChatText, VoipEventChat(sender, secondName, text));
}

void VoIPManager::AddContact(const std::string& name)
{
    if (!CryptoCore::NameFits(name) || !SendNameCommand(*this, CmdHeader::AddContact, name))
        handlerRegistry.Broadcast(VE_AddContactFailed, TextPair{name, GetLanguageString(71)});
}

void VoIPManager::OnAddContactReply(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    uint8_t added = 0;
    TextPair result;
    if (!reader.ReadU8(added).IsOk() || !ReadText(reader, twin, result.first))
        return;
    if (added) {
        handlerRegistry.Broadcast(VE_AddContactDone, VoipEventText{result.first});
        return;
    }
    // A refusal whose reason is cut off is still a refusal.
    ReadText(reader, twin, result.second);
    handlerRegistry.Broadcast(VE_AddContactFailed, result);
}
