#include "wire/StreamConnection.h"

#include "wire/TcpConnect.h"

StreamConnection::StreamConnection()
    : socket_(INVALID_SOCKET), readingBody_(false), receiveTimer_(kReceivePeriod), testInstance_(false)
{
}

StreamConnection::~StreamConnection()
{
    Close();
}

bool StreamConnection::Connect(const char* host, uint16_t port)
{
    return Attach(OpenTcpConnection(host, port, nullptr));
}

bool StreamConnection::Attach(SOCKET connected)
{
    if (connected == INVALID_SOCKET)
        return false;
    socket_ = connected;
    readingBody_ = false;
    receiveChunk_.Alloc(4);
    receiveTimer_.SetPeriod(testInstance_ ? kInstanceReceivePeriod : kReceivePeriod);
    receiveTimer_.Stamp();
    return true;
}

bool StreamConnection::Pump()
{
    if (!IsConnected())
        return false;
    if (!Receive())
        return false;
    if (!OnBytes())
        return false;
    if (!sendQueue_.empty() && !SendFront())
        return false;
    return !receiveTimer_.Expired();
}

bool StreamConnection::Receive()
{
    int n = recv(socket_, reinterpret_cast<char*>(receiveChunk_.Cursor()), receiveChunk_.Remaining(), 0);
    if (n == 0)
        return false;
    if (n == SOCKET_ERROR)
        return WSAGetLastError() != WSAECONNRESET;
    receiveChunk_.Advance(n);
    return true;
}

bool StreamConnection::OnBytes()
{
    if (receiveChunk_.Remaining() > 0)
        return true;

    if (!readingBody_) {
        const unsigned char* p = receiveChunk_.Data();
        const uint32_t length = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        if (length == Net::StreamMsgHeader::kKeepAlive) {
            SendKeepAlive();
            if (!testInstance_)
                receiveTimer_.Stamp();
            return receiveChunk_.Alloc(4);
        }
        if (length == 0 || length > kMaxBody || !receiveChunk_.Alloc(static_cast<int>(length)))
            return false;
        readingBody_ = true;
        return true;
    }

    const int size = receiveChunk_.GetSize();
    CmdMsg message(receiveChunk_.Detach(), size);
    Dispatch(message);
    readingBody_ = false;
    return receiveChunk_.Alloc(4);
}

void StreamConnection::Dispatch(CmdMsg& message)
{
    for (Net::TCPStreamCmdHandler* h : handlers_)
        h->HandleCmd(message);
}

bool StreamConnection::SendFront()
{
    StreamChunk* chunk = sendQueue_.front();
    int n = send(socket_, reinterpret_cast<const char*>(chunk->Cursor()), chunk->Remaining(), 0);
    if (n == SOCKET_ERROR)
        return WSAGetLastError() != WSAECONNRESET;
    chunk->Advance(n);
    if (chunk->Remaining() == 0) {
        delete chunk;
        sendQueue_.pop_front();
    }
    return true;
}

bool StreamConnection::Queue(CmdMsg& message)
{
    if (!IsConnected())
        return false;
    FieldList& fields = message.GetFieldList();
    const int length = fields.GetTotal();
    AppendStreamMsgHeader(fields, static_cast<uint32_t>(length));
    StreamChunk* chunk = new StreamChunk;
    if (!chunk->Attach(message.Serialise(), length + 4)) {
        delete chunk;
        return false;
    }
    sendQueue_.push_back(chunk);
    return true;
}

void StreamConnection::SendKeepAlive()
{
    CmdMsg keepAlive;
    AppendStreamMsgHeader(keepAlive.GetFieldList(), Net::StreamMsgHeader::kKeepAlive);
    StreamChunk* chunk = new StreamChunk;
    if (!chunk->Attach(keepAlive.Serialise(), 4)) {
        delete chunk;
        return;
    }
    // Ahead of every waiting frame, but never inside one that is half sent.
    auto at = sendQueue_.begin();
    if (at != sendQueue_.end() && (*at)->GetPosition() > 0)
        ++at;
    sendQueue_.insert(at, chunk);
}

void StreamConnection::ClearQueue()
{
    for (StreamChunk* c : sendQueue_)
        delete c;
    sendQueue_.clear();
}

void StreamConnection::Close()
{
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    ClearQueue();
    FreeBytes(receiveChunk_.Detach());
}
