// Well-formed examples of every server message, which the control channel
// sends whole, cut at a field boundary or with odd enciphered names.
#pragma once

#include <string>

#include "Messages.h"

namespace relay {

struct SampleContext {
    std::string udpHost;
    uint16_t udpPort = 0;
    Bytes pad;
};

// False for a name that is neither a known sample nor a number; a number
// without a sample gives a body of just that type.
bool MakeSample(const std::string& name, const SampleContext& context, Message& out);
std::string SampleNames();

}  // namespace relay
