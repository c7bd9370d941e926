// Connecting the two kinds of transport endpoint: a named pipe and a TCP socket.
#pragma once

#include <memory>
#include <string>

#include "simlink/simconnect/simconnect_connection.h"

namespace simconnect {

// Opens the client end of a named pipe; a busy pipe is waited for (5000 ms per wait, at most
// that long in all). Null on failure.
std::unique_ptr<StreamEndpoint> gf_connectPipe(const std::string& pipeName);

// Connects a TCP socket of the family (AF_INET or AF_INET6) to address:port. Null on failure.
std::unique_ptr<StreamEndpoint> gf_connectTcp(int family, const std::string& address,
                                              const std::string& port);

// Whether "::1" resolves as a numeric IPv6 stream address here.
bool gf_ipv6LoopbackAvailable();

// Starts Winsock (version 2.0) unless this library has started it already.
bool gf_startWinsock();
// Stops Winsock when this library started it.
void gf_stopWinsock();

}  // namespace simconnect
