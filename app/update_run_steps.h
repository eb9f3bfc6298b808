// The update run's steps, shared by the files that carry them out: saving and judging, and
// following the decisions (update_run.cpp); looking at the instrument, transferring and
// starting its PLC (update_run_transfer.cpp); asking about kept values, restoring and
// comparing them (update_run_restore.cpp). What to do next is decided in run_decision.cpp.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "app/carried_parameters.h"
#include "app/kept_parameters.h"
#include "app/run_decision.h"
#include "app/update_run.h"
#include "device/device_link.h"
#include "device/exact_value.h"

namespace run {

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
    void OnDecision(std::function<void(const char*)> listener) {
        onDecision_ = std::move(listener);
    }

private:
    enum class Saved { kAll, kNotConnected, kNotRead };

    // update_run.cpp
    bool Connect();
    bool Fail(const std::string& text, bool resetPosition = true);
    Saved SaveAll();
    bool ReadRemaining(size_t& next);
    const char* Verdict() const;
    bool Resume(const KeptSet& set);
    bool FollowDecisions();
    void Carry(const Decision& decision);
    bool Succeed();
    bool GiveUp(const char* text);
    void KeepSaved();
    void EnterPhase(Clock::time_point end);
    void EndSession(Clock::time_point releaseEnd);
    void ReleaseSession();
    void Pause();
    void Settle();

    // update_run_transfer.cpp
    Look LookNow();
    Look LookAtPlc(Look look);
    void LookOverMailbox(Look& look);
    void Transfer();
    void SendRun();

    // update_run_restore.cpp
    void Ask();
    bool RestoreRound(Clock::time_point end);
    bool WriteBack(int16_t id, const device::ExactValue& value, Clock::time_point end);
    Look::Values CompareValues();

    UpdateRunView& view_;
    CDeviceLink& link_;
    FlashFunction flash_;
    const RunTiming timing_;
    KeptParameters& kept_;
    // Whether anybody holds `kept_` once the run is over.
    const bool canKeep_;
    Clock::time_point phaseEnd_ = Clock::time_point::max();
    std::array<uint8_t, 4> address_{};
    // The values read before the transfer (or kept by an earlier run), in write-back order, and
    // the firmware version they were read from.
    std::array<device::ExactValue, kRestoredCount> saved_{};
    float version_ = -1.0f;
    bool versionRead_ = false;
    // The instrument has answered in this run: a connection that drops later is made again.
    bool answered_ = false;
    bool everConnected_ = false;
    // The state word the save read last, -1 before any.
    int16_t lastState_ = -1;
    // From the first look on: what the run knows for certain, and the look it decided from.
    RunFacts facts_;
    Look lastLook_;
    // Values kept, and the set for this address, kept or taken over, is this run's to keep up.
    bool keeping_ = false;
    std::function<void(const char*)> onDecision_;
};

}  // namespace run
