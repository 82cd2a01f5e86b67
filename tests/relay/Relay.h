// The test relay: plays the server side of every client command on loopback,
// relays voice over UDP, logs every frame decoded, and misbehaves on command.
#pragma once

#include <netinet/in.h>

#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Accounts.h"
#include "Messages.h"

namespace relay {

enum class Path { Direct, Relay, Auto };
enum class Voice { Pass, Corrupt, Strip, Enlarge, Drop };
enum class Answer { Normal, Refuse, Unknown };  // Unknown: every device counts as not enrolled

// What the control channel's "set" changes while the relay runs.
struct Settings {
    bool keepAlive = true;
    int keepAliveMs = 3000;
    int paceMs = 250;
    bool twin = true;
    Answer login = Answer::Normal;
    Answer registration = Answer::Normal;
    Answer session = Answer::Normal;
    int64_t sessionStatus = -1;  // -1: by the pad digest
    std::string reason = "Refused by the test relay";
    int64_t padSize = -1;        // -1: the real pad; else a pad of this size, always issued
    int64_t padOffset = -1;      // -1: chosen per link
    int64_t listCount = -1;      // -1: the real list; else this count and no entries
    Path path = Path::Auto;
    Voice voice = Voice::Pass;
    int signalDelayMs = 1000;
    uint32_t chunk = 8192;
    int64_t offer = -1;          // -1: the caller's codec offer; else this offer in 8/109
    bool update = false;
    std::string updateVersion, updateAddress;
};

struct RelayOptions {
    std::string host = "127.0.0.1";
    int port = 20015;
    int udpPort = 0;
    std::string udpHost;  // the address probe targets name; default: host
    int controlPort = 0;  // -1: no control socket
    bool stdinControl = false;
    bool exitWithControl = false;
    std::vector<std::string> accountFiles;
    std::string enrolFile;
    std::string logFile;  // empty: stderr
    std::string infoFile;
    std::string padFile;
    int lifetimeSeconds = 900;
    Settings settings;
};

class Relay {
public:
    explicit Relay(RelayOptions options);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    // Loads the accounts and the pad, opens the log and every socket.
    bool Start(std::string& error);
    // Serves until "quit", the end of the controller or of the lifetime, or
    // RequestStop.
    void Run();
    // Safe in a signal handler.
    static void RequestStop();

    uint16_t TcpPort() const { return tcpPort_; }
    uint16_t UdpPort() const { return udpPort_; }
    uint16_t ControlPort() const { return controlPort_; }

private:
    struct Chunk {
        Bytes bytes;
        bool paced;  // keep-alives go out at once, everything else one per pace interval
    };
    struct Link {
        int id = 0;
        int fd = -1;
        std::string peer;
        Bytes in;
        std::deque<Chunk> out;
        size_t frontSent = 0;
        int64_t nextKeepAlive = 0, nextSend = 0;
        std::string identity, user;  // from the latest request that carried them
        std::string email;           // signed in as; empty before the session reply
        Bytes publicKey;
        int call = 0;
        bool dead = false;
    };
    struct Call {
        enum Phase { Ringing, Probing, DirectRound, RelayRound, Connected };
        int id = 0;
        int party[2] = {0, 0};  // caller, callee link
        Phase phase = Ringing;
        sockaddr_in addr[2]{};
        bool known[2] = {false, false};
        bool reported[2] = {false, false};
        int64_t nextProbeTarget = 0;
    };
    struct Transfer {
        std::string sender, receiver;
    };
    struct Control {
        int fd = -1;  // -1: standard input
        std::string in;
        size_t cursor = 0;  // log lines before it are behind this controller's waits
        bool waiting = false;
        std::string waitText;
        int64_t waitUntil = 0;
        bool closed = false;
    };
    struct Hook {
        std::string trigger;  // a command type number, or "accept"
        std::string command;
    };
    struct Delayed {
        int64_t due;
        int link;
        Message message;
    };

    // Event loop and links (Relay.cpp).
    int64_t Now() const;
    void Log(const std::string& line);
    std::string Tag(const Link& l) const;
    bool Listen(std::string& error);
    void Accept();
    void ReadLink(Link& l);
    void HandleFrame(Link& l, const Bytes& body);
    void Dispatch(Link& l, const Message& m);
    void Send(Link& l, const Message& m, EncodeOptions o);
    void Send(Link& l, const Message& m);
    void SendBody(Link& l, const Bytes& body);
    void Enqueue(Link& l, Bytes bytes, bool paced);
    void PumpLink(Link& l, int64_t now);
    void Drop(Link& l, const std::string& why, bool reset = false);
    void Sweep();
    Link* FindLink(int id);
    Link* Online(const std::string& email);
    void Violation(const Link& l, const std::string& what);
    void RunTimers(int64_t now);
    int64_t NextDeadline(int64_t now) const;

    // Sign-in, contacts and chat (RelaySessions.cpp).
    Account* CheckCredentials(Link& l, const Message& m);
    void OnLogin(Link& l, const Message& m);
    void OnRegister(Link& l, const Message& m);
    void OnSession(Link& l, const Message& m);
    void OnCredentials(Link& l, const Message& m);
    void AppendContacts(Message& m, const Account& a);
    void Broadcast(const Account& a, uint32_t state);
    void SignOut(Link& l);
    void OnContactQuery(Link& l, const Message& m);
    void OnKeyRequest(Link& l, const Message& m);
    void OnChat(Link& l, const Message& m);
    void OnAddContact(Link& l, const Message& m);

    // Calls and the voice relay (RelayCalls.cpp).
    Call* CallOf(const Link& l);
    int Side(const Call& c, const Link& l) const;
    Link* OtherParty(const Call& c, const Link& l);
    void OnCallRequest(Link& l, const Message& m);
    void OnCallRelay(Link& l, const Message& m, const Bytes& body);
    void OnProbeReport(Link& l, const Message& m);
    void OnAccept(Link& l, const Message& m);
    void OnHangUp(Link& l);
    void OnSignalAnswer(Link& l);
    void SendProbeTargets(Call& c, int64_t now);
    void EndCall(Call& c, Link* hungUp, const std::string& why);
    void ReadUdp();

    // File transfers (RelayFiles.cpp).
    void OnFileOffer(Link& l, const Message& m);
    void OnFileRelay(Link& l, const Message& m, const Bytes& body);
    Link* OtherSide(const Transfer& t, const Link& l, bool& isSender);
    void EndTransfers(const std::string& email);

    // Control channel (RelayControl.cpp).
    bool OpenControl(std::string& error);
    void AcceptControl();
    void ReadControl(Control& c);
    void ProcessControl(Control& c);
    void CheckWaits(int64_t now);
    void Reply(Control& c, const std::string& text);
    std::string Execute(const std::string& line, Control* c, int self);
    std::string ExecuteSet(const std::vector<std::string>& words, const std::string& line);
    std::string ExecuteSample(const std::vector<std::string>& words, int self);
    std::vector<Link*> Select(const std::string& selector, int self, std::string& error);
    bool RunHook(const std::string& trigger, Link& l);
    void WriteInfo();

    RelayOptions options_;
    Settings& set_;
    AccountBook accounts_;
    Bytes pad_;
    FILE* log_ = nullptr;
    std::vector<std::string> lines_;
    int64_t start_ = 0;
    int listenFd_ = -1, udpFd_ = -1, controlFd_ = -1;
    uint16_t tcpPort_ = 0, udpPort_ = 0, controlPort_ = 0;
    bool quit_ = false;
    int nextLink_ = 1, nextCall_ = 1, lastLink_ = 0;
    std::map<int, Link> links_;
    std::map<std::string, int> online_;
    std::map<int, Call> calls_;
    std::map<std::string, Transfer> transfers_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<Hook> hooks_;
    std::vector<Delayed> delayed_;
    int violations_ = 0;
};

}  // namespace relay
