// Whether the bytes one receive returned answer an AMS request: a pure function, so it can be
// tested and fuzzed without sockets.
#pragma once

#include <cstdint>
#include <span>

// True when `received` holds at least the 38 header bytes and its command id and invoke id
// equal the request's and its error code is 0. Lengths, addresses, state flags and data are
// not looked at. A reply shorter than the headers is false: its fields never arrived.
bool ReplyAnswersRequest(std::span<const uint8_t> received, uint16_t commandId, uint32_t invokeId);
