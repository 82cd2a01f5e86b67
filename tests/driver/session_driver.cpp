// A console client built from the core, for the integration tests: it signs
// in with the options given, prints every core event as one line and runs
// the commands it reads from its standard input, one per line.
//
// Options: --host H --backup H --port N (server TCP port) --udp-port N
//          --user U --password P --instance N --language N
// Commands: register NAME | chat NAME TEXT | key NAME | haskey NAME |
//           add NAME | contacts | queries | cred | drop | reset | state |
//           times | start | stop | quit
//           call NAME | accept | hangup | signal | code | callstate |
//           offer NAME PATH | acceptfile MID ID SIZE PATH | cancel ID |
//           transfers
//           chatunits NAME UNITS | offerunits NAME UNITS PATH (a chat text
//           or a file name of any UTF-16 units, paired or not: "-" is the
//           empty text, otherwise pieces joined by '+', each of four
//           hexadecimal digits a unit, "*N" after a piece repeating it)
// Output:   EV <kind> [<field>|<field>...], RESULT <command> ..., CONTACT ...
//           Texts are printed with bytes below 0x21, above 0x7E and '|' '%'
//           as %XX; wide texts first as UTF-8.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "media/CodecSet.h"
#include "session/VoIPManager.h"
#include "settings/AppConfig.h"
#include "settings/DeviceIdentity.h"
#include "settings/LanguageTable.h"
#include "Utf8.h"

namespace {

std::string Escape(const std::string& text)
{
    std::string out;
    char hex[4];
    for (unsigned char c : text) {
        if (c < 0x21 || c > 0x7E || c == '|' || c == '%') {
            snprintf(hex, sizeof(hex), "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void Emit(const std::string& line)
{
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

std::string Join(std::initializer_list<std::string> fields)
{
    std::string s;
    for (const std::string& f : fields) {
        if (!s.empty())
            s += '|';
        s += Escape(f);
    }
    return s;
}

std::string Describe(const VoipEvent& e)
{
    std::string line = "EV " + std::to_string(e.GetKind());
    std::string payload;
    if (auto* p = e.Payload<VoipEventText>())
        payload = Join({p->text});
    else if (auto* p = e.Payload<VoipEventChat>())
        payload = Join({p->first, p->second, ToUtf8(p->wide)});
    else if (auto* p = e.Payload<TextPair>())
        payload = Join({p->first, p->second});
    else if (auto* p = e.Payload<VoipEventTextInt>())
        payload = Join({p->text, std::to_string(p->value)});
    else if (auto* p = e.Payload<VoipEventValue>())
        payload = std::to_string(p->value);
    else if (auto* p = e.Payload<VoipEventByte>())
        payload = std::to_string(p->value);
    else if (auto* p = e.Payload<VoipEventTransferAnswer>())
        payload = Join({p->first, ToUtf8(p->wide), p->second});
    else if (auto* p = e.Payload<VoipEventFileOffer>())
        payload = Join({p->first, p->second, p->third, ToUtf8(p->wide), std::to_string(p->value)});
    else if (auto* p = e.Payload<VoipEventProgress>())
        payload = Join({p->text, std::to_string(p->first), std::to_string(p->second)});
    return payload.empty() ? line : line + " " + payload;
}

// Lines of standard input, handed from the reading thread to the main loop.
class CommandQueue {
public:
    void Push(const std::string& line)
    {
        ScopedLock lock(lock_);
        lines_.push_back(line);
    }
    bool Pop(std::string& line)
    {
        ScopedLock lock(lock_);
        if (lines_.empty())
            return false;
        line = lines_.front();
        lines_.pop_front();
        return true;
    }

private:
    std::deque<std::string> lines_;
    CriticalSection lock_;
};

CommandQueue g_commands;

// Lines of any length: a long text's units come on one.
DWORD WINAPI ReadCommands(void*)
{
    char buffer[8192];
    std::string line;
    while (fgets(buffer, sizeof(buffer), stdin)) {
        line += buffer;
        if (line.back() != '\n' && !feof(stdin))
            continue;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        g_commands.Push(line);
        line.clear();
    }
    g_commands.Push("quit");
    return 0;
}

bool ParseUnits(const std::string& spec, std::wstring& text)
{
    text.clear();
    if (spec == "-")
        return true;
    size_t from = 0;
    while (from <= spec.size()) {
        size_t plus = spec.find('+', from);
        if (plus == std::string::npos)
            plus = spec.size();
        std::string piece = spec.substr(from, plus - from);
        unsigned long count = 1;
        const size_t star = piece.find('*');
        if (star != std::string::npos) {
            count = strtoul(piece.c_str() + star + 1, nullptr, 10);
            piece.erase(star);
        }
        if (piece.empty() || piece.size() % 4 != 0 || piece.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        std::wstring units;
        for (size_t i = 0; i < piece.size(); i += 4)
            units += static_cast<wchar_t>(strtoul(piece.substr(i, 4).c_str(), nullptr, 16));
        for (unsigned long i = 0; i < count; ++i)
            text += units;
        from = plus + 1;
    }
    return true;
}

struct Options {
    std::string host, backup, user, password;
    uint16_t serverPort = 20015;
    int udpPort = -1;
    int instance = -1;
    int language = -1;
};

bool ParseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i], value = argv[i + 1];
        if (name == "--host")
            o.host = value;
        else if (name == "--backup")
            o.backup = value;
        else if (name == "--user")
            o.user = value;
        else if (name == "--password")
            o.password = value;
        else if (name == "--port")
            o.serverPort = static_cast<uint16_t>(atoi(value.c_str()));
        else if (name == "--udp-port")
            o.udpPort = atoi(value.c_str());
        else if (name == "--instance")
            o.instance = atoi(value.c_str());
        else if (name == "--language")
            o.language = atoi(value.c_str());
        else
            return false;
    }
    return argc % 2 == 1;
}

uint64_t FileTimeMs(const FILETIME& t)
{
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
}

class Driver {
public:
    explicit Driver(const Options& o) : options_(o), started_(GetTickCount()) {}

    bool Start()
    {
        AppConfig* c = GetAppConfig();
        return GetVoIPManager()->Start(c->GetServerHost().c_str(), options_.serverPort,
                                       c->GetUserName().c_str(), c->GetPassword().c_str(),
                                       c->GetPort());
    }

    // False when the driver should end.
    bool Run(const std::string& line)
    {
        VoIPManager* m = GetVoIPManager();
        size_t space = line.find(' ');
        std::string verb = line.substr(0, space);
        std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        size_t second = rest.find(' ');
        std::string first = rest.substr(0, second);
        std::string tail = second == std::string::npos ? std::string() : rest.substr(second + 1);

        if (verb == "register") {
            GetAppConfig()->SetDeviceName(rest);
            m->RegisterDevice(rest, GetDeviceKind());
            Emit("RESULT register");
        } else if (verb == "chat") {
            Emit("RESULT chat " + std::to_string(m->SendChatMessage(first, FromUtf8(tail))));
        } else if (verb == "chatunits") {
            std::wstring text;
            Emit("RESULT chatunits " + (ParseUnits(tail, text) ? std::to_string(m->SendChatMessage(first, text)) : "bad"));
        } else if (verb == "key") {
            Emit("RESULT key " + std::to_string(m->RequestPeerKey(rest)));
        } else if (verb == "haskey") {
            Emit("RESULT haskey " + std::to_string(m->HasPeerKey(rest)));
        } else if (verb == "add") {
            m->AddContact(rest);
            Emit("RESULT add");
        } else if (verb == "contacts") {
            ContactTable table;
            m->GetContacts(table);
            for (const auto& kv : table.Entries())
                Emit("CONTACT " + std::to_string(kv.first) + " "
                     + Join({kv.second.name, kv.second.secondText, std::to_string(kv.second.status)}));
            Emit("RESULT contacts " + std::to_string(table.Size()));
        } else if (verb == "queries") {
            m->SendContactQueries();
            Emit("RESULT queries");
        } else if (verb == "cred") {
            m->SendCommand120();
            Emit("RESULT cred");
        } else if (verb == "drop") {
            m->SetDropConnection(true);
            Emit("RESULT drop");
        } else if (verb == "reset") {
            m->ResetSession();
            Emit("RESULT reset");
        } else if (verb == "state") {
            Emit("RESULT state connected=" + std::to_string(m->IsConnected())
                 + " signed=" + std::to_string(m->IsSignedIn()) + " secondary="
                 + std::to_string(m->IsOnSecondary()) + " own=" + Escape(m->GetOwnName())
                 + " device=" + Escape(GetAppConfig()->GetDeviceName())
                 + " identity=" + Escape(m->GetIdentity()) + " udp=" + std::to_string(m->GetLocalUdpPort()));
        } else if (verb == "times") {
            FILETIME created, ended, kernel, user;
            GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
            Emit("RESULT times wall=" + std::to_string(GetTickCount() - started_)
                 + " cpu=" + std::to_string(FileTimeMs(kernel) + FileTimeMs(user)));
        } else if (verb == "start") {
            bool ok = Start();
            if (ok)
                m->GetHandlerRegistry().RegisterHandler(&handler_);
            Emit("RESULT start " + std::to_string(ok));
        } else if (verb == "stop") {
            m->Stop();
            Emit("RESULT stop");
        } else if (verb == "call") {
            m->PlaceCall(rest);
            Emit("RESULT call");
        } else if (verb == "accept") {
            Emit("RESULT accept " + std::to_string(m->AcceptCall()));
        } else if (verb == "hangup") {
            m->EndCall();
            Emit("RESULT hangup");
        } else if (verb == "signal") {
            Emit("RESULT signal " + std::to_string(m->SendCommand43()));
        } else if (verb == "code") {
            Emit("RESULT code " + Escape(ToUtf8(m->GetVerificationCode())));
        } else if (verb == "callstate") {
            AudioEngine& engine = m->GetAudioEngine();
            Emit("RESULT callstate " + std::to_string(m->GetCallState()) + " codec="
                 + std::to_string(GetCodecSet()->GetType()) + " mode="
                 + std::to_string(engine.GetCallMode()) + " media=" + std::to_string(engine.IsRunning()));
        } else if (verb == "offer") {
            // offer NAME PATH: the file name is the path's last part.
            std::wstring path = FromUtf8(tail);
            size_t slash = path.find_last_of(L"\\/");
            std::string id;
            m->OfferFile(first, path, slash == std::wstring::npos ? path : path.substr(slash + 1), id);
            Emit("RESULT offer " + Escape(id));
        } else if (verb == "offerunits") {
            // offerunits NAME UNITS PATH: the file name as given, whatever the path.
            const size_t space = tail.find(' ');
            std::wstring label;
            std::string id;
            if (space != std::string::npos && ParseUnits(tail.substr(0, space), label)) {
                m->OfferFile(first, FromUtf8(tail.substr(space + 1)), label, id);
                Emit("RESULT offerunits " + Escape(id));
            } else {
                Emit("RESULT offerunits bad");
            }
        } else if (verb == "acceptfile") {
            // acceptfile MID ID SIZE PATH
            char mid[256] = {}, id[256] = {}, path[1024] = {};
            unsigned long size = 0;
            if (sscanf(rest.c_str(), "%255s %255s %lu %1023[^\n]", mid, id, &size, path) == 4) {
                std::wstring target = FromUtf8(path);
                size_t slash = target.find_last_of(L"\\/");
                m->AcceptFileOffer(mid, target, slash == std::wstring::npos ? target : target.substr(slash + 1),
                                   id, static_cast<uint32_t>(size));
                Emit("RESULT acceptfile 1");
            } else {
                Emit("RESULT acceptfile 0");
            }
        } else if (verb == "cancel") {
            m->CancelFileTransfer(rest);
            Emit("RESULT cancel");
        } else if (verb == "transfers") {
            Emit("RESULT transfers out=" + std::to_string(m->CountOutgoingTransfers())
                 + " in=" + std::to_string(m->CountIncomingTransfers()));
        } else if (verb == "quit") {
            return false;
        } else if (!verb.empty()) {
            Emit("RESULT unknown " + Escape(verb));
        }
        return true;
    }

    void Loop()
    {
        GetVoIPManager()->GetHandlerRegistry().RegisterHandler(&handler_);
        if (!Start())
            Emit("RESULT start 0");
        for (;;) {
            while (VoipEvent* e = handler_.PopEvent()) {
                Emit(Describe(*e));
                delete e;
            }
            std::string line;
            if (g_commands.Pop(line)) {
                if (!Run(line))
                    break;
                continue;
            }
            Sleep(5);
        }
        GetVoIPManager()->Stop();
        GetVoIPManager()->GetHandlerRegistry().UnregisterHandler(&handler_);
    }

private:
    Options options_;
    DWORD started_;
    CoreMessageHandler handler_;
};

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        fprintf(stderr, "usage: session_driver [--host H] [--backup H] [--port N] [--udp-port N] "
                        "[--user U] [--password P] [--instance N] [--language N]\n");
        return 2;
    }
    AppConfig* config = GetAppConfig();
    if (!config->Load())
        config->SetDefaults();
    config->SetInstanceIndex(options.instance);
    if (!options.host.empty())
        config->SetServerHost(options.host);
    if (!options.backup.empty())
        config->SetBackupServerHost(options.backup);
    if (!options.user.empty())
        config->SetUserName(options.user);
    if (!options.password.empty())
        config->SetPassword(options.password);
    if (options.udpPort >= 0)
        config->SetPort(static_cast<uint16_t>(options.udpPort));
    if (options.language >= 0)
        config->SetLanguageIndex(options.language);
    if (!LoadLanguage(static_cast<uint32_t>(config->GetLanguageIndex()))) {
        Emit("FATAL language");
        return 1;
    }
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        Emit("FATAL winsock");
        return 1;
    }
    HANDLE reader = CreateThread(nullptr, 0, ReadCommands, nullptr, 0, nullptr);
    if (!reader) {
        Emit("FATAL thread");
        return 1;
    }
    {
        Driver driver(options);
        driver.Loop();
    }
    WSACleanup();
    config->Save();
    Emit("BYE");
    // The reading thread may still wait in fgets.
    ExitProcess(0);
}
