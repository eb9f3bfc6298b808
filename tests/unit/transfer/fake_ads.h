// A stand-in for the ADS client library, linked into the flash tests in place of the real one:
// it answers every call at once and writes each into a log shared with the progress steps, so
// a test sees the order of PLC stop, download and PLC start on the flash's own thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ams/ams_types.h"

namespace corvane::test {

// Entries such as "AdsPortOpenEx", "AdsSyncSetTimeoutEx 32768 2000",
// "WriteControl 32768 6 0 0 null 127.13.4.5.1.1:800", "AdsPortCloseEx 32768".
std::vector<std::string>& FlowLog();
void ClearFlowLog();

// Called inside every AdsSyncWriteControlReq with the requested ADS state.
void SetWriteControlHook(std::function<void(uint16_t adsState)> hook);

std::string FormatAmsAddr(const AmsAddr& addr);

}  // namespace corvane::test
