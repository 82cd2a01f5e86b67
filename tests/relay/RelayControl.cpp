// The control channel: one command a line, one "ok ..." or "err ..." line
// back. Tests use it to wait for log lines and to inject faults.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "Relay.h"
#include "Samples.h"

namespace relay {

namespace {

const char* kControlPrefix = "ctl: ";

const char* kHelp =
    "commands: help | quit | links | violations | log TEXT | wait MS TEXT | mark | set NAME VALUE | "
    "close LINK | reset LINK | raw LINK HEX | frame LINK HEX | "
    "sample LINK NAME [plain|twin] [cut K] [enclen N] | fields NAME | when TYPE|accept COMMAND | down | up; "
    "LINK is #N, N, an e-mail address, last, all, or this (in a when command)";

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

// The text after the first n words.
std::string Rest(const std::string& line, size_t n) {
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        pos = line.find_first_not_of(' ', pos);
        pos = line.find(' ', pos);
        if (pos == std::string::npos) return "";
    }
    size_t start = line.find_first_not_of(' ', pos);
    return start == std::string::npos ? "" : line.substr(start);
}

bool Number(const std::string& s, int64_t& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(s.c_str(), &end, 0);
    if (*end || errno) return false;
    v = n;
    return true;
}

bool IsControlLine(const std::string& line) {
    return line.compare(0, strlen(kControlPrefix), kControlPrefix) == 0;
}

}  // namespace

bool Relay::OpenControl(std::string& error) {
    if (options_.stdinControl) controls_.push_back(std::make_unique<Control>());
    if (options_.controlPort < 0) return true;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(options_.controlPort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 4) != 0) {
        error = "control port " + std::to_string(options_.controlPort) + ": " + strerror(errno);
        if (fd >= 0) close(fd);
        return false;
    }
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    controlPort_ = ntohs(a.sin_port);
    controlFd_ = fd;
    return true;
}

void Relay::AcceptControl() {
    int fd = accept(controlFd_, nullptr, nullptr);
    if (fd < 0) return;
    auto c = std::make_unique<Control>();
    c->fd = fd;
    controls_.push_back(std::move(c));
    Log(std::string(kControlPrefix) + "controller connected");
}

void Relay::ReadControl(Control& c) {
    char buf[4096];
    ssize_t n = c.fd < 0 ? read(0, buf, sizeof buf) : recv(c.fd, buf, sizeof buf, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        c.closed = true;
        if (c.fd >= 0) close(c.fd);
        Log(std::string(kControlPrefix) + "controller closed");
        if (c.fd < 0 || options_.exitWithControl) quit_ = true;
        return;
    }
    c.in.append(buf, size_t(n));
    ProcessControl(c);
}

void Relay::ProcessControl(Control& c) {
    while (!c.closed && !quit_) {
        if (c.waiting) {
            CheckWaits(Now());
            if (c.waiting) return;
        }
        size_t eol = c.in.find('\n');
        if (eol == std::string::npos) return;
        std::string line = c.in.substr(0, eol);
        c.in.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string reply = Execute(line, &c, 0);
        if (!reply.empty()) Reply(c, reply);
    }
}

void Relay::CheckWaits(int64_t now) {
    for (auto& c : controls_) {
        if (!c->waiting) continue;
        for (size_t i = c->cursor; i < lines_.size(); ++i) {
            const std::string& line = lines_[i];
            if (IsControlLine(line) || line.find(c->waitText) == std::string::npos) continue;
            c->cursor = i + 1;
            c->waiting = false;
            Reply(*c, "ok " + line);
            break;
        }
        if (c->waiting && now >= c->waitUntil) {
            c->waiting = false;
            Reply(*c, "err timeout waiting for " + c->waitText);
        }
    }
    for (auto& c : controls_)
        if (!c->waiting && !c->in.empty()) ProcessControl(*c);
}

void Relay::Reply(Control& c, const std::string& text) {
    Log(kControlPrefix + text);
    std::string line = text + "\n";
    if (c.fd < 0) {
        fputs(line.c_str(), stdout);
        fflush(stdout);
    } else {
        send(c.fd, line.data(), line.size(), MSG_NOSIGNAL);
    }
}

std::vector<Relay::Link*> Relay::Select(const std::string& s, int self, std::string& error) {
    std::vector<Link*> out;
    if (s == "all") {
        for (auto& [id, l] : links_)
            if (!l.dead) out.push_back(&l);
    } else if (s == "this" || s == "last") {
        if (Link* l = FindLink(s == "this" ? self : lastLink_)) out.push_back(l);
    } else if (s.find('@') != std::string::npos) {
        if (Link* l = Online(s)) out.push_back(l);
    } else {
        int64_t id = 0;
        if (Number(s[0] == '#' ? s.substr(1) : s, id))
            if (Link* l = FindLink(int(id))) out.push_back(l);
    }
    if (out.empty()) error = "err no link " + s;
    return out;
}

bool Relay::RunHook(const std::string& trigger, Link& l) {
    for (auto it = hooks_.begin(); it != hooks_.end(); ++it) {
        if (it->trigger != trigger) continue;
        std::string command = it->command;
        hooks_.erase(it);
        Log(kControlPrefix + ("when " + trigger + " on " + Tag(l) + ": " + command));
        Log(kControlPrefix + Execute(command, nullptr, l.id));
        return true;
    }
    return false;
}

std::string Relay::Execute(const std::string& line, Control* c, int self) {
    std::vector<std::string> w = Words(line);
    if (w.empty()) return "err empty command";
    const std::string& op = w[0];
    if (c) Log(kControlPrefix + line);
    if (op == "help") return std::string("ok ") + kHelp;
    if (op == "quit") {
        quit_ = true;
        return "ok";
    }
    if (op == "violations") return "ok " + std::to_string(violations_);
    if (op == "log") {
        Log("note: " + Rest(line, 1));
        return "ok";
    }
    if (op == "mark") {
        if (c) c->cursor = lines_.size();
        return "ok";
    }
    if (op == "links") {
        std::string list;
        for (auto& [id, l] : links_)
            if (!l.dead) list += " " + Tag(l) + (l.email.empty() ? " connected" : " signed-in");
        return "ok" + list;
    }
    if (op == "wait") {
        int64_t ms = 0;
        if (!c || w.size() < 3 || !Number(w[1], ms)) return "err usage: wait MS TEXT (not inside when)";
        c->waiting = true;
        c->waitText = Rest(line, 2);
        c->waitUntil = Now() + ms;
        return "";
    }
    if (op == "set") {
        std::string error = ExecuteSet(w, line);
        return error.empty() ? "ok" : error;
    }
    if (op == "fields" && w.size() >= 2) {
        Message m;
        if (!MakeSample(w[1], {options_.udpHost, udpPort_, pad_}, m)) return "err no sample " + w[1];
        return "ok " + std::to_string(m.fields.size());
    }
    if (op == "when" && w.size() >= 3) {
        hooks_.push_back({w[1], Rest(line, 2)});
        return "ok";
    }
    if (op == "down") {
        if (listenFd_ >= 0) close(listenFd_);
        listenFd_ = -1;
        for (auto& [id, l] : links_) Drop(l, "relay taken down");
        Log("relay down");
        return "ok";
    }
    if (op == "up") {
        if (listenFd_ >= 0) return "ok already up";
        std::string error;
        if (!Listen(error)) return "err " + error;
        Log("relay up");
        return "ok";
    }
    if (w.size() < 2) return std::string("err unknown command; ") + kHelp;

    std::string error;
    std::vector<Link*> targets = Select(w[1], self, error);
    if (targets.empty()) return error;
    if (op == "close" || op == "reset") {
        for (Link* l : targets) Drop(*l, op == "reset" ? "reset by the controller" : "closed by the controller", op == "reset");
        return "ok";
    }
    if (op == "raw" || op == "frame") {
        Bytes b;
        if (w.size() < 3 || !FromHex(Rest(line, 2), b)) return "err usage: " + op + " LINK HEX";
        for (Link* l : targets) {
            if (op == "frame") {
                SendBody(*l, b);
            } else {
                Log(Tag(*l) + " > raw " + Hex(b));
                Enqueue(*l, b, true);
            }
        }
        return "ok";
    }
    if (op == "sample") return ExecuteSample(w, self);
    return std::string("err unknown command; ") + kHelp;
}

std::string Relay::ExecuteSample(const std::vector<std::string>& w, int self) {
    Message m;
    if (w.size() < 3 || !MakeSample(w[2], {options_.udpHost, udpPort_, pad_}, m))
        return "err usage: sample LINK NAME [plain|twin] [cut K] [enclen N]; names: " + SampleNames();
    EncodeOptions o;
    o.twin = set_.twin;
    for (size_t i = 3; i < w.size(); ++i) {
        int64_t v = 0;
        if (w[i] == "plain" || w[i] == "twin") {
            o.twin = w[i] == "twin";
        } else if ((w[i] == "cut" || w[i] == "enclen") && i + 1 < w.size() && Number(w[i + 1], v) && v >= 0) {
            (w[i] == "cut" ? o.cut : o.encLength) = int(v);
            ++i;
        } else {
            return "err unexpected " + w[i];
        }
    }
    std::string error;
    std::vector<Link*> targets = Select(w[1], self, error);
    for (Link* l : targets) Send(*l, m, o);
    return targets.empty() ? error : "ok";
}

std::string Relay::ExecuteSet(const std::vector<std::string>& w, const std::string& line) {
    if (w.size() < 3) return "err usage: set NAME VALUE";
    const std::string& name = w[1];
    const std::string& v = w[2];
    int64_t n = 0;
    bool isNumber = Number(v, n) && n >= 0;
    auto onOff = [&](bool& target) {
        if (v != "on" && v != "off") return false;
        target = v == "on";
        return true;
    };
    auto answer = [&](Answer& target, bool allowUnknown) {
        if (v == "normal") target = Answer::Normal;
        else if (v == "refuse") target = Answer::Refuse;
        else if (v == "unknown" && allowUnknown) target = Answer::Unknown;
        else return false;
        return true;
    };
    auto numberOr = [&](int64_t& target, const char* word) {
        if (v == word) target = -1;
        else if (isNumber) target = n;
        else return false;
        return true;
    };
    bool ok = false;
    if (name == "keepalive") ok = onOff(set_.keepAlive);
    else if (name == "twin") ok = onOff(set_.twin);
    else if (name == "keepalive-ms" && isNumber && n > 0) set_.keepAliveMs = int(n), ok = true;
    else if (name == "pace-ms" && isNumber) set_.paceMs = int(n), ok = true;
    else if (name == "signal-delay-ms" && isNumber) set_.signalDelayMs = int(n), ok = true;
    else if (name == "chunk" && isNumber && n <= 0xFFFFFFFFll) set_.chunk = uint32_t(n), ok = true;
    else if (name == "login") ok = answer(set_.login, true);
    else if (name == "register") ok = answer(set_.registration, false);
    else if (name == "session") {
        if (v == "status" && w.size() > 3 && Number(w[3], n) && n >= 0 && n <= 0xFFFFFFFFll) {
            set_.session = Answer::Normal;
            set_.sessionStatus = n;
            ok = true;
        } else if (answer(set_.session, false)) {
            set_.sessionStatus = -1;
            ok = true;
        }
    } else if (name == "reason") {
        set_.reason = Rest(line, 2);
        ok = true;
    }
    else if (name == "pad-size") ok = numberOr(set_.padSize, "normal");
    else if (name == "pad-offset") ok = numberOr(set_.padOffset, "auto");
    else if (name == "list-count") ok = numberOr(set_.listCount, "normal");
    else if (name == "offer") ok = numberOr(set_.offer, "normal") && set_.offer <= 0xFFFFFFFFll;
    else if (name == "path") {
        ok = true;
        if (v == "direct") set_.path = Path::Direct;
        else if (v == "relay") set_.path = Path::Relay;
        else if (v == "auto") set_.path = Path::Auto;
        else ok = false;
    } else if (name == "voice") {
        const char* names[] = {"pass", "corrupt", "strip", "enlarge", "drop"};
        for (int i = 0; i < 5; ++i)
            if (v == names[i]) set_.voice = Voice(i), ok = true;
    } else if (name == "update") {
        if (v == "off") set_.update = false, ok = true;
        else if (w.size() == 4) set_.update = true, set_.updateVersion = w[2], set_.updateAddress = w[3], ok = true;
    }
    return ok ? "" : "err bad value for " + name;
}

void Relay::WriteInfo() {
    if (options_.infoFile.empty()) return;
    std::string tmp = options_.infoFile + ".tmp";
    FILE* f = fopen(tmp.c_str(), "w");
    if (!f) return Log("could not write " + options_.infoFile);
    fprintf(f, "tcp=%u\nudp=%u\ncontrol=%u\npid=%d\n", tcpPort_, udpPort_, controlPort_, int(getpid()));
    fclose(f);
    rename(tmp.c_str(), options_.infoFile.c_str());
}

}  // namespace relay
