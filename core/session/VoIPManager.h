// The session manager: owns the link to the relay server, keeps it connected
// (primary, secondary, and back to the primary), signs the user in, runs every
// received command on its connect thread and reports to the windows as events.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/Locks.h"
#include "events/HandlerRegistry.h"
#include "media/AudioEngine.h"
#include "session/ContactTable.h"
#include "wire/Buf.h"
#include "wire/CmdMsg.h"
#include "wire/StreamConnection.h"

class FileTransferSession;

// Marks the objects that build and send requests; no operations of its own.
class VoIPMessageSender {
};

class VoIPManager : public Net::TCPStreamCmdHandler, public VoIPMessageSender {
public:
    static const uint32_t kPumpPeriodMs = 100;
    static const uint32_t kRetryPauseMs = 1000;
    static const uint32_t kResetPauseMs = 3000;
    static const uint32_t kWatchdogPeriodMs = 5000;
    // Successful primary tests that only count; the next one returns to it.
    static const int32_t kFallbackTestsCounted = 3;
    // Enciphered identity and user name are made in an area of this size.
    static const uint32_t kLoginArea = 1024;
    // A received chat text is shown up to this many UTF-16 units, then
    // kChatCutMark. The sending window takes 255 characters; a longer text
    // comes from no honest peer, and the windows lay out what they get.
    static constexpr size_t kMaxChatTextUnits = 4096;
    static constexpr wchar_t kChatCutMark = L'\x2026';

    VoIPManager();
    ~VoIPManager();
    VoIPManager(const VoIPManager&) = delete;
    VoIPManager& operator=(const VoIPManager&) = delete;

    // ---- lifecycle ----
    // False when already started (nothing changes) or a thread cannot start.
    bool Start(const char* serverHost, uint16_t serverPort, const char* userName,
               const char* password, uint16_t udpPortBase);
    void Stop();
    // Callable from any thread; the link is closed under the link lock, so
    // never in the middle of a pump. A connect in progress gives up.
    void ResetSession();
    void SetDropConnection(bool drop) { dropConnection = drop; }
    bool GetDropConnection() const { return dropConnection; }
    bool IsStopping() { return stopFlag.Get(); }
    void SetStopFlag(bool stop);
    bool IsOnSecondary() const { return onSecondary; }
    uint16_t GetServerPort() const { return serverPort; }
    const std::string& GetIdentity() const { return identity; }
    std::string GetOwnName();
    uint16_t GetLocalUdpPort() const { return localUdpPort; }
    AudioEngine& GetAudioEngine() { return mediaEngine; }
    HandlerRegistry& GetHandlerRegistry() { return handlerRegistry; }
    bool IsConnected() const { return link.IsConnected(); }
    // From an accepted session reply until the next reset or stop.
    bool IsSignedIn() const { return sessionReady; }

    // ---- commands ----
    // The one send path: queues the message on the link under the link lock.
    // Only the sign-in commands go out before the session is signed in: any
    // other would reach the server ahead of its session and be dropped there.
    bool Send(CmdMsg& message);
    int HandleCmd(CmdMsg& message) override;

    // ---- sign-in ----
    // RegisterDevice refuses an overlong device name the same way.
    bool SendLogin();
    void SendSessionRequest();
    void RegisterDevice(const std::string& deviceName, const std::string& deviceKind);
    void SendCommand120();

    // ---- contacts, keys and chat ----
    // A name longer than CryptoCore::kMaxNameLength cannot travel: the
    // requests refuse it (false, or their failure event) instead of cutting it.
    void GetContacts(ContactTable& out);
    void SendContactQueries();
    bool SendContactQuery(const std::string& name);
    bool RequestPeerKey(const std::string& name);
    bool SendChatMessage(const std::string& name, const std::wstring& text);
    bool EncryptForContact(const std::string& name, const std::wstring& text, Buf& cipher);
    void StorePeerKey(const std::string& name, const Buf& key);
    void RemovePeerKey(const std::string& name);
    bool HasPeerKey(const std::string& name);
    void AddContact(const std::string& name);

    // ---- calls ----
    // The media of a call ends with the call, whichever way it ends: the
    // peer's hang-up, this side's, a refusal, a failed start or a reset.
    // No window needs to be left to stop it.
    void PlaceCall(const std::string& callee);
    // False, and the call ended, when the media cannot start, or when the
    // call ended before the accept.
    bool AcceptCall();
    void EndCall();
    // Each start of a call's media gets the next number.
    uint32_t GetMediaNumber();
    // Ends the call only while the media of that number still runs: the
    // number of an earlier call never ends a later one. True when it ended.
    bool EndCallOfMedia(uint32_t number);
    bool SendCommand43();
    std::wstring GetVerificationCode() const;
    int32_t GetCallState() const { return callState; }
    bool SendProbeReport(bool viaServer);

    // ---- file transfers ----
    // The outcome comes as event 26 or 27; transferId is filled once made.
    void OfferFile(const std::string& recipient, const std::wstring& path,
                   const std::wstring& fileName, std::string& transferId);
    // A receive that cannot start is reported as event 26 with the
    // transfer's identifier, the path and why: the target cannot be written
    // (68), the transfer runs already (69), or the offer is no longer open
    // because the sender withdrew it (83), it failed (97) or the link was
    // lost (74). An offer that is no longer open touches no file.
    void AcceptFileOffer(const std::string& mid, const std::wstring& path,
                         const std::wstring& label, const std::string& transferId, uint32_t size);
    // What a cancel did: it ended the transfer; it came while the transfer
    // was ending another way, whose event is on its way; or there was no
    // such transfer, and so the end of any that ran was reported already.
    enum CancelOutcome { kCancelledHere, kEndedMeanwhile, kNoSuchTransfer };
    // Also refuses an offer not yet accepted.
    CancelOutcome CancelFileTransfer(const std::string& transferId);
    // Cancels every transfer, and returns once the link has sent the
    // cancels or after waitMs: the peers must learn of them before the
    // core stops.
    void CancelAllTransfers(uint32_t waitMs);
    int CountOutgoingTransfers();
    int CountIncomingTransfers();

private:
    // Ends a connect on a stop, or on a reset since the connect began.
    class AttemptWatch;

    static DWORD WINAPI ConnectThreadProc(void* manager);
    static DWORD WINAPI WatchdogThreadProc(void* manager);
    bool Initialise();
    std::string ChooseServerHost();
    bool ConnectToServer();
    void RunConnection();
    void RunWatchdog();
    bool TestPrimaryServer();
    // Sleeps, but wakes at once when Stop is called.
    void Pause(uint32_t ms);
    void ReportProbedPath();
    // The identity, user name and password digest every login command starts with.
    void AppendLoginFields(CmdMsg& message);

    // ---- incoming commands ----
    // A text of the message: plain in a first-set type, enciphered with the
    // built-in key in its twin.
    bool ReadText(BufReader& reader, bool twin, std::string& text) const;
    void OnUpdateNotice(CmdMsg& message, bool twin);
    void OnLoginStep(CmdMsg& message, bool twin);
    void OnRegistrationReply(CmdMsg& message, bool twin);
    void OnSessionReply(CmdMsg& message, bool twin);
    void OnContactList(CmdMsg& message, bool twin);
    void ReadContactList(CmdMsg& message, bool twin);
    void OnContactState(CmdMsg& message, bool twin);
    void OnContactKey(CmdMsg& message, bool twin);
    void OnChatText(CmdMsg& message, bool twin);
    void OnAddContactReply(CmdMsg& message, bool twin);
    void PostText(VoipEventKind kind, int32_t languageId);

    // ---- call signalling ----
    void OnCallReply(CmdMsg& message, bool twin);
    void OnIncomingCall(CmdMsg& message, bool twin);
    void OnKeyOffer(CmdMsg& message, bool twin);
    void OnKeyAnswer(CmdMsg& message, bool twin);
    void OnProbeTarget(CmdMsg& message, bool twin);
    void OnPeerAddress(CmdMsg& message, bool twin);
    void OnDirectProbing(CmdMsg& message, bool twin);
    void OnServerProbing(CmdMsg& message, bool twin);
    void OnMediaConnected(CmdMsg& message, bool twin);
    void OnCallAccepted(CmdMsg& message, bool twin);
    void OnCallEnded(CmdMsg& message, bool twin);
    void OnCallSignal(CmdMsg& message, bool twin);
    // From the agreement until the media runs.
    bool IsSettingUpCall();
    bool SendKeyOffer();
    bool SendKeyAnswer();
    // A reset ends the call here: no later incoming call may find the state busy.
    void EndCallOnReset();
    // Under the call lock: starts the media and talks; false when it cannot start.
    bool StartMedia();
    // Under the call lock: stops the media and returns to idle.
    void StopCall();
    // Tells the peer and the windows of this side's hang-up.
    void ReportOwnHangUp();

    // ---- file transfers ----
    // Shared, so that a window's cancel cannot delete a session while the
    // connect thread works with it: the last holder deletes it.
    typedef std::shared_ptr<FileTransferSession> TransferPtr;
    typedef std::map<std::string, TransferPtr> TransferMap;
    static bool NewTransferId(std::string& id);
    // False when the identifier is taken.
    bool AddOutgoingTransfer(const std::string& id, const TransferPtr& session);
    TransferPtr FindOutgoingTransfer(const std::string& id);
    TransferPtr FindIncomingTransfer(const std::string& id);
    // The same, answering an unknown identifier with 33.
    TransferPtr FindOutgoingTransferOrRefuse(const std::string& id);
    TransferPtr FindIncomingTransferOrRefuse(const std::string& id);
    // Whoever takes a transfer out of its map ends it: nobody else can.
    // With reportLater its identifier is kept among the ending ones until
    // EndedTransfer has told the windows how it ended (kind 28 with the
    // text, 30 or 34).
    TransferPtr TakeTransfer(const std::string& id, bool reportLater = true);
    void EndedTransfer(const std::string& id, VoipEventKind kind, const std::string& text = std::string());
    // Ends the transfer unless something else did: tells the peer (33, when
    // tellPeer) and this side's windows (28).
    void FailTransfer(const std::string& id, int32_t localText, bool tellPeer = true);
    // An offer that was announced to the windows: open until it is
    // accepted or refused; closed (with the text that says why) when the
    // sender withdrew it or the link was lost.
    void CloseOffer(const std::string& id, int32_t why);
    // The offer's state: 0 while it is open, else the text of why it closed.
    int32_t OfferState(const std::string& id);
    // The same, and the offer forgotten. Given a session, an open offer
    // becomes that incoming transfer in the same step (69 when the
    // identifier is taken).
    int32_t TakeOffer(const std::string& id, const TransferPtr& session = TransferPtr());
    // True when a running receive writes the same target.
    bool IsReceivingInto(const std::wstring& fullPath);
    // A reset drops every transfer, and the windows learn of each; the
    // peers learn of it once the session is signed in again.
    void DropTransfers();
    // The cancels a reset could not send: one for each dropped transfer.
    void SendOwedCancels();
    void PumpFileTransfers();
    bool SendTransferCommand(uint32_t type, const std::string& id);
    bool SendTransferError(const std::string& id, int32_t languageId);
    void OnFileOffer(CmdMsg& message, bool twin);
    void OnFileKeyRequest(CmdMsg& message, bool twin);
    void OnFileKeyWrapped(CmdMsg& message, bool twin);
    void OnFileReady(CmdMsg& message, bool twin);
    void OnFileChunk(CmdMsg& message, bool twin);
    void OnFileChunkAck(CmdMsg& message, bool twin);
    void OnFileDone(CmdMsg& message, bool twin);
    void OnFileFailed(CmdMsg& message, bool twin);
    void OnFileCancelled(CmdMsg& message, bool twin);

    typedef void (VoIPManager::*Handler)(CmdMsg& message, bool twin);
    struct Route {
        uint32_t type;
        Handler handler;
        bool twin;
        // The call state the command is taken in; kAnyState takes it always.
        int32_t callState;
    };
    static const int32_t kAnyState = -1;
    static const Route kRoutes[];
    // The row that takes the type in the given call state, if any.
    static const Route* FindRoute(uint32_t type, int32_t state);

    HandlerRegistry handlerRegistry;
    StreamConnection link;
    CriticalSection linkLock;
    HANDLE connectThread;
    HANDLE watchdogThread;
    std::string serverHost;
    uint16_t serverPort;
    std::string userName;
    std::string password;
    std::string identity;
    std::string ownName;
    uint16_t localUdpPort;
    Buf encryptedUserName;
    Buf encryptedIdentity;
    ContactTable contacts;
    CriticalSection contactsLock;
    AudioEngine mediaEngine;
    LockedBool stopFlag;
    CEvent stopEvent;
    std::atomic<bool> dropConnection;
    std::atomic<int32_t> callState;
    std::map<std::string, Buf> peerKeys;
    CriticalSection peerKeysLock;
    TransferMap outgoingTransfers;
    CriticalSection outgoingLock;
    TransferMap incomingTransfers;
    CriticalSection incomingLock;
    // Identifiers of the transfers that resets dropped since the last
    // sign-in; guarded by the outgoing lock.
    std::vector<std::string> cancelsOwed;
    // Transfers taken out of their maps whose end is not yet reported;
    // guarded by the outgoing lock.
    std::set<std::string> endingTransfers;
    // Offers announced to the windows and not yet answered, by identifier:
    // 0 while open, else the text of why they closed; guarded by the
    // incoming lock.
    std::map<std::string, int32_t> offers;
    std::atomic<int32_t> hostIndex;
    std::atomic<bool> onSecondary;
    std::atomic<int32_t> fallbackSuccesses;
    std::atomic<bool> sessionReady;
    // A call request is out and its reply (7) not yet in: a reply that
    // nobody asked for, or a second one, is ignored.
    std::atomic<bool> callRequested;
    // Raised by every reset, so that a connect learns of one made while it waited.
    std::atomic<uint32_t> resetCount;
    // The peer's acceptance of the call being set up has come: a repeated
    // one is ignored. Cleared when a call is agreed.
    std::atomic<bool> peerAccepted{false};
    // This side placed the call being set up: the server agreed to its
    // request. Only then is an acceptance taken before this side's own.
    // Set whenever a call is agreed, the only way to the states that read it.
    std::atomic<bool> placedCall{false};
    // Held while the media starts or stops with the call state: an accept
    // on the window's thread and the end of the call on the connect thread
    // take turns, so no media outlives the end it raced. Taken inside the
    // link lock and never around a send.
    CriticalSection callLock;
    // Of the last start of a call's media; guarded by the call lock.
    uint32_t mediaNumber = 0;
};

VoIPManager* GetVoIPManager();
