// Host names and dotted addresses to IPv4 addresses: for the server link and
// for the peers and relays of a call's media.
#pragma once

#include <cstdint>

// A dotted address or a host name to an IPv4 address in network order.
// False when the name does not resolve to an IPv4 address.
bool ResolveHost(const char* host, uint32_t& address);
