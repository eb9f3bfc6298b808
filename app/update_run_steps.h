// The update run's steps, shared by the files that carry them out: saving and judging
// (update_run.cpp), transferring until the new firmware answers (update_run_transfer.cpp),
// and restoring and confirming the parameters (update_run_restore.cpp).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "app/carried_parameters.h"
#include "app/kept_parameters.h"
#include "app/update_run.h"
#include "device/device_link.h"
#include "device/exact_value.h"

namespace run {

using Clock = std::chrono::steady_clock;

// The device link's result for success.
inline constexpr int16_t kLinkOk = -1;

class UpdateRun {
public:
    UpdateRun(UpdateRunView& view, CDeviceLink& link, FlashFunction flash, const RunTiming& timing,
              KeptParameters& kept, bool canKeep)
        : view_(view),
          link_(link),
          flash_(std::move(flash)),
          timing_(timing),
          kept_(kept),
          canKeep_(canKeep) {}

    bool Run();

private:
    enum class Saved { kAll, kNotConnected, kNotRead };
    enum class Look {
        kNewFirmware,    // the new firmware, running; the session stays open
        kNewNotRunning,  // the new firmware, not running yet: it took the image
        kOldFirmware,    // another version: not restarted yet, or restarted without the image
        kAway,           // does not answer
        kPlcStarted,     // the PLC was left stopped after a download; RUN has been sent again
    };
    enum class Install { kTaken, kNotTaken, kPhaseOver };

    // update_run.cpp
    bool Connect();
    bool Fail(const std::string& text, bool resetPosition = true);
    bool FailKeeping(const char* text);
    Saved SaveAll();
    bool ReadRemaining(size_t& next);
    const char* Verdict() const;
    bool UpdateAndRestore();
    bool ResumeKeptRestore();
    bool RestoreThenFinish();
    void KeepSaved();
    void EnterPhase(Clock::time_point end);
    void EndSession(Clock::time_point releaseEnd);
    void ReleaseSession();
    void Pause();
    void Settle();

    // update_run_transfer.cpp
    Look LookOnce();
    bool PlcLeftStopped();
    bool AwaitNewFirmware(Clock::time_point end);
    // True once the instrument runs the new firmware, with its session open.
    bool TransferUntilNewFirmware(Clock::time_point end);
    bool MayTransfer() const;
    Install AwaitInstall(Clock::time_point end);

    // update_run_restore.cpp
    bool RestoreAndConfirm(Clock::time_point end);
    bool RestoreRound(Clock::time_point end);
    bool WriteBack(int16_t id, const device::ExactValue& value, Clock::time_point end);
    bool ReadsBackAsSaved();

    UpdateRunView& view_;
    CDeviceLink& link_;
    FlashFunction flash_;
    const RunTiming timing_;
    KeptParameters& kept_;
    // Whether anybody holds `kept_` once the run is over.
    const bool canKeep_;
    Clock::time_point phaseEnd_ = Clock::time_point::max();
    std::array<uint8_t, 4> address_{};
    // The values read before the transfer, in write-back order, and the firmware version.
    std::array<device::ExactValue, kRestoredCount> saved_{};
    float version_ = -1.0f;
    bool versionRead_ = false;
    // The instrument has answered in this run: a connection that drops later is made again.
    bool answered_ = false;
    bool everConnected_ = false;
    // The state word the run last read, -1 before any; and what the last look found.
    int16_t lastState_ = -1;
    Look lastLook_ = Look::kOldFirmware;
    // A download went out whole at least once: the instrument may have reset its parameters.
    bool transferredWhole_ = false;
    // The open session shows the new firmware and a running state.
    bool sessionOnNewFirmware_ = false;
};

}  // namespace run
