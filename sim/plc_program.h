// The controller's PLC runtime as the host sees it: the flag memory (%M), the RUN/STOP state,
// and the mailbox program behind the command, response and status blocks with its twelve
// parameters. Not thread-safe: the controller guards it.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/controller.h"
#include "sim/device_faults.h"

namespace sim {

inline constexpr uint32_t kFlagMemoryGroup = 0x4020;
inline constexpr size_t kFlagMemorySize = 4096;
inline constexpr uint32_t kCommandBlockOffset = 100;
inline constexpr uint32_t kResponseBlockOffset = 132;
inline constexpr uint32_t kStatusBlockOffset = 164;
inline constexpr size_t kMailboxRecordSize = 32;
inline constexpr size_t kStatusBlockSize = 28;
// What the status block reports under the status-error fault when no code was set.
inline constexpr uint32_t kFaultErrorCode = 0x00000401;

inline constexpr uint16_t kCmdSetParameter = 7;
inline constexpr uint16_t kCmdGetParameter = 8;
inline constexpr uint16_t kCmdRegisterHost = 13;
inline constexpr uint16_t kCmdRelease = 15;

class PlcProgram {
public:
    using Clock = std::chrono::steady_clock;

    PlcProgram(uint8_t firmwareMajor, uint8_t firmwareMinor);

    // ADS services on the flag memory; results are ADS error codes.
    uint32_t Read(uint32_t indexGroup, uint32_t offset, uint32_t length,
                  std::vector<uint8_t>& out) const;
    uint32_t Write(uint32_t indexGroup, uint32_t offset, std::span<const uint8_t> data);
    bool Running() const { return running_; }
    void SetRunning(bool running) { running_ = running; }

    // One program cycle: refreshes the status block and, in RUN, answers a new command in the
    // command block unless a fault keeps it silent. Appends readable lines for what it did;
    // returns the code of the command it answered, 0 if none.
    uint16_t Scan(DeviceFaults& faults, Clock::time_point now, Stats& stats,
                  std::vector<std::string>& events);
    // The state word the status block shows now.
    int16_t StateWord(const DeviceFaults& faults, Clock::time_point now) const {
        return faults.StateWord(now).value_or(stateWord_);
    }

    void SetParameterRaw(int id, uint32_t raw) { parameters_.at(static_cast<size_t>(id)) = raw; }
    uint32_t ParameterRaw(int id) const { return parameters_.at(static_cast<size_t>(id)); }
    void ResetToFactoryDefaults();
    static uint32_t FactoryRaw(int id);
    static uint32_t InitialRaw(int id);

    void SetFirmware(uint8_t major, uint8_t minor) {
        firmwareMajor_ = major;
        firmwareMinor_ = minor;
    }
    uint8_t FirmwareMajor() const { return firmwareMajor_; }
    uint8_t FirmwareMinor() const { return firmwareMinor_; }

    void SetStateWord(int16_t value) { stateWord_ = value; }
    void SetDetailWord(int16_t value) { detailWord_ = value; }
    void SetErrorCode(uint32_t value) { errorCode_ = value; }

    // A rebooted controller comes back in RUN; its flag memory is retained.
    void Reboot();

private:
    // `carryOut` false: answered as done, but nothing stored or read.
    bool AnswerCommand(std::span<const uint8_t> command, bool carryOut, std::span<uint8_t> response,
                       Stats& stats, std::string& event);

    std::array<uint8_t, kFlagMemorySize> memory_{};
    std::array<uint32_t, kParameterCount> parameters_{};
    bool running_ = true;
    uint8_t firmwareMajor_;
    uint8_t firmwareMinor_;
    int16_t stateWord_ = 1;
    int16_t detailWord_ = 0;
    uint32_t errorCode_ = 0;
    // The command last answered and the one last seen, by code and sequence number: a command
    // is handled once, and one held back by a fault is answered when the fault clears.
    uint16_t answeredCode_ = 0;
    uint32_t answeredSequence_ = 0;
    uint16_t seenCode_ = 0;
    uint32_t seenSequence_ = 0;
    Clock::time_point seenAt_{};
};

}  // namespace sim
