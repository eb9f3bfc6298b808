#include "device/mailbox_record.h"

#include "common/little_endian.h"

namespace device {

uint16_t RecordCode(const MailboxRecord& record) {
    return common::LoadLe16(record, kRecordCodeOffset);
}

void SetRecordCode(MailboxRecord& record, uint16_t code) {
    common::StoreLe16(record, kRecordCodeOffset, code);
}

uint32_t RecordSequence(const MailboxRecord& record) {
    return common::LoadLe32(record, kRecordSequenceOffset);
}

void SetRecordSequence(MailboxRecord& record, uint32_t sequence) {
    common::StoreLe32(record, kRecordSequenceOffset, sequence);
}

void ClearRecordReserved(MailboxRecord& record) {
    common::StoreLe32(record, kRecordReservedOffset, 0);
}

int16_t RecordParameterId(const MailboxRecord& record) {
    return static_cast<int16_t>(common::LoadLe16(record, kRecordParameterIdOffset));
}

void SetRecordParameterId(MailboxRecord& record, int16_t id) {
    common::StoreLe16(record, kRecordParameterIdOffset, static_cast<uint16_t>(id));
}

MailboxRecord MakeRequest(uint16_t code) {
    MailboxRecord record{};
    SetRecordCode(record, code);
    return record;
}

bool SameRequest(const MailboxRecord& a, const MailboxRecord& b) {
    return RecordCode(a) == RecordCode(b) && RecordSequence(a) == RecordSequence(b);
}

MailboxRecord CarriedOverRequest(const MailboxRecord& command, const MailboxRecord& response) {
    return SameRequest(command, response) ? command : MailboxRecord{};
}

}  // namespace device
