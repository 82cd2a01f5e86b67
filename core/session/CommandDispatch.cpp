// Every received command goes through HandleCmd to its handler; every request
// goes out through Send.
#include "crypto/CryptoCore.h"
#include "session/VoIPManager.h"

// Types 104 to 119 from the server are twins of first-set types that carry
// their texts enciphered with the built-in key. A row with a call state is
// only taken in that state; a type taken in two states has a row for each.
const VoIPManager::Route VoIPManager::kRoutes[] = {
    {CmdHeader::ContactList, &VoIPManager::OnContactList, false, kAnyState},
    {CmdHeader::ContactListEnc, &VoIPManager::OnContactList, true, kAnyState},
    {CmdHeader::SessionReply, &VoIPManager::OnSessionReply, false, kAnyState},
    {CmdHeader::SessionReplyEnc, &VoIPManager::OnSessionReply, true, kAnyState},
    {CmdHeader::ChatText, &VoIPManager::OnChatText, false, kAnyState},
    {CmdHeader::ChatTextEnc, &VoIPManager::OnChatText, true, kAnyState},
    {CmdHeader::ContactKey, &VoIPManager::OnContactKey, false, kAnyState},
    {CmdHeader::ContactKeyEnc, &VoIPManager::OnContactKey, true, kAnyState},
    {CmdHeader::ContactState, &VoIPManager::OnContactState, false, kAnyState},
    {CmdHeader::ContactStateEnc, &VoIPManager::OnContactState, true, kAnyState},
    {CmdHeader::LoginStep, &VoIPManager::OnLoginStep, false, kAnyState},
    {CmdHeader::LoginStepEnc, &VoIPManager::OnLoginStep, true, kAnyState},
    {CmdHeader::RegistrationReply, &VoIPManager::OnRegistrationReply, false, kAnyState},
    {CmdHeader::RegistrationReplyEnc, &VoIPManager::OnRegistrationReply, true, kAnyState},
    {CmdHeader::AddContactReply, &VoIPManager::OnAddContactReply, false, kAnyState},
    {CmdHeader::AddContactReplyEnc, &VoIPManager::OnAddContactReply, true, kAnyState},
    {CmdHeader::UpdateNotice, &VoIPManager::OnUpdateNotice, false, kAnyState},
    {CmdHeader::CallRequestReply, &VoIPManager::OnCallReply, false, kAnyState},
    {CmdHeader::IncomingCall, &VoIPManager::OnIncomingCall, false, 0},
    {CmdHeader::IncomingCallEnc, &VoIPManager::OnIncomingCall, true, 0},
    // Taken only while a call is set up: the handlers check.
    {CmdHeader::KeyOffer, &VoIPManager::OnKeyOffer, false, kAnyState},
    {CmdHeader::KeyAnswer, &VoIPManager::OnKeyAnswer, false, kAnyState},
    {CmdHeader::ProbeTarget, &VoIPManager::OnProbeTarget, false, kAnyState},
    {CmdHeader::ProbeTargetEnc, &VoIPManager::OnProbeTarget, true, kAnyState},
    {CmdHeader::PeerMediaAddress, &VoIPManager::OnPeerAddress, false, kAnyState},
    {CmdHeader::DirectProbing, &VoIPManager::OnDirectProbing, false, 1},
    {CmdHeader::ServerProbing, &VoIPManager::OnServerProbing, false, 4},
    {CmdHeader::MediaConnected, &VoIPManager::OnMediaConnected, false, 4},
    // The peer's acceptance: the caller's media waits for it; the callee,
    // which accepted first, takes it while it talks. The handler refuses
    // it to a callee that has not accepted.
    {CmdHeader::CallAccepted, &VoIPManager::OnCallAccepted, false, 5},
    {CmdHeader::CallAccepted, &VoIPManager::OnCallAccepted, false, 6},
    {CmdHeader::CallEnded, &VoIPManager::OnCallEnded, false, kAnyState},
    {CmdHeader::CallPageSignal, &VoIPManager::OnCallSignal, false, kAnyState},
    {CmdHeader::FileOffer, &VoIPManager::OnFileOffer, false, kAnyState},
    {CmdHeader::FileOfferEnc, &VoIPManager::OnFileOffer, true, kAnyState},
    {CmdHeader::ReceiverKey, &VoIPManager::OnFileKeyRequest, false, kAnyState},
    {CmdHeader::WrappedFileKey, &VoIPManager::OnFileKeyWrapped, false, kAnyState},
    {CmdHeader::ReadyToReceive, &VoIPManager::OnFileReady, false, kAnyState},
    {CmdHeader::FileChunk, &VoIPManager::OnFileChunk, false, kAnyState},
    {CmdHeader::ChunkAck, &VoIPManager::OnFileChunkAck, false, kAnyState},
    {CmdHeader::TransferDone, &VoIPManager::OnFileDone, false, kAnyState},
    {CmdHeader::TransferFailed, &VoIPManager::OnFileFailed, false, kAnyState},
    {CmdHeader::TransferCancelled, &VoIPManager::OnFileCancelled, false, kAnyState},
};

const VoIPManager::Route* VoIPManager::FindRoute(uint32_t type, int32_t state)
{
    for (const Route& r : kRoutes)
        if (r.type == type && (r.callState == kAnyState || r.callState == state))
            return &r;
    return nullptr;
}

int VoIPManager::HandleCmd(CmdMsg& message)
{
    uint32_t type = 0;
    if (!message.GetReader().ReadU32(type).IsOk())
        return 0;
    if (type - 2u > 117u)
        return 0;
    const Route* route = FindRoute(type, callState);
    if (!route)
        return 0;
    (this->*route->handler)(message, route->twin);
    return 1;
}

namespace {
bool IsSignInCommand(uint32_t type)
{
    return type == CmdHeader::LoginRequest || type == CmdHeader::SessionRequest
        || type == CmdHeader::DeviceRegistration || type == CmdHeader::RepeatedCredentials;
}
}  // namespace

bool VoIPManager::Send(CmdMsg& message)
{
    const bool signIn = IsSignInCommand(message.GetCommand());
    // Refused before the lock too: a window must not wait for a pump only
    // to learn that the session is not signed in.
    if (!sessionReady && !signIn)
        return false;
    ScopedLock lock(linkLock);
    // Again under the lock: a reset may have come between.
    if (!sessionReady && !signIn)
        return false;
    return link.Queue(message);
}

bool VoIPManager::ReadText(BufReader& reader, bool twin, std::string& text) const
{
    if (!twin) {
        if (!reader.ReadString(text).IsOk())
            return false;
        // As long as an enciphered one may be: the windows show such texts
        // as names and headers, and one of megabytes would stall them.
        if (text.size() > CryptoCore::kNameArea)
            text.resize(CryptoCore::kNameArea);
        return true;
    }
    Buf enciphered;
    if (!reader.ReadBuf(enciphered).IsOk())
        return false;
    // Deciphered into the 256-byte area and cut at its first zero byte, so
    // an oversized name yields at most 256 bytes.
    text = GetCryptoCore()->DecryptName(enciphered);
    return true;
}

void VoIPManager::OnUpdateNotice(CmdMsg& message, bool)
{
    BufReader& reader = message.GetReader();
    uint8_t present = 0;
    if (!reader.ReadU8(present).IsOk() || !present)
        return;
    TextPair notice;
    if (reader.ReadString(notice.first).ReadString(notice.second).IsOk())
        handlerRegistry.Broadcast(VE_UpdateNotice, notice);
}
