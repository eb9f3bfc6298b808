// The firmware flash: stop the PLC, stream the embedded image to the controller's firmware
// download over AMS/TCP, start the PLC again, reporting progress steps to the wizard.
#pragma once

#include <chrono>

#include "platform/local_address.h"

// Results of FlashFirmware.
inline constexpr int FLASH_DONE = 1;               // all 47 frames sent, RUN requested
inline constexpr int FLASH_ERR_SOCKET = -1;        // the TCP socket could not be created
inline constexpr int FLASH_ERR_CONNECT = -2;       // the controller's port 48898 refused or failed
inline constexpr int FLASH_ERR_HOST_NAME = -3;     // this host's name could not be read
inline constexpr int FLASH_ERR_HOST_ADDRESS = -4;  // this host's name did not resolve
// The download connection broke, or stopped taking frames, before the last frame went out
// whole: the controller cannot hold the whole image. RUN was requested.
inline constexpr int FLASH_ERR_INCOMPLETE = -5;

// Where the sequence learns this host's name and its first IPv4 address, which form the
// frames' source NetId where the download connection cannot tell its own local address. The
// system's is the default; tests substitute others.
using LocalAddressSource = platform::HostLookup;
LocalAddressSource SystemLocalAddressSource();

// The flash's time limits are those of device/device_timing.h: each blocking call is bounded
// by AdsCallTimeout(), so the wizard's window is never left unpainted for longer; the download
// as a whole by FlashDownloadLimit(), and the wait for the last replies by FlashQuietLimit()
// within it. At worst a flash takes FlashDownloadLimit() (or until `notAfter`) + 5 x
// AdsCallTimeout(): STOP, the connection, the host name's resolution, the frame under way when
// the download's time is up, and RUN (plus one 30 ms reply wait).

using FlashClock = std::chrono::steady_clock;

// What one flash sent and what the controller acknowledged, for a caller that decides from it
// what the PLC may be doing now. A request that went out unacknowledged may still have taken.
struct FlashReport {
    bool stopSent = false;
    bool stopAcknowledged = false;
    bool imageWhole = false;  // every frame of the download went out whole (FLASH_DONE)
    bool runSent = false;
    bool runAcknowledged = false;
};

// Flashes the controller at a.b.c.d (each octet in the low 8 bits). Once the PLC has been
// asked to stop, every way out asks it to run again, so no attempt leaves it stopped. The
// download stops at `notAfter` at the latest (RUN still follows, bounded by the ADS call
// time-out).
int FlashFirmware(int a, int b, int c, int d);
int FlashFirmware(int a, int b, int c, int d, const LocalAddressSource& local);
int FlashFirmware(int a, int b, int c, int d, const LocalAddressSource& local,
                  FlashClock::time_point notAfter);
int FlashFirmware(int a, int b, int c, int d, const LocalAddressSource& local,
                  FlashClock::time_point notAfter, FlashReport& report);
