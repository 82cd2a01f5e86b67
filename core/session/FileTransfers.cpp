// File transfers: the window requests (offer, accept, cancel, counts), the
// handlers of the transfer commands and the pump that sends the chunks.
//
// Each map has its own lock. Handlers take a map lock inside the link lock;
// the pump holds the outgoing lock around its sends; both run only on the
// connect thread. Window threads never send while they hold a map lock.
#include <objbase.h>

#include <vector>

#include "crypto/CryptoCore.h"
#include "session/FileTransferSession.h"
#include "session/VoIPManager.h"
#include "settings/LanguageTable.h"

namespace {

const int32_t kNoIdentifier = 64;
const int32_t kCannotOpenSource = 65;
const int32_t kIdentifierTaken = 66;
const int32_t kOfferNotSent = 67;
const int32_t kCannotCreateTarget = 68;
const int32_t kAlreadyReceiving = 69;
const int32_t kChunkNotWritten = 70;
const int32_t kConnectionLost = 74;
const int32_t kSenderCancelled = 83;
const int32_t kTransferFailed = 97;
const int32_t kBusy = 98;

// An offer's state while it is open.
const int32_t kOfferOpen = 0;

template <typename Map>
int CountLocked(CriticalSection& lock, const Map& map)
{
    ScopedLock guard(lock);
    return static_cast<int>(map.size());
}

VoipEventProgress Progress(const std::string& id, const FileTransferSession& session)
{
    return VoipEventProgress{id, static_cast<int32_t>(session.GetTotalSize()),
                             static_cast<int32_t>(session.GetRemaining())};
}

}  // namespace

bool VoIPManager::NewTransferId(std::string& id)
{
    GUID guid;
    if (CoCreateGuid(&guid) != S_OK)
        return false;
    wchar_t text[50] = {};
    int n = StringFromGUID2(guid, text, 50);
    if (n <= 1)
        return false;
    // Hexadecimal digits, braces and hyphens narrow one to one.
    id.assign(text, text + n - 1);
    return true;
}

bool VoIPManager::AddOutgoingTransfer(const std::string& id, const TransferPtr& session)
{
    ScopedLock lock(outgoingLock);
    return outgoingTransfers.emplace(id, session).second;
}

VoIPManager::TransferPtr VoIPManager::FindOutgoingTransfer(const std::string& id)
{
    ScopedLock lock(outgoingLock);
    auto it = outgoingTransfers.find(id);
    return it == outgoingTransfers.end() ? TransferPtr() : it->second;
}

VoIPManager::TransferPtr VoIPManager::FindIncomingTransfer(const std::string& id)
{
    ScopedLock lock(incomingLock);
    auto it = incomingTransfers.find(id);
    return it == incomingTransfers.end() ? TransferPtr() : it->second;
}

VoIPManager::TransferPtr VoIPManager::FindOutgoingTransferOrRefuse(const std::string& id)
{
    TransferPtr session = FindOutgoingTransfer(id);
    if (!session)
        SendTransferError(id, kTransferFailed);
    return session;
}

VoIPManager::TransferPtr VoIPManager::FindIncomingTransferOrRefuse(const std::string& id)
{
    TransferPtr session = FindIncomingTransfer(id);
    if (!session)
        SendTransferError(id, kTransferFailed);
    return session;
}

VoIPManager::TransferPtr VoIPManager::TakeTransfer(const std::string& id, bool reportLater)
{
    TransferPtr session;
    ScopedLock lock(outgoingLock);
    auto out = outgoingTransfers.find(id);
    if (out != outgoingTransfers.end()) {
        session = out->second;
        outgoingTransfers.erase(out);
    } else {
        ScopedLock inner(incomingLock);
        auto in = incomingTransfers.find(id);
        if (in != incomingTransfers.end()) {
            session = in->second;
            incomingTransfers.erase(in);
        }
    }
    if (session && reportLater)
        endingTransfers.insert(id);
    return session;
}

void VoIPManager::EndedTransfer(const std::string& id, VoipEventKind kind, const std::string& text)
{
    if (kind == VE_TransferFailed)
        handlerRegistry.Broadcast(kind, TextPair{id, text});
    else
        handlerRegistry.Broadcast(kind, VoipEventText{id});
    ScopedLock lock(outgoingLock);
    endingTransfers.erase(id);
}

void VoIPManager::CloseOffer(const std::string& id, int32_t why)
{
    ScopedLock lock(incomingLock);
    auto it = offers.find(id);
    if (it != offers.end() && it->second == kOfferOpen)
        it->second = why;
}

int32_t VoIPManager::OfferState(const std::string& id)
{
    ScopedLock lock(incomingLock);
    auto it = offers.find(id);
    // Never announced, or forgotten by a stop, which loses the link too.
    return it == offers.end() ? kConnectionLost : it->second;
}

int32_t VoIPManager::TakeOffer(const std::string& id, const TransferPtr& session)
{
    ScopedLock lock(incomingLock);
    auto it = offers.find(id);
    if (it == offers.end())
        return kConnectionLost;
    const int32_t state = it->second;
    offers.erase(it);
    if (state == kOfferOpen && session && !incomingTransfers.emplace(id, session).second)
        return kAlreadyReceiving;
    return state;
}

bool VoIPManager::IsReceivingInto(const std::wstring& fullPath)
{
    ScopedLock lock(incomingLock);
    for (const auto& entry : incomingTransfers)
        if (FileTransferSession::SameTarget(entry.second->GetTargetPath(), fullPath))
            return true;
    return false;
}

int VoIPManager::CountOutgoingTransfers()
{
    return CountLocked(outgoingLock, outgoingTransfers);
}

int VoIPManager::CountIncomingTransfers()
{
    return CountLocked(incomingLock, incomingTransfers);
}

bool VoIPManager::SendTransferCommand(uint32_t type, const std::string& id)
{
    CmdMsg message(type);
    AppendString(message.GetFieldList(), id);
    return Send(message);
}

bool VoIPManager::SendTransferError(const std::string& id, int32_t languageId)
{
    CmdMsg message(CmdHeader::TransferError);
    AppendString(message.GetFieldList(), id);
    AppendString(message.GetFieldList(), GetLanguageString(languageId));
    return Send(message);
}

void VoIPManager::FailTransfer(const std::string& id, int32_t localText, bool tellPeer)
{
    // Taken, the session goes with the last holder, and a received file
    // with it: the target stays as it was.
    if (!TakeTransfer(id))
        return;
    if (tellPeer)
        SendTransferError(id, kTransferFailed);
    EndedTransfer(id, VE_TransferFailed, GetLanguageString(localText));
}

void VoIPManager::DropTransfers()
{
    TransferMap outgoing, incoming;
    std::vector<std::string> dropped;
    {
        ScopedLock lock(outgoingLock);
        outgoing.swap(outgoingTransfers);
        ScopedLock inner(incomingLock);
        incoming.swap(incomingTransfers);
        for (const TransferMap* map : {&outgoing, &incoming})
            for (const auto& entry : *map)
                dropped.push_back(entry.first);
        endingTransfers.insert(dropped.begin(), dropped.end());
        // Nothing can be sent now: the link is gone or not yet signed in.
        // A stopping session signs in no more, so it owes nothing.
        if (IsStopping()) {
            cancelsOwed.clear();
            offers.clear();
        } else {
            cancelsOwed.insert(cancelsOwed.end(), dropped.begin(), dropped.end());
            // The relay ended them with the link: none can be taken now.
            for (auto& offer : offers)
                if (offer.second == kOfferOpen)
                    offer.second = kConnectionLost;
        }
    }
    for (const std::string& id : dropped)
        EndedTransfer(id, VE_TransferFailed, GetLanguageString(kTransferFailed));
}

void VoIPManager::SendOwedCancels()
{
    std::vector<std::string> owed;
    {
        ScopedLock lock(outgoingLock);
        owed.swap(cancelsOwed);
    }
    // Only the message goes: the dropped sessions removed their files, and
    // the targets stay as they were.
    for (const std::string& id : owed)
        SendTransferCommand(CmdHeader::CancelTransfer, id);
}

void VoIPManager::OfferFile(const std::string& recipient, const std::wstring& path,
                            const std::wstring& fileName, std::string& transferId)
{
    auto refuse = [&](int32_t text) {
        handlerRegistry.Broadcast(VE_FileOfferFailed,
                                  VoipEventTransferAnswer{recipient, path, GetLanguageString(text)});
    };
    std::string id;
    if (!NewTransferId(id))
        return refuse(kNoIdentifier);
    transferId = id;
    TransferPtr session = std::make_shared<FileTransferSession>();
    if (!session->PrepareSend(path.c_str(), recipient, fileName.c_str()))
        return refuse(kCannotOpenSource);
    if (!AddOutgoingTransfer(id, session))
        return refuse(kIdentifierTaken);

    CmdMsg message(CmdHeader::FileOfferOut);
    AppendBuf(message.GetFieldList(), GetCryptoCore()->EncryptName(recipient));
    AppendString(message.GetFieldList(), id);
    AppendWString(message.GetFieldList(), fileName);
    AppendULong(message.GetFieldList(), session->GetTotalSize());
    // A name the cipher would cut would address someone else.
    if (!CryptoCore::NameFits(recipient) || !Send(message)) {
        // Its page hears of it from the refusal, not as an end.
        TakeTransfer(id, false);
        return refuse(kOfferNotSent);
    }
    handlerRegistry.Broadcast(VE_FileOfferSent);
}

void VoIPManager::AcceptFileOffer(const std::string& mid, const std::wstring& path,
                                  const std::wstring& label, const std::string& transferId,
                                  uint32_t size)
{
    // The page of the transfer shows why it did not start.
    auto refuse = [&](int32_t text, bool tellPeer) {
        if (tellPeer)
            SendTransferError(transferId, text);
        handlerRegistry.Broadcast(VE_FileOfferFailed,
                                  VoipEventTransferAnswer{transferId, path, GetLanguageString(text)});
    };
    // A transfer accepted again is answered before any file is opened.
    if (FindIncomingTransfer(transferId))
        return refuse(kAlreadyReceiving, true);
    // Nobody is left to send an offer that the sender withdrew or that a
    // lost link ended: the user's file is not touched for it.
    const int32_t closed = IsSignedIn() ? OfferState(transferId) : kConnectionLost;
    if (closed != kOfferOpen) {
        TakeOffer(transferId);
        return refuse(closed, false);
    }
    TransferPtr session = std::make_shared<FileTransferSession>();
    // Two receives into one target: the second would replace the first.
    if (IsReceivingInto(FileTransferSession::FullPath(path.c_str()))
        || !session->PrepareReceive(path.c_str(), mid, label.c_str(), size)) {
        TakeOffer(transferId);
        session.reset();
        return refuse(kCannotCreateTarget, true);
    }
    // Added only while the offer is open: a withdrawal that came during the
    // preparation ends it here, and the prepared file goes.
    const int32_t taken = TakeOffer(transferId, session);
    if (taken != kOfferOpen) {
        session.reset();
        return refuse(taken, taken == kAlreadyReceiving);
    }
    Buf point;
    if (!session->ExportPublicKey(point)) {
        FailTransfer(transferId, kTransferFailed);
        return;
    }
    CmdMsg message(CmdHeader::ReceiverKey);
    AppendString(message.GetFieldList(), transferId);
    AppendBuf(message.GetFieldList(), point);
    if (!Send(message))
        FailTransfer(transferId, kTransferFailed);
}

VoIPManager::CancelOutcome VoIPManager::CancelFileTransfer(const std::string& transferId)
{
    TakeOffer(transferId);
    TransferPtr session;
    {
        ScopedLock lock(outgoingLock);
        if (endingTransfers.count(transferId))
            return kEndedMeanwhile;
        // This window reports the end itself.
        session = TakeTransfer(transferId, false);
    }
    // Sent for an unknown identifier too: it refuses an offer.
    SendTransferCommand(CmdHeader::CancelTransfer, transferId);
    return session ? kCancelledHere : kNoSuchTransfer;
}

void VoIPManager::CancelAllTransfers(uint32_t waitMs)
{
    std::vector<std::string> ids;
    {
        ScopedLock lock(outgoingLock);
        for (const auto& entry : outgoingTransfers)
            ids.push_back(entry.first);
        ScopedLock inner(incomingLock);
        for (const auto& entry : incomingTransfers)
            ids.push_back(entry.first);
    }
    for (const std::string& id : ids)
        CancelFileTransfer(id);
    // The connect thread sends one queued message per pass.
    const DWORD start = GetTickCount();
    for (;;) {
        {
            ScopedLock lock(linkLock);
            if (!link.IsConnected() || link.QueuedChunks() == 0)
                return;
        }
        if (GetTickCount() - start >= waitMs)
            return;
        Sleep(20);
    }
}

void VoIPManager::PumpFileTransfers()
{
    std::vector<std::string> failed;
    {
        ScopedLock lock(outgoingLock);
        for (auto it = outgoingTransfers.begin(); it != outgoingTransfers.end();) {
            FileTransferSession& session = *it->second;
            if (!session.MaySend()) {
                ++it;
                continue;
            }
            const std::string id = it->first;
            if (!session.ReadNextChunk()) {
                it = outgoingTransfers.erase(it);
                endingTransfers.insert(id);
                SendTransferError(id, kTransferFailed);
                failed.push_back(id);
                continue;
            }
            CmdMsg message(CmdHeader::FileChunk);
            AppendString(message.GetFieldList(), id);
            AppendBuf(message.GetFieldList(), session.GetCipherBuffer());
            AppendInt4(message.GetFieldList(), static_cast<int32_t>(session.GetChunkBytes()));
            AppendInt4(message.GetFieldList(), static_cast<int32_t>(session.GetChunkCounter()));
            if (Send(message))
                break;
            it = outgoingTransfers.erase(it);
            endingTransfers.insert(id);
            failed.push_back(id);
        }
    }
    // The sending window learns that its transfer ended.
    for (const std::string& id : failed)
        EndedTransfer(id, VE_TransferFailed, GetLanguageString(kTransferFailed));
}

void VoIPManager::OnFileOffer(CmdMsg& message, bool twin)
{
    BufReader& reader = message.GetReader();
    VoipEventFileOffer offer;
    uint32_t size = 0;
    if (!ReadText(reader, twin, offer.first) || !ReadText(reader, twin, offer.second)
        || !reader.ReadString(offer.third).ReadWString(offer.wide).ReadU32(size).IsOk())
        return;
    offer.value = static_cast<int32_t>(size);
    if (CountOutgoingTransfers() || CountIncomingTransfers()) {
        SendTransferError(offer.third, kBusy);
        return;
    }
    {
        ScopedLock lock(incomingLock);
        // The same offer twice would be asked about twice, and its pages
        // could not be told apart.
        auto known = offers.find(offer.third);
        if (known != offers.end() && known->second == kOfferOpen)
            return;
        offers[offer.third] = kOfferOpen;
    }
    handlerRegistry.Broadcast(VE_FileOffer, offer);
}

void VoIPManager::OnFileKeyRequest(CmdMsg& message, bool)
{
    BufReader& reader = message.GetReader();
    std::string id;
    Buf receiverKey;
    reader.ReadString(id).ReadBuf(receiverKey);
    TransferPtr session = FindOutgoingTransferOrRefuse(id);
    if (!session)
        return;
    Buf wrapped;
    if (!session->WrapSessionKey(receiverKey, wrapped)) {
        FailTransfer(id, kTransferFailed);
        return;
    }
    CmdMsg reply(CmdHeader::WrappedFileKey);
    AppendString(reply.GetFieldList(), id);
    AppendBuf(reply.GetFieldList(), wrapped);
    // Nothing more goes out on this link, but the window must learn of it.
    if (!Send(reply))
        FailTransfer(id, kTransferFailed, false);
}

void VoIPManager::OnFileKeyWrapped(CmdMsg& message, bool)
{
    BufReader& reader = message.GetReader();
    std::string id;
    Buf wrapped;
    if (!reader.ReadString(id).ReadBuf(wrapped).IsOk())
        return;
    TransferPtr session = FindIncomingTransferOrRefuse(id);
    if (!session)
        return;
    // Without the sender's key every chunk would decipher to garbage.
    if (!session->UnwrapSessionKey(wrapped)) {
        FailTransfer(id, kTransferFailed);
        return;
    }
    if (!SendTransferCommand(CmdHeader::ReadyToReceive, id))
        FailTransfer(id, kTransferFailed, false);
}

void VoIPManager::OnFileReady(CmdMsg& message, bool)
{
    BufReader& reader = message.GetReader();
    std::string id;
    uint32_t chunkRequest = 0;
    if (!reader.ReadString(id).ReadU32(chunkRequest).IsOk())
        return;
    TransferPtr session = FindOutgoingTransferOrRefuse(id);
    if (!session)
        return;
    // Only the first ready message counts: a later one leaves the transfer
    // where it is.
    if (session->IsActive())
        return;
    session->SetChunkRequest(chunkRequest);
    session->StartSending();
}

void VoIPManager::OnFileChunk(CmdMsg& message, bool)
{
    BufReader& reader = message.GetReader();
    std::string id;
    Buf block;
    uint32_t count = 0, number = 0;
    reader.ReadString(id).ReadBuf(block).ReadU32(count).ReadU32(number);
    TransferPtr session = FindIncomingTransferOrRefuse(id);
    if (!session)
        return;
    switch (session->CheckChunkNumber(number)) {
    case FileTransferSession::kRepeatedChunk:
        // Written already: writing it again would shift the rest of the file.
        return;
    case FileTransferSession::kChunkOutOfOrder:
        FailTransfer(id, kChunkNotWritten);
        return;
    case FileTransferSession::kNextChunk:
        break;
    }
    // The count is the sender's word; the block holds what really came.
    if (count > static_cast<uint32_t>(block.GetSize()) || !session->WriteChunk(block.GetData(), count)) {
        FailTransfer(id, kChunkNotWritten);
        return;
    }
    CmdMsg ack(CmdHeader::ChunkAck);
    AppendString(ack.GetFieldList(), id);
    AppendInt4(ack.GetFieldList(), static_cast<int32_t>(number));
    Send(ack);
    handlerRegistry.Broadcast(VE_TransferProgress, Progress(id, *session));
}

void VoIPManager::OnFileChunkAck(CmdMsg& message, bool)
{
    BufReader& reader = message.GetReader();
    std::string id;
    uint32_t number = 0;
    if (!reader.ReadString(id).ReadU32(number).IsOk())
        return;
    TransferPtr session = FindOutgoingTransferOrRefuse(id);
    if (!session)
        return;
    session->OnChunkAck(number);
    handlerRegistry.Broadcast(VE_TransferProgress, Progress(id, *session));
    if (session->IsComplete() && TakeTransfer(id)) {
        SendTransferCommand(CmdHeader::TransferDone, id);
        EndedTransfer(id, VE_TransferComplete);
    }
}

void VoIPManager::OnFileDone(CmdMsg& message, bool)
{
    std::string id;
    if (!message.GetReader().ReadString(id).IsOk())
        return;
    TransferPtr session = FindIncomingTransferOrRefuse(id);
    if (!session)
        return;
    // A file that is short of its announced size is no complete file.
    if (!session->IsComplete()) {
        FailTransfer(id, kTransferFailed);
        return;
    }
    if (!TakeTransfer(id))
        return;
    // Complete only once the whole file stands in the target's place.
    if (!session->CommitReceived()) {
        SendTransferError(id, kTransferFailed);
        EndedTransfer(id, VE_TransferFailed, GetLanguageString(kChunkNotWritten));
        return;
    }
    EndedTransfer(id, VE_TransferComplete);
}

void VoIPManager::OnFileFailed(CmdMsg& message, bool)
{
    TextPair failure;
    if (!message.GetReader().ReadString(failure.first).ReadString(failure.second).IsOk())
        return;
    CloseOffer(failure.first, kTransferFailed);
    if (TakeTransfer(failure.first))
        EndedTransfer(failure.first, VE_TransferFailed, failure.second);
    else
        handlerRegistry.Broadcast(VE_TransferFailed, failure);
}

void VoIPManager::OnFileCancelled(CmdMsg& message, bool)
{
    std::string id;
    if (!message.GetReader().ReadString(id).IsOk())
        return;
    CloseOffer(id, kSenderCancelled);
    if (TakeTransfer(id))
        EndedTransfer(id, VE_TransferCancelled);
    else
        handlerRegistry.Broadcast(VE_TransferCancelled, VoipEventText{id});
}
