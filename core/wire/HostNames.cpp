#include "wire/HostNames.h"

#include <winsock2.h>

#include <cstring>

bool ResolveHost(const char* host, uint32_t& address)
{
    // An empty text would name the local machine.
    if (!host || !*host)
        return false;
    unsigned long dotted = inet_addr(host);
    if (dotted != INADDR_NONE) {
        address = dotted;
        return true;
    }
    hostent* entry = gethostbyname(host);
    if (!entry)
        return false;
    // An entry of another family has no IPv4 address to give: sending to
    // INADDR_NONE would be a broadcast.
    if (entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list[0])
        return false;
    std::memcpy(&address, entry->h_addr_list[0], 4);
    return true;
}
