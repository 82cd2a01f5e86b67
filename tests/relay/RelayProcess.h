// Starts the relay program for one test in a folder of its own, talks to its
// control port and ends it again. Test infrastructure only.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace relay {

class RelayProcess {
public:
    RelayProcess() = default;
    ~RelayProcess();
    RelayProcess(const RelayProcess&) = delete;
    RelayProcess& operator=(const RelayProcess&) = delete;

    // Free ports, the demo accounts, a quick pace; `extra` is appended to the
    // command line.
    bool Start(const std::vector<std::string>& extra = {});
    // Sends one control line and returns the reply line ("" when none came).
    std::string Command(const std::string& line, int timeoutMs = 15000);
    // The reply of "wait MS TEXT" starts with "ok" once a log line holds TEXT.
    bool Wait(const std::string& text, int timeoutMs = 5000);
    std::string Log() const;
    // False once the program has ended.
    bool Running();
    // Ends the relay and reports whether it ended by itself within the time.
    bool Stop(int timeoutMs = 5000);

    uint16_t tcp = 0, udp = 0, control = 0;
    std::string dir;

private:
    pid_t pid_ = -1;
    int control_ = -1;
    std::string in_;
};

}  // namespace relay
