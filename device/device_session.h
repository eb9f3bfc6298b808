// The record that a device link shares with its polling worker: what the host last asked,
// what the PLC last answered, and whether the session is open.
#pragma once

#include <chrono>
#include <cstdint>

#include "ams/ams_types.h"
#include "device/mailbox_record.h"
#include "device/plc_memory.h"
#include "device/worker_thread.h"

class CDeviceLink;

// Owned jointly by the link and its worker, so a worker that outlives its link still has it.
// Every field except `worker` is read and written only while DeviceLock is held; `worker` is
// touched by the link's (user-interface) thread only.
struct DeviceSession {
    // The polling worker started by Connect.
    device::WorkerThread worker;
    // The ADS port Connect opened for this session alone: every ADS call of the link and of its
    // worker goes through it. 0 = none.
    int32_t port = 0;
    // Computed by Connect; 0.0 after Close.
    float firmwareVersion = 0.0f;
    // The controller's IPv4 octets, then 1.1, with the PLC runtime's AMS port.
    AmsAddr controllerAddress{};
    // Sequence number of the last mailbox request.
    uint32_t requestCounter = 0;
    // The request last handed to the worker.
    device::MailboxRecord commandBlock{};
    // The last response read from the PLC.
    device::MailboxRecord responseBlock{};
    // The last status read from the PLC.
    device::StatusBlock statusBlock{};
    // No mailbox exchange waits past this point, whatever its own limit (the update run's
    // deadline for the phase it is in); max() = none.
    std::chrono::steady_clock::time_point exchangeDeadline =
        std::chrono::steady_clock::time_point::max();
    // A session is open and the worker must keep running.
    bool connected = false;
    // The link whose notification window the worker reports to; cleared when the link goes,
    // so a worker that outlives it posts nothing.
    CDeviceLink* owner = nullptr;
};
