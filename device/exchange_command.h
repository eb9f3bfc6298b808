// One request and answer through the PLC's command mailbox, waited for on the caller's thread
// while its window messages keep moving.
#pragma once

#include <cstdint>

#include "device/mailbox_record.h"

struct DeviceSession;

// Places `record` (the request) in the session's command block with the next sequence number
// and waits until the polling worker brings the matching response, which then replaces
// `record`. Returns -1 when answered, 0 when the session is not connected (the command block
// is replaced all the same) or no answer came within the time limit or before the session's
// exchange deadline (DEVEVT_TIMEOUT posted).
int16_t ExchangeCommand(DeviceSession& session, device::MailboxRecord& record);
