// The update run: saves the instrument's parameters, judges its firmware version, flashes the
// embedded image until the instrument answers again, restores the parameters and reports the
// outcome, all on the caller's (the wizard's) thread behind a small view interface.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/window_message.h"

// Versions below this cannot take the embedded firmware.
inline constexpr float MIN_UPDATABLE_VERSION = 3.0f;
// Transfers per run at most while the instrument does not answer again.
inline constexpr int MAX_FLASH_ATTEMPTS = 15;
// After the session is closed, the instrument is given 8 x 200 ms before anything else.
inline constexpr int SETTLE_WAIT_COUNT = 8;
inline constexpr std::chrono::milliseconds SETTLE_WAIT{200};
// Before every transfer but the first, and between two looks for a restarting instrument.
inline constexpr std::chrono::milliseconds FLASH_RETRY_PAUSE{1000};
// After a complete transfer the instrument restarts; it is looked for this many times, one
// pause apart, before the image is sent again.
inline constexpr int RESTART_WAIT_COUNT = 60;
// A write refused while the instrument reports busy (state 2) is tried again after this pause,
// at most this many times over the whole restore (30 s in all).
inline constexpr std::chrono::milliseconds BUSY_WRITE_RETRY_PAUSE{1000};
inline constexpr int MAX_BUSY_WRITE_RETRIES = 30;

// The texts the run leaves in the wizard's main label.
inline constexpr const char* TEXT_CONNECT_FAILED = "Couldn't connect to Corvane System";
inline constexpr const char* TEXT_TOO_OLD =
    "Your Corvane is too old for firmware update. Please contact Tolvik for an upgrade "
    "quotation.";
inline constexpr const char* TEXT_ALREADY_CURRENT =
    "You already have a newer/equal Firmware Version!";
inline constexpr const char* TEXT_READ_FAILED =
    "Couldn't read the parameters of your Corvane System. The firmware was not changed.";
inline constexpr const char* TEXT_UNKNOWN_ERROR =
    "Firmware update failed due to unknown error! Please contact Tolvik!";
inline constexpr const char* TEXT_RESTORE_FAILED =
    "The firmware was installed, but the parameters could not be restored. Please contact "
    "Tolvik!";

// What the run needs from the window that shows it. The wizard dialog implements it on
// Windows; tests implement it with a stand-in window.
class UpdateRunView {
public:
    virtual ~UpdateRunView() = default;
    // The instrument's IPv4 address as typed, first octet first; an empty field reads as 0.
    virtual std::array<uint8_t, 4> ReadAddress() = 0;
    virtual void SetProgressRange(int low, int high) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetMessageText(const std::string& text) = 0;
    // The window that receives the flash sequence's WM_FLASH_STEP messages.
    virtual platform::WindowHandle WindowHandle() = 0;
    // Removes, translates and dispatches every message waiting for the calling thread.
    virtual void PumpPendingMessages() = 0;
};

// The transfer of the embedded image to the instrument at a.b.c.d; FlashFirmware unless a
// test substitutes one that counts or wraps it.
using FlashFunction = std::function<int(int, int, int, int)>;

struct UpdateRunOptions {
    FlashFunction flash;  // empty = FlashFirmware
};

// Runs one update. True only when the instrument answers with the new firmware and every
// saved parameter has been written back; otherwise false, with the reason left in the view's
// message text. Never throws.
bool RunUpdate(UpdateRunView& view, const UpdateRunOptions& options = {});
