// The 32-byte mailbox record through which the host and the PLC program exchange requests
// and responses; both directions share one little-endian layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "device/parameter_ids.h"
#include "device/plc_memory.h"

inline constexpr uint16_t CMD_SET_PARAMETER = 7;
inline constexpr uint16_t CMD_GET_PARAMETER = 8;
inline constexpr uint16_t CMD_REGISTER_HOST = 13;
inline constexpr uint16_t CMD_RELEASE = 15;

namespace device {

using MailboxRecord = std::array<uint8_t, kMailboxBlockSize>;

// Field offsets: code (16-bit) at 0, reserved (4 bytes) at 2, sequence number (32-bit) at 6,
// parameter id (16-bit) at 10, value (4 bytes) at 12; bytes 16 to 31 are not assigned.
inline constexpr size_t kRecordCodeOffset = 0;
inline constexpr size_t kRecordReservedOffset = 2;
inline constexpr size_t kRecordSequenceOffset = 6;
inline constexpr size_t kRecordParameterIdOffset = 10;
inline constexpr size_t kRecordValueOffset = 12;
inline constexpr size_t kRecordValueSize = 4;
static_assert(kRecordValueOffset + kRecordValueSize <= kMailboxBlockSize);

uint16_t RecordCode(const MailboxRecord& record);
void SetRecordCode(MailboxRecord& record, uint16_t code);
uint32_t RecordSequence(const MailboxRecord& record);
void SetRecordSequence(MailboxRecord& record, uint32_t sequence);
void ClearRecordReserved(MailboxRecord& record);
int16_t RecordParameterId(const MailboxRecord& record);
void SetRecordParameterId(MailboxRecord& record, int16_t id);

// A request with `code` and every other byte 0.
MailboxRecord MakeRequest(uint16_t code);

// Whether two records carry the same request as far as the PLC program can tell: the code
// and the sequence number. Other bytes of a changed request are not rewritten.
bool SameRequest(const MailboxRecord& a, const MailboxRecord& b);

// What a new session's command block starts with, which its worker's first cycle writes: the
// last session's last request when it was answered (the PLC takes it again as handled), else
// an empty record. A request whose answer never came (its connection dropped under it) is not
// sent on to whatever answers at the address now: a parameter write among them could reach a
// restarted instrument, a busy one, or another one altogether.
MailboxRecord CarriedOverRequest(const MailboxRecord& command, const MailboxRecord& response);

}  // namespace device
