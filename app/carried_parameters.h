// The device parameters an update carries across the re-flash: one table gives the order they
// are read in and the bar's position before each read; the write-back order, the bar's
// position after each write and where the firmware version sits all follow from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "app/run_progress.h"
#include "device/parameter_ids.h"

namespace run {

struct SaveStep {
    int16_t id;
    int positionBeforeRead;
};

// The firmware version is read among them, to be judged, and is not written back.
inline constexpr std::array<SaveStep, 11> kSaveOrder{{
    {PARAM_FLOAT_0, 1},
    {PARAM_FLOAT_1, 1},
    {PARAM_FLOAT_2, 2},
    {PARAM_FLOAT_3, 3},
    {PARAM_FLOAT_6, 4},
    {PARAM_FLOAT_5, 5},
    {PARAM_FLOAT_7, 6},
    {PARAM_FLOAT_8, 7},
    {PARAM_FIRMWARE_VERSION, 8},
    {PARAM_INT32_11, 9},
    {PARAM_INT16_4, 10},
}};

// Every saved parameter but the firmware version, written back in the order it was read.
inline constexpr size_t kRestoredCount = kSaveOrder.size() - 1;
static_assert(kRestoredCount == RESTORED_PARAMETER_COUNT);

constexpr std::array<int16_t, kRestoredCount> RestoreOrder() {
    std::array<int16_t, kRestoredCount> order{};
    size_t next = 0;
    for (const SaveStep& step : kSaveOrder) {
        if (step.id != PARAM_FIRMWARE_VERSION) {
            order[next++] = step.id;
        }
    }
    return order;
}
inline constexpr std::array<int16_t, kRestoredCount> kRestoreOrder = RestoreOrder();

// Where the value read at save step `saveIndex` is kept among the restored ones.
constexpr size_t RestoreSlot(size_t saveIndex) {
    size_t slot = 0;
    for (size_t i = 0; i < saveIndex; ++i) {
        slot += kSaveOrder[i].id != PARAM_FIRMWARE_VERSION ? 1 : 0;
    }
    return slot;
}

// The k-th write back leaves the bar here.
constexpr int PositionAfterWrite(size_t k) {
    return POSITION_FIRST_RESTORED + static_cast<int>(k);
}

constexpr bool EachIdOnce() {
    for (size_t i = 0; i < kSaveOrder.size(); ++i) {
        for (size_t j = i + 1; j < kSaveOrder.size(); ++j) {
            if (kSaveOrder[i].id == kSaveOrder[j].id) {
                return false;
            }
        }
    }
    return true;
}
static_assert(EachIdOnce(), "a parameter saved twice would be restored from one slot");
static_assert(kRestoreOrder.back() != PARAM_FIRMWARE_VERSION);

}  // namespace run
