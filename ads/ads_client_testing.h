// Test hooks of the ADS client: back to the state of a freshly started process, and a stand-in
// for the host-name look-up that gives a port its address before it has reached a controller.
#pragma once

#include <cstddef>

#include "platform/local_address.h"

// Closes every port, drops every connection, restarts port numbering at 0x8000 and goes back to
// the system's host-name look-up.
void AdsClientResetForTests();
// Ports opened after this take this host's name and first address from `lookup`.
void AdsClientSetHostLookupForTests(platform::HostLookup lookup);
// How many ports are open, the default port among them.
size_t AdsClientOpenPortCountForTests();
