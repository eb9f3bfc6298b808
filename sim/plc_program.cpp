#include "sim/plc_program.h"

#include <algorithm>
#include <bit>

#include "common/little_endian.h"
#include "ams/ads_codes.h"

namespace sim {

namespace {

using common::LoadLe16;
using common::LoadLe32;
using common::StoreLe16;
using common::StoreLe32;

uint32_t FloatBits(float v) {
    return std::bit_cast<uint32_t>(v);
}

// Distinct, non-trivial values, so a test can tell a kept parameter from a reset one and
// either from a value the host wrote.
constexpr std::array<float, kParameterCount> kInitialFloats{
    12.5f, 0.75f, 101.325f, -4.25f, 0.0f, 37.5f, 0.0025f, 880.0f, -0.125f, 0.0f, 0.0f, 0.0f};
constexpr std::array<float, kParameterCount> kFactoryFloats{
    10.0f, 0.5f, 100.0f, -1.5f, 0.0f, 25.0f, 0.001f, 500.0f, 0.25f, 0.0f, 0.0f, 0.0f};
constexpr int32_t kInitialParameter4 = 1234;
constexpr int32_t kFactoryParameter4 = 1000;
constexpr int32_t kInitialParameter9 = -7;
constexpr int32_t kFactoryParameter9 = 3;
constexpr int32_t kInitialParameter11 = 86400;
constexpr int32_t kFactoryParameter11 = 3600;

uint32_t RawFor(int id, const std::array<float, kParameterCount>& floats, int32_t p4, int32_t p9,
                int32_t p11) {
    switch (id) {
        case 4:
            return static_cast<uint32_t>(p4);
        case 9:
            return static_cast<uint32_t>(p9);
        case 11:
            return static_cast<uint32_t>(p11);
        case kFirmwareVersionParameter:
            return 0;
        default:
            return FloatBits(floats.at(static_cast<size_t>(id)));
    }
}

}  // namespace

bool IsFloatParameter(int id) {
    return (id >= 0 && id <= 3) || (id >= 5 && id <= 8);
}
bool IsIntParameter(int id) {
    return id == 4 || id == 9 || id == 11;
}

uint32_t PlcProgram::InitialRaw(int id) {
    return RawFor(id, kInitialFloats, kInitialParameter4, kInitialParameter9, kInitialParameter11);
}

uint32_t PlcProgram::FactoryRaw(int id) {
    return RawFor(id, kFactoryFloats, kFactoryParameter4, kFactoryParameter9, kFactoryParameter11);
}

PlcProgram::PlcProgram(uint8_t firmwareMajor, uint8_t firmwareMinor)
    : firmwareMajor_(firmwareMajor), firmwareMinor_(firmwareMinor) {
    for (int id = 0; id < kParameterCount; ++id) {
        parameters_[static_cast<size_t>(id)] = InitialRaw(id);
    }
}

void PlcProgram::ResetToFactoryDefaults() {
    for (int id = 0; id < kParameterCount; ++id) {
        parameters_[static_cast<size_t>(id)] = FactoryRaw(id);
    }
}

void PlcProgram::Reboot() {
    running_ = true;
    // The flag memory is kept, and the program starts with the command it finds there taken
    // as handled: a host that writes its last request again after the restart (the polling
    // worker's first cycle does) is not answered twice.
    const std::span<const uint8_t> command =
        std::span<const uint8_t>(memory_).subspan(kCommandBlockOffset, kMailboxRecordSize);
    answeredCode_ = seenCode_ = LoadLe16(command, 0);
    answeredSequence_ = seenSequence_ = LoadLe32(command, 6);
}

uint32_t PlcProgram::Read(uint32_t indexGroup, uint32_t offset, uint32_t length,
                          std::vector<uint8_t>& out) const {
    if (indexGroup != kFlagMemoryGroup) {
        return ADSERR_DEVICE_INVALIDGRP;
    }
    if (offset >= kFlagMemorySize) {
        return ADSERR_DEVICE_INVALIDOFFSET;
    }
    if (length > kFlagMemorySize - offset) {
        return ADSERR_DEVICE_INVALIDSIZE;
    }
    out.assign(memory_.begin() + offset, memory_.begin() + offset + length);
    return ADSERR_NOERR;
}

uint32_t PlcProgram::Write(uint32_t indexGroup, uint32_t offset, std::span<const uint8_t> data) {
    if (indexGroup != kFlagMemoryGroup) {
        return ADSERR_DEVICE_INVALIDGRP;
    }
    if (offset >= kFlagMemorySize) {
        return ADSERR_DEVICE_INVALIDOFFSET;
    }
    if (data.size() > kFlagMemorySize - offset) {
        return ADSERR_DEVICE_INVALIDSIZE;
    }
    std::copy(data.begin(), data.end(), memory_.begin() + offset);
    return ADSERR_NOERR;
}

uint16_t PlcProgram::Scan(DeviceFaults& faults, Clock::time_point now, Stats& stats,
                          std::vector<std::string>& events) {
    const std::span<uint8_t> memory(memory_);
    const std::span<uint8_t> status = memory.subspan(kStatusBlockOffset, kStatusBlockSize);
    std::fill(status.begin(), status.end(), 0);
    StoreLe16(status, 0, static_cast<uint16_t>(StateWord(faults, now)));
    StoreLe16(status, 2, static_cast<uint16_t>(detailWord_));
    uint32_t error = errorCode_;
    if (faults.StatusError() && error == 0) {
        error = kFaultErrorCode;
    }
    StoreLe32(status, 4, error);

    if (!running_) {
        return 0;
    }
    const std::span<const uint8_t> command =
        memory.subspan(kCommandBlockOffset, kMailboxRecordSize);
    const uint16_t code = LoadLe16(command, 0);
    const uint32_t sequence = LoadLe32(command, 6);
    if (code == 0 || (code == answeredCode_ && sequence == answeredSequence_)) {
        return 0;
    }
    if (code != seenCode_ || sequence != seenSequence_) {
        seenCode_ = code;
        seenSequence_ = sequence;
        seenAt_ = now;
        ++stats.mailboxReceived[code];
        faults.Arrived(code);
        if (code == kCmdSetParameter) {
            // Judged as the write arrives, whenever it is answered.
            const int16_t state = faults.TurnedUnseen(now) ? int16_t{1} : StateWord(faults, now);
            stats.writesWhileBusy += state == 2 ? 1 : 0;
            stats.writesWhileNotReady += state == 0 ? 1 : 0;
        }
    }
    const int id = static_cast<int16_t>(LoadLe16(command, 10));
    const DeviceFaults::Reply reply = faults.Answer(code, id, now - seenAt_);
    if (reply == DeviceFaults::Reply::kHold) {
        return 0;
    }
    std::array<uint8_t, kMailboxRecordSize> response{};
    std::string event;
    if (!AnswerCommand(command, reply == DeviceFaults::Reply::kAnswer, response, stats, event)) {
        return 0;
    }
    std::copy(response.begin(), response.end(), memory.begin() + kResponseBlockOffset);
    answeredCode_ = code;
    answeredSequence_ = sequence;
    ++stats.mailboxAnswered[code];
    events.push_back(std::move(event));
    return code;
}

bool PlcProgram::AnswerCommand(std::span<const uint8_t> command, bool carryOut,
                               std::span<uint8_t> response, Stats& stats, std::string& event) {
    const uint16_t code = LoadLe16(command, 0);
    const uint32_t sequence = LoadLe32(command, 6);
    StoreLe16(response, 0, code);
    StoreLe32(response, 6, sequence);
    const int id = static_cast<int16_t>(LoadLe16(command, 10));
    const std::string tag = std::string(carryOut ? "" : ", answered but not carried out") +
                            " (sequence " + std::to_string(sequence) + ")";
    switch (code) {
        case kCmdSetParameter: {
            const uint32_t raw = LoadLe32(command, 12);
            if (carryOut && (IsFloatParameter(id) || id == 4 || id == 11)) {
                parameters_[static_cast<size_t>(id)] = raw;
            } else if (carryOut && id == 9) {
                parameters_[9] =
                    static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(command[12])));
            }
            event = "mailbox: set parameter " + std::to_string(id) + tag;
            return true;
        }
        case kCmdGetParameter: {
            StoreLe16(response, 10, static_cast<uint16_t>(id));
            if (!carryOut) {
                // The value field stays zero: an answer with nothing read into it.
            } else if (id == kFirmwareVersionParameter) {
                response[12] = firmwareMajor_;
                response[13] = firmwareMinor_;
            } else if (id == 9) {
                response[12] = static_cast<uint8_t>(parameters_[9]);
            } else if (id >= 0 && id < kParameterCount) {
                StoreLe32(response, 12, parameters_[static_cast<size_t>(id)]);
            }
            event = "mailbox: get parameter " + std::to_string(id) + tag;
            return true;
        }
        case kCmdRegisterHost: {
            const platform::Ipv4 host{command[10], command[11], command[12], command[13]};
            if (carryOut) {
                stats.lastRegisteredHost = host;
            }
            event = "mailbox: host " + std::to_string(host[0]) + "." + std::to_string(host[1]) +
                    "." + std::to_string(host[2]) + "." + std::to_string(host[3]) + " registered" +
                    tag;
            return true;
        }
        case kCmdRelease:
            event = "mailbox: host released" + tag;
            return true;
        default:
            // The program knows no other command; like the real one it leaves it unanswered.
            return false;
    }
}

}  // namespace sim
