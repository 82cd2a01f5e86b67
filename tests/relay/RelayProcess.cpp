#include "RelayProcess.h"

#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace relay {

namespace {

std::map<std::string, int> ReadInfo(const std::string& path) {
    std::map<std::string, int> info;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) info[line.substr(0, eq)] = atoi(line.c_str() + eq + 1);
    }
    return info;
}

}  // namespace

RelayProcess::~RelayProcess() {
    Stop();
    if (!dir.empty() && !getenv("KEEP_RELAY_LOGS")) {
        for (const char* f : {"/relay.log", "/info", "/enrolled.txt"}) unlink((dir + f).c_str());
        rmdir(dir.c_str());
    }
}

bool RelayProcess::Start(const std::vector<std::string>& extra) {
    char tmpl[] = "/tmp/relay-test-XXXXXX";
    if (!mkdtemp(tmpl)) return false;
    dir = tmpl;
    std::vector<std::string> args = {TEST_RELAY_BIN, "--port", "0", "--udp-port", "0", "--control-port", "0",
                                     "--exit-with-control", "--log", dir + "/relay.log", "--info", dir + "/info",
                                     "--lifetime", "120", "--pace-ms", "10", "--signal-delay-ms", "300"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid_ < 0) return false;
    for (int i = 0; i < 500; ++i) {
        auto info = ReadInfo(dir + "/info");
        if (info.count("control")) {
            tcp = uint16_t(info["tcp"]);
            udp = uint16_t(info["udp"]);
            control = uint16_t(info["control"]);
            control_ = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(control);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return connect(control_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string RelayProcess::Command(const std::string& line, int timeoutMs) {
    std::string out = line + "\n";
    if (control_ < 0 || send(control_, out.data(), out.size(), MSG_NOSIGNAL) != ssize_t(out.size())) return "";
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t eol = in_.find('\n');
        if (eol != std::string::npos) {
            std::string reply = in_.substr(0, eol);
            in_.erase(0, eol + 1);
            return reply;
        }
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        pollfd p{control_, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) return "";
        char buf[4096];
        ssize_t n = recv(control_, buf, sizeof buf, 0);
        if (n <= 0) return "";
        in_.append(buf, size_t(n));
    }
}

bool RelayProcess::Wait(const std::string& text, int timeoutMs) {
    return Command("wait " + std::to_string(timeoutMs) + " " + text, timeoutMs + 2000).compare(0, 2, "ok") == 0;
}

std::string RelayProcess::Log() const {
    std::ifstream in(dir + "/relay.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool RelayProcess::Running() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
    return pid_ > 0;
}

bool RelayProcess::Stop(int timeoutMs) {
    if (control_ >= 0) close(control_);  // the relay ends with its controller
    control_ = -1;
    if (pid_ < 0) return true;
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return false;
}

}  // namespace relay
