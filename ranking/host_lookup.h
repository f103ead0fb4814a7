#pragma once
// The ranking server's name looked up without freezing the window: the system's resolver may
// take seconds, so it runs on a thread of its own while the window keeps pumping.
#include <cstdint>
#include <vector>

#include "platform/net.h"

// The endpoints of `host` on `port`, in the resolver's order. An address (dotted IPv4, IPv6)
// is read at once; a name is looked up on a thread of its own while the window's messages are
// pumped, for at most `limitMs`. A lookup still under way then is left to end by itself and its
// answer dropped. False, with `endpoints` empty, when the host has no address in time.
bool LookUpHost(const char* host, uint16_t port, uint32_t limitMs, std::vector<platform::Endpoint>& endpoints);
