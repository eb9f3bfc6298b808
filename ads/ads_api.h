// The ADS client library's synchronous interface, implemented here as our own ADS client over
// AMS/TCP to the controller's router, so the service PC needs no vendor runtime.
#pragma once

#include <cstdint>

#include "ams/ads_codes.h"
#include "ams/ams_types.h"

// Ports. Each port has its own time-out and its own share of the connections it used; closing
// one ends only what is its own, never another port's call. Calls on a port that is not open
// return ADSERR_CLIENT_PORTNOTOPEN.

// Opens a new port; its number (0x8000 upward, not handed out again while numbers are left),
// or 0 on failure.
int32_t AdsPortOpenEx();
// Closes `port`; 0 when closed, ADSERR_CLIENT_PORTNOTOPEN when it was not open.
int32_t AdsPortCloseEx(int32_t port);
// The AMS address `port`'s requests carry: the local end of its latest connection to a
// controller (the address that controller's router sees), then 1.1; before the port has
// reached any, this host's first IPv4 address, then 1.1 (looked up then, given up after the
// port's time-out: 127.0.0.1.1.1 stands in). And the port's number.
int32_t AdsGetLocalAddressEx(int32_t port, AmsAddr* pAddr);
// Time-out of every later synchronous call on `port` (default 5,000 ms).
int32_t AdsSyncSetTimeoutEx(int32_t port, int32_t timeoutMs);
int32_t AdsSyncReadReqEx(int32_t port, const AmsAddr* pAddr, uint32_t indexGroup,
                         uint32_t indexOffset, uint32_t length, void* pData);
int32_t AdsSyncWriteReqEx(int32_t port, const AmsAddr* pAddr, uint32_t indexGroup,
                          uint32_t indexOffset, uint32_t length, const void* pData);
int32_t AdsSyncWriteControlReqEx(int32_t port, const AmsAddr* pAddr, uint16_t adsState,
                                 uint16_t devState, uint32_t length, const void* pData);

// The state of the ADS device at `pAddr` (ADS command ReadState): its ADS state (ADSSTATE_RUN,
// ADSSTATE_STOP, ...) and device state.
int32_t AdsSyncReadStateReqEx(int32_t port, const AmsAddr* pAddr, uint16_t* pAdsState,
                              uint16_t* pDevState);

// The same over the process's default port, one per process.
// Opens the default port (or returns it when it is open already); 0 on failure.
int32_t AdsPortOpen();
// Closes the default port; 0 when closed, ADSERR_CLIENT_PORTNOTOPEN when none was open.
int32_t AdsPortClose();
int32_t AdsGetLocalAddress(AmsAddr* pAddr);
int32_t AdsSyncReadReq(const AmsAddr* pAddr, uint32_t indexGroup, uint32_t indexOffset,
                       uint32_t length, void* pData);
int32_t AdsSyncWriteReq(const AmsAddr* pAddr, uint32_t indexGroup, uint32_t indexOffset,
                        uint32_t length, const void* pData);
int32_t AdsSyncWriteControlReq(const AmsAddr* pAddr, uint16_t adsState, uint16_t devState,
                               uint32_t length, const void* pData);
