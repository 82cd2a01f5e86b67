// The framed TCP link to the relay server: u32 length + body, with the
// server's FF FF FF FF keep-alive answered in kind.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <list>
#include <set>

#include "base/Locks.h"
#include "wire/Buf.h"
#include "wire/CmdMsg.h"

namespace Net {
class TCPStreamCmdHandler {
public:
    virtual int HandleCmd(CmdMsg& message) = 0;

protected:
    ~TCPStreamCmdHandler() {}
};
}  // namespace Net

class StreamConnection {
public:
    // What a legitimate message can hold, a session reply or contact list of
    // some tens of thousands of contacts included; a larger length word is a
    // broken or hostile peer, and the link is declared lost. One body at a
    // time is held, so this is also the most a peer can make the link hold.
    static const uint32_t kMaxBody = 16u << 20;
    static const uint32_t kReceivePeriod = 20000;
    static const uint32_t kInstanceReceivePeriod = 10000;

    StreamConnection();
    ~StreamConnection();
    StreamConnection(const StreamConnection&) = delete;
    StreamConnection& operator=(const StreamConnection&) = delete;

    // Blocks for the whole lookup and connect; see OpenTcpConnection for a
    // connect that a stop can end.
    bool Connect(const char* host, uint16_t port);
    // Takes over a connected non-blocking socket (false, and nothing taken,
    // for INVALID_SOCKET).
    bool Attach(SOCKET connected);
    // A numbered test instance's link: the shorter receive time-out, which
    // keep-alives do not renew. Taken at the next Attach.
    void SetTestInstance(bool testInstance) { testInstance_ = testInstance; }
    void AddHandler(Net::TCPStreamCmdHandler* handler) { handlers_.insert(handler); }
    bool IsConnected() const { return socket_ != INVALID_SOCKET; }
    bool Pump();
    // False, and nothing queued, while there is no connection: a request made
    // then would be dropped by the next Close or reach the server before its login.
    bool Queue(CmdMsg& message);
    void Close();

    size_t QueuedChunks() const { return sendQueue_.size(); }

private:
    bool Receive();
    bool OnBytes();
    bool SendFront();
    void SendKeepAlive();
    void Dispatch(CmdMsg& message);
    void ClearQueue();

    SOCKET socket_;
    StreamChunk receiveChunk_;
    std::list<StreamChunk*> sendQueue_;
    bool readingBody_;
    std::set<Net::TCPStreamCmdHandler*> handlers_;
    IntervalTimer receiveTimer_;
    bool testInstance_;
};
