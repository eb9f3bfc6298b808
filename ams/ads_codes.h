// ADS result codes and PLC states: the numbers on the wire that the client and the controller
// agree on.
#pragma once

#include <cstdint>

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
