// The update run: saves the instrument's parameters, judges its firmware version, flashes the
// embedded image until the instrument answers again, restores the parameters and reports the
// outcome, all on the caller's (the wizard's) thread behind a small view interface.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "app/wizard_texts.h"
#include "platform/window_message.h"
#include "transfer/flash_firmware.h"

class KeptParameters;

// Versions below this cannot take the embedded firmware.
inline constexpr float MIN_UPDATABLE_VERSION = 3.0f;
// Transfers per run at most while the instrument does not show the new firmware.
inline constexpr int MAX_FLASH_ATTEMPTS = 15;
// After the session is closed, the instrument is given 8 x 200 ms before anything else.
inline constexpr int SETTLE_WAIT_COUNT = 8;
inline constexpr std::chrono::milliseconds SETTLE_WAIT{200};
// Before every transfer but the first, and between two looks for a restarting instrument.
inline constexpr std::chrono::milliseconds FLASH_RETRY_PAUSE{1000};
// Rounds of writing the parameters back and confirming them, until one is confirmed.
inline constexpr int MAX_RESTORE_ROUNDS = 3;

// How long each phase of a run may take, on the steady clock, and its pauses. No Connect
// starts, no mailbox exchange waits, no download goes on, no look starts and no transfer starts
// past its phase's end; what may still be under way then is bounded by the device link's limits
// (device/device_timing.h: ADS call 2 s, exchange 10 s, worker wait 10 s) and one pause. The
// time a user takes to answer a question is not the instrument's: the phase starts again after
// it, and it is not counted here.
//
// Ending a session costs at most its release (10 s), the wait for its worker (10 s) and
// Shutdown's waits for the lock (12 ADS calls, 24 s): 44 s. A look costs four ADS calls (the
// PLC's state, the session's status read, a wait for the lock, the state word read last) and
// the end of its session. So the worst case of a whole run, whatever the instrument does
// (silent, refusing, half-open, slow, busy, restarting amid anything), adds up as follows:
//     save: connect, read, connect again after a drop    45 s + 2 s (a status read)
//                                                             + 44 s (a session) + 1 s (a pause)
//     release the saving session, settle                  44 s + 1.6 s
//     transfers and looks for the new firmware          120 s + 10 s (a transfer begun: STOP,
//                                                             connect, name, frame, RUN)
//                                                             + 8 s + 44 s (a look begun)
//                                                             + 1 s (a pause)
//                                                             + 7 s (past the end: the PLC's
//                                                             state, one last RUN, a pause,
//                                                             the PLC's state again)
//     restore, read back, confirm afresh                  75 s + 8 s + 44 s (a look begun)
//                                                             + 44 s + 1.6 s + 1 s (a round's
//                                                             release, settle and pause)
//                                                             + 7 s (past the end, as above)
//     release the last session, and Shutdown             2 x 44 s
//     --------------------------------------------------------------------------------------
//     at most                                           596.2 s: nine minutes and 56 s.
// Nearly half of it is sessions that do not end when asked; a run against an instrument that
// answers at all ends far sooner. RunWorstCase() adds the same terms for the limits in force.
struct RunTiming {
    std::chrono::milliseconds save{45000};
    std::chrono::milliseconds transfer{120000};
    // After a complete transfer the instrument installs the image and restarts; one that
    // still shows its old firmware after this long, without having gone away, did not take it.
    std::chrono::milliseconds restartWait{90000};
    std::chrono::milliseconds restore{75000};
    // Between two looks or transfers, and while a busy instrument refuses a write.
    std::chrono::milliseconds pause{FLASH_RETRY_PAUSE};
    // After a session is released, before the instrument is looked at again.
    std::chrono::milliseconds settle{SETTLE_WAIT * SETTLE_WAIT_COUNT};

    // Every limit and pause divided by `divisor`, for tests against a simulated instrument.
    RunTiming Shortened(int divisor) const {
        return {save / divisor,    transfer / divisor, restartWait / divisor,
                restore / divisor, pause / divisor,    settle / divisor};
    }
};
std::chrono::milliseconds RunWorstCase(const RunTiming& timing);

// A failure text followed by the note that the saved parameters are kept, as a run that ended
// after a complete transfer without a confirmed restore shows it.
std::string WithValuesKept(const char* text);

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
    // Asks the user, before values kept from an earlier run are written to an instrument that
    // does not show them: `question` names the address and when they were saved, and lists
    // them. True to write them.
    virtual bool ConfirmWriteKept(const std::string& question) = 0;
};

// The transfer of the embedded image to the instrument at a.b.c.d, ending its download by the
// deadline and saying in `report` what went out and what was acknowledged; FlashFirmware
// unless a test substitutes one that counts or wraps it.
using FlashFunction = std::function<int(
    int, int, int, int, std::chrono::steady_clock::time_point notAfter, FlashReport& report)>;

struct UpdateRunOptions {
    FlashFunction flash;  // empty = FlashFirmware
    RunTiming timing;
    // Told the rule of every decision the run makes, as the table reads it; for tests that
    // trace a run. Empty: nobody is told.
    std::function<void(const char* rule)> onDecision;
};

// Runs one update. True only when the instrument runs the new firmware and every saved
// parameter has been written back and read back unchanged; otherwise false, with the reason
// left in the view's message text. Never throws.
bool RunUpdate(UpdateRunView& view, const UpdateRunOptions& options = {});
// The same, with the values earlier runs kept, one set per instrument address. A run to an
// address with a kept set resumes it: it writes those values only once the instrument shows
// them or the user agrees, and takes over what the earlier run knew of its image. From the
// first STOP until the values are confirmed on the instrument, `kept` holds the set this run
// saved (the failure text then says so); sets of other addresses are left alone.
bool RunUpdate(UpdateRunView& view, KeptParameters& kept, const UpdateRunOptions& options = {});
