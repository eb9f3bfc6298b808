// The controller's PLC runtime state over ADS: read it, and ask it to stop or run; and the state
// word its program shows. Each call goes through an ADS port of its own, bounded by the ADS
// call time-out.
#pragma once

#include <cstdint>
#include <optional>

#include "ams/ams_types.h"

// The PLC runtime's ADS state (ADSSTATE_RUN, ADSSTATE_STOP, ...) at a.b.c.d (each octet in the
// low 8 bits); nothing when the controller did not answer, and then `error`, if given, says why
// (ADSERR_TARGET_MACHINE_NOT_FOUND: nothing listens on the router's port).
std::optional<uint16_t> ReadPlcState(int a, int b, int c, int d, int32_t* error = nullptr);

// The state word of the status block the PLC program keeps at a.b.c.d (0 not ready, 1 ready,
// 2 busy), read straight from its flag memory; nothing when the read did not succeed.
std::optional<int16_t> ReadStateWord(int a, int b, int c, int d);

// Asks the PLC runtime at a.b.c.d to run; true when the controller accepted the request.
bool RequestPlcRun(int a, int b, int c, int d);

// Asks the PLC runtime at `plc` for `adsState` (device state 0, no data); true when the
// controller accepted it.
bool RequestPlcState(const AmsAddr& plc, uint16_t adsState);

// The PLC runtime's address on the controller at a.b.c.d: a.b.c.d.1.1, AMS port 800.
AmsAddr PlcAddress(int a, int b, int c, int d);
