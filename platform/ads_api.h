// The ADS client library's synchronous interface, implemented here as our own ADS client over
// AMS/TCP to the controller's router, so the service PC needs no vendor runtime.
#pragma once

#include <cstdint>

#include "ams/ams_types.h"

// Results: 0 or an ADS error code.
inline constexpr int32_t ADSERR_NOERR = 0x0000;
inline constexpr int32_t ADSERR_TARGET_PORT_NOT_FOUND = 0x0006;
inline constexpr int32_t ADSERR_TARGET_MACHINE_NOT_FOUND = 0x0007;
inline constexpr int32_t ADSERR_UNKNOWN_COMMAND = 0x0008;
inline constexpr int32_t ADSERR_INVALID_AMS_LENGTH = 0x000E;
inline constexpr int32_t ADSERR_DEVICE_SRVNOTSUPP = 0x0701;
inline constexpr int32_t ADSERR_DEVICE_INVALIDGRP = 0x0702;
inline constexpr int32_t ADSERR_DEVICE_INVALIDOFFSET = 0x0703;
inline constexpr int32_t ADSERR_DEVICE_INVALIDSIZE = 0x0705;
inline constexpr int32_t ADSERR_DEVICE_INVALIDDATA = 0x0706;
inline constexpr int32_t ADSERR_DEVICE_NOTREADY = 0x0707;
inline constexpr int32_t ADSERR_DEVICE_BUSY = 0x0708;
inline constexpr int32_t ADSERR_CLIENT_INVALIDPARM = 0x0741;
inline constexpr int32_t ADSERR_CLIENT_SYNCTIMEOUT = 0x0745;
inline constexpr int32_t ADSERR_CLIENT_PORTNOTOPEN = 0x0748;
inline constexpr int32_t ADSERR_CLIENT_NOAMSADDR = 0x0749;
inline constexpr int32_t ADSERR_CLIENT_INVALIDRESPONSE = 0x0754;

inline constexpr uint16_t ADSSTATE_RUN = 5;
inline constexpr uint16_t ADSSTATE_STOP = 6;

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
// reached any, this host's first IPv4 address, then 1.1. And the port's number.
int32_t AdsGetLocalAddressEx(int32_t port, AmsAddr* pAddr);
// Time-out of every later synchronous call on `port` (default 5,000 ms).
int32_t AdsSyncSetTimeoutEx(int32_t port, int32_t timeoutMs);
int32_t AdsSyncReadReqEx(int32_t port, const AmsAddr* pAddr, uint32_t indexGroup,
                         uint32_t indexOffset, uint32_t length, void* pData);
int32_t AdsSyncWriteReqEx(int32_t port, const AmsAddr* pAddr, uint32_t indexGroup,
                          uint32_t indexOffset, uint32_t length, const void* pData);
int32_t AdsSyncWriteControlReqEx(int32_t port, const AmsAddr* pAddr, uint16_t adsState,
                                 uint16_t devState, uint32_t length, const void* pData);

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
