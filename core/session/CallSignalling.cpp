// Call signalling: the requests and handlers of a voice call, its key
// exchange and its path probing. The dispatch takes 8/109 only when idle,
// 15, 16 and 9 only once the call is agreed, 11 and 14 only after a probe
// report, and 12 once the media is connected: by the side that placed the
// call, or by a callee once it accepted. Every end of a call stops its
// media here, on whichever thread takes the end.
#include <winsock2.h>

#include "crypto/CryptoCore.h"
#include "media/CodecSet.h"
#include "session/VoIPManager.h"
#include "wire/HostNames.h"

namespace {
const int32_t kIdle = 0;
const int32_t kAgreed = 1;
const int32_t kDirectProbing = 2;
const int32_t kServerProbing = 3;
const int32_t kConnected = 5;
const int32_t kTalking = 6;
// A refusal of this side's own, for a request that never left: no server
// sends it.
const int32_t kCallNotSent = -1;
}  // namespace

void VoIPManager::PlaceCall(const std::string& callee)
{
    handlerRegistry.Broadcast(VE_CallRequested, VoipEventByte{1});
    // The cipher would cut a longer name and ring someone else: refused as
    // a call the server refuses, which the call page reports and closes on.
    if (!CryptoCore::NameFits(callee)) {
        handlerRegistry.Broadcast(VE_CallReply, VoipEventValue{kCallNotSent});
        return;
    }
    if (!IsConnected())
        return;
    CmdMsg message(CmdHeader::CallRequest);
    AppendBuf(message.GetFieldList(), GetCryptoCore()->EncryptName(callee));
    AppendInt4(message.GetFieldList(),
               GetCodecSet()->GetSupportedMask() | AudioEngine::GetSupportedModes());
    // Marked before the send: the reply may be handled before Send returns.
    callRequested = true;
    if (!Send(message))
        callRequested = false;
}

bool VoIPManager::AcceptCall()
{
    bool started;
    {
        ScopedLock guard(callLock);
        // A second accept must not start a second set of media threads.
        if (mediaEngine.IsRunning())
            return true;
        // A call that ended before this accept was taken (the peer hung up
        // meanwhile) starts nothing: its end was taken already.
        started = callState != kIdle && StartMedia();
    }
    if (!started) {
        EndCall();
        return false;
    }
    CmdMsg message(CmdHeader::CallAccepted);
    AppendInt4(message.GetFieldList(), GetCodecSet()->GetType() | mediaEngine.GetCallMode());
    Send(message);
    return true;
}

bool VoIPManager::StartMedia()
{
    mediaEngine.SetState(AudioEngine::kStateTalking);
    if (!mediaEngine.Start())
        return false;
    ++mediaNumber;
    // Talking before the acceptance goes out: the peer's, which answers it,
    // is taken from a callee only once it talks.
    callState = kTalking;
    return true;
}

void VoIPManager::StopCall()
{
    mediaEngine.SignalStop();
    mediaEngine.SetState(AudioEngine::kStateProbing);
    mediaEngine.Stop();
    callRequested = false;
    callState = kIdle;
}

void VoIPManager::ReportOwnHangUp()
{
    CmdMsg message(CmdHeader::CallEnded);
    Send(message);
    handlerRegistry.Broadcast(VE_CallEnded);
}

void VoIPManager::EndCall()
{
    {
        ScopedLock guard(callLock);
        StopCall();
    }
    ReportOwnHangUp();
}

bool VoIPManager::EndCallOfMedia(uint32_t number)
{
    {
        ScopedLock guard(callLock);
        if (number != mediaNumber || !mediaEngine.IsRunning())
            return false;
        StopCall();
    }
    ReportOwnHangUp();
    return true;
}

uint32_t VoIPManager::GetMediaNumber()
{
    ScopedLock guard(callLock);
    return mediaNumber;
}

void VoIPManager::EndCallOnReset()
{
    ScopedLock guard(callLock);
    StopCall();
}

bool VoIPManager::SendCommand43()
{
    CmdMsg message(CmdHeader::CallPageAnswer);
    return Send(message);
}

std::wstring VoIPManager::GetVerificationCode() const
{
    return GetCryptoCore()->GetVerificationCode();
}

bool VoIPManager::SendKeyOffer()
{
    BufList values;
    if (!GetCryptoCore()->MakeKeyOffer(values))
        return false;
    CmdMsg message(CmdHeader::KeyOffer);
    for (const Buf& value : values)
        AppendBuf(message.GetFieldList(), value);
    return Send(message);
}

bool VoIPManager::SendKeyAnswer()
{
    BufList values;
    if (!GetCryptoCore()->MakeKeyAnswer(values) || values.empty())
        return false;
    CmdMsg message(CmdHeader::KeyAnswer);
    AppendBuf(message.GetFieldList(), values.front());
    return Send(message);
}

bool VoIPManager::SendProbeReport(bool viaServer)
{
    CmdMsg message(CmdHeader::ProbeReport);
    AppendBool(message.GetFieldList(), viaServer);
    AppendBool(message.GetFieldList(), viaServer);
    return Send(message);
}

void VoIPManager::OnCallReply(CmdMsg& message, bool)
{
    int32_t code = 0;
    if (!message.GetReader().ReadU32(code).IsOk())
        return;
    // Only the reply to this side's own request counts: an unasked or a
    // repeated one would offer keys for a call nobody placed.
    if (!callRequested.exchange(false))
        return;
    handlerRegistry.Broadcast(VE_CallReply, VoipEventValue{code});
    if (code != 0) {
        ScopedLock guard(callLock);
        StopCall();
        return;
    }
    SendKeyOffer();
    peerAccepted = false;
    placedCall = true;
    callState = kAgreed;
}

void VoIPManager::OnIncomingCall(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    TextPair names;
    int32_t offer = 0;
    if (!ReadText(reader, twin, names.first) || !ReadText(reader, twin, names.second)
        || !reader.ReadU32(offer).IsOk())
        return;
    peerAccepted = false;
    placedCall = false;
    callState = kAgreed;
    GetCodecSet()->Negotiate(offer);
    mediaEngine.AgreeCallMode(offer);
    handlerRegistry.Broadcast(VE_IncomingCall, names);
}

bool VoIPManager::IsSettingUpCall()
{
    // The server may pass the key messages on after it has started the
    // probing, so they count until the media runs; once it runs, a new key
    // would change the cipher under the audio threads.
    const int32_t state = callState;
    return state >= kAgreed && state <= kConnected && !mediaEngine.IsRunning();
}

void VoIPManager::OnKeyOffer(CmdMsg& message, bool)
{
    if (!IsSettingUpCall()) return;
    BufReader& reader = message.GetReader();
    BufList offer(3);
    for (Buf& value : offer)
        if (!reader.ReadBuf(value).IsOk())
            return;
    GetCryptoCore()->AcceptKeyOffer(offer);
    SendKeyAnswer();
}

void VoIPManager::OnKeyAnswer(CmdMsg& message, bool)
{
    if (!IsSettingUpCall()) return;
    BufList answer(1);
    if (message.GetReader().ReadBuf(answer.front()).IsOk())
        GetCryptoCore()->FinishKeyAnswer(answer);
}

void VoIPManager::OnProbeTarget(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    std::string host;
    uint16_t port = 0;
    if (ReadText(reader, twin, host) && reader.ReadU16(port).IsOk())
        mediaEngine.SendProbe(host, port, identity);
}

void VoIPManager::OnPeerAddress(CmdMsg& message, bool)
{
    BufReader& reader = message.GetReader();
    uint32_t address = 0;
    uint16_t port = 0;
    if (reader.ReadU32(address).ReadU16(port).IsOk())
        mediaEngine.SetRemote(address, port);
}

void VoIPManager::OnDirectProbing(CmdMsg& message, bool)
{
    IPv4Address peer;
    if (!message.GetReader().ReadIPv4Address(peer).IsOk())
        return;
    mediaEngine.SetState(AudioEngine::kStateProbing);
    mediaEngine.SetRemote(peer.address, static_cast<uint16_t>(peer.port));
    callState = kDirectProbing;
    handlerRegistry.Broadcast(VE_ProbeStatus, VoipEventText{"Direct probing..."});
}

void VoIPManager::OnServerProbing(CmdMsg& message, bool)
{
    mediaEngine.SignalStop();
    mediaEngine.SetState(AudioEngine::kStateProbing);
    BufReader& reader = message.GetReader();
    std::string host;
    uint16_t port = 0;
    uint32_t address = 0;
    // A relay that does not resolve leaves the remote as it was; the report
    // still goes, and the server decides.
    if (reader.ReadString(host).ReadU16(port).IsOk() && ResolveHost(host.c_str(), address))
        mediaEngine.SetRemote(ntohl(address), port);
    callState = kServerProbing;
    handlerRegistry.Broadcast(VE_ProbeStatus, VoipEventText{"Server probing..."});
}

void VoIPManager::OnMediaConnected(CmdMsg&, bool)
{
    callState = kConnected;
    handlerRegistry.Broadcast(VE_MediaConnected);
}

void VoIPManager::OnCallAccepted(CmdMsg& message, bool)
{
    // A callee's media starts with its user's accept alone: an acceptance
    // while its call still rings would open the microphone unasked. It is
    // dropped before it counts, so that the one after the accept still does.
    if (callState != kTalking && !placedCall)
        return;
    BufReader& reader = message.GetReader();
    int32_t type = 0, mode = 0;
    if (!reader.ReadU32(type).ReadU32(mode).IsOk())
        return;
    // Once a call: a repeated acceptance would start the call page's
    // call-started sound again.
    if (peerAccepted.exchange(true))
        return;
    GetCodecSet()->SetType(type);
    mediaEngine.SetCallMode(mode);
    handlerRegistry.Broadcast(VE_PeerAccepted);
}

void VoIPManager::OnCallEnded(CmdMsg&, bool)
{
    // The media ends here, not when a window learns of the end: no window
    // may be left to (its page can close before it polls), and until then
    // the microphone would go on sending.
    {
        ScopedLock guard(callLock);
        StopCall();
    }
    handlerRegistry.Broadcast(VE_CallEnded);
}

void VoIPManager::OnCallSignal(CmdMsg&, bool)
{
    handlerRegistry.Broadcast(VE_CallPageSignal);
}
