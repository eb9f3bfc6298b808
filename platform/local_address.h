// This host's own IPv4 address as a controller's router sees it, for the source NetId of AMS
// frames: the local end of the connection to the controller, and the host name's first address
// only where there is no connection to ask.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/tcp_socket.h"

namespace platform {

// The remote end of a connected socket as "a.b.c.d:port" ("?" when it cannot be told), for the
// simulated router's logs.
std::string PeerName(const TcpSocket& socket);

// This host's name and the first IPv4 address a name resolves to: the system's, or a test's.
struct HostLookup {
    std::function<std::optional<std::string>()> hostName;
    std::function<std::optional<Ipv4>(const std::string&)> firstIpv4;
};
HostLookup SystemHostLookup();
// The host name's first IPv4 address; empty when the name cannot be read or does not resolve,
// or after `limit`: resolving a name may wait on a name server without end.
// The host name is read on the calling thread (it is local); the resolution runs on a thread
// of its own, left to finish alone when it takes too long, so `lookup` must own what it uses.
std::optional<Ipv4> HostFirstIpv4Within(const HostLookup& lookup, std::chrono::milliseconds limit);

// The address this host talks to `connection`'s peer from: the connection's local end, the
// interface that routes to the peer, which is the address the peer's router keeps a route for.
// On a PC with several networks the host name's first address may face elsewhere, so that is
// `fallback` only while there is no connection (no route) or the system cannot tell.
Ipv4 AddressTowardPeer(const TcpSocket& connection, const Ipv4& fallback);

}  // namespace platform
