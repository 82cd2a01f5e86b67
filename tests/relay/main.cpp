// Command line of the test relay; see README.md beside this file.
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Relay.h"

namespace {

const char* kUsage =
    "usage: test_relay [options]\n"
    "  --host ADDR            address to listen on (127.0.0.1)\n"
    "  --port N               TCP port, 0 = any free one (20015)\n"
    "  --udp-port N           UDP port for probes and voice, 0 = any (0)\n"
    "  --udp-host ADDR        address named in probe targets (the --host)\n"
    "  --control-port N       TCP control port on 127.0.0.1, 0 = any, -1 = none (0)\n"
    "  --stdin                read control commands from standard input; its end ends the relay\n"
    "  --exit-with-control    end when a control connection closes\n"
    "  --accounts FILE        accounts file, may repeat (demo_accounts.txt beside the program)\n"
    "  --enrol-file FILE      read at start, and every enrolled device is appended to it\n"
    "  --pad FILE             the 2048-byte pad (a fixed built-in one)\n"
    "  --log FILE             decoded frame log (standard error)\n"
    "  --info FILE            write tcp=, udp=, control= and pid= lines once listening\n"
    "  --lifetime S           end after S seconds (900)\n"
    "  --pace-ms N            at most one frame per N ms to each client (250)\n"
    "  --keepalive-ms N       keep-alive period (3000)\n"
    "  --plain                send first-set types with plain names instead of the twins\n"
    "  --path direct|relay|auto  media path policy (auto)\n"
    "  --chunk N              chunk size asked of file senders (8192)\n"
    "  --signal-delay-ms N    delay of the call-page signal (1000)\n";

std::string ProgramDir() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = 0;
    std::string s(path);
    return s.substr(0, s.rfind('/'));
}

bool ToInt(const char* s, int& out) {
    char* end = nullptr;
    long v = strtol(s, &end, 10);
    if (!*s || *end || v < INT_MIN || v > INT_MAX) return false;
    out = int(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTERM, [](int) { relay::Relay::RequestStop(); });
    signal(SIGINT, [](int) { relay::Relay::RequestStop(); });
    relay::RelayOptions o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto text = [&](std::string& target) {
            if (!v) return false;
            target = v;
            ++i;
            return true;
        };
        auto number = [&](int& target) {
            if (!v || !ToInt(v, target)) return false;
            ++i;
            return true;
        };
        std::string s;
        int n = 0;
        bool ok = true;
        if (a == "--help") {
            fputs(kUsage, stdout);
            return 0;
        } else if (a == "--host") ok = text(o.host);
        else if (a == "--port") ok = number(o.port);
        else if (a == "--udp-port") ok = number(o.udpPort);
        else if (a == "--udp-host") ok = text(o.udpHost);
        else if (a == "--control-port") ok = number(o.controlPort);
        else if (a == "--stdin") o.stdinControl = true;
        else if (a == "--exit-with-control") o.exitWithControl = true;
        else if (a == "--accounts") ok = text(s), o.accountFiles.push_back(s);
        else if (a == "--enrol-file") ok = text(o.enrolFile);
        else if (a == "--pad") ok = text(o.padFile);
        else if (a == "--log") ok = text(o.logFile);
        else if (a == "--info") ok = text(o.infoFile);
        else if (a == "--lifetime") ok = number(o.lifetimeSeconds) && o.lifetimeSeconds > 0;
        else if (a == "--pace-ms") ok = number(o.settings.paceMs) && o.settings.paceMs >= 0;
        else if (a == "--keepalive-ms") ok = number(o.settings.keepAliveMs) && o.settings.keepAliveMs > 0;
        else if (a == "--plain") o.settings.twin = false;
        else if (a == "--chunk") ok = number(n) && n >= 0, o.settings.chunk = uint32_t(n);
        else if (a == "--signal-delay-ms") ok = number(o.settings.signalDelayMs) && o.settings.signalDelayMs >= 0;
        else if (a == "--path") {
            ok = text(s);
            if (s == "direct") o.settings.path = relay::Path::Direct;
            else if (s == "relay") o.settings.path = relay::Path::Relay;
            else if (s == "auto") o.settings.path = relay::Path::Auto;
            else ok = false;
        } else {
            fprintf(stderr, "test_relay: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
        if (!ok) {
            fprintf(stderr, "test_relay: bad or missing value for %s\n", a.c_str());
            return 2;
        }
    }
    if (o.accountFiles.empty()) o.accountFiles.push_back(ProgramDir() + "/demo_accounts.txt");

    relay::Relay r(o);
    std::string error;
    if (!r.Start(error)) {
        fprintf(stderr, "test_relay: %s\n", error.c_str());
        return 1;
    }
    printf("tcp=%u udp=%u control=%u\n", r.TcpPort(), r.UdpPort(), r.ControlPort());
    fflush(stdout);
    r.Run();
    return 0;
}
