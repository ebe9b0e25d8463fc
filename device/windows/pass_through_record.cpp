#include "device/windows/pass_through_record.h"

#include <algorithm>
#include <cstring>

namespace torvex::windows {

// The header's fields where the platform puts them, on both word sizes.
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Length) == 0);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == 2);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength) == 6);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength) == 7);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) ==
              layout32::kDataTransferLength);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == layout32::kTimeOutValue);
static_assert(offsetof(PassThroughRecord, sense) == sizeof(SCSI_PASS_THROUGH_DIRECT));
static_assert(sizeof(PassThroughRecord::sense) == kSenseLength);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT::Cdb) == kMaxCdbLength);

#if defined(_WIN64)
// 64-bit: the pointer widens and moves to 24; the header is 56 bytes and the record 152.
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 32);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 36);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56);
static_assert(sizeof(PassThroughRecord) == 56 + kSenseLength);
#else
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == layout32::kDataBuffer);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == layout32::kSenseInfoOffset);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == layout32::kCdb);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == layout32::kHeaderSize);
static_assert(sizeof(PassThroughRecord) == layout32::kRecordSize);
#endif

PassThroughRecord BuildPassThroughRecord(const PassThroughRequest& request, void* data_buffer) {
    PassThroughRecord record;
    std::memset(&record, 0, sizeof record);
    SCSI_PASS_THROUGH_DIRECT& header = record.header;
    const std::size_t cdb_length = std::min(request.cdb.size(), kMaxCdbLength);

    header.Length = static_cast<USHORT>(sizeof(SCSI_PASS_THROUGH_DIRECT));
    header.CdbLength = static_cast<UCHAR>(cdb_length);
    header.SenseInfoLength = static_cast<UCHAR>(kSenseLength);
    header.DataIn = static_cast<UCHAR>(
        request.direction == DataDirection::In ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT);
    header.DataTransferLength = request.length;
    header.TimeOutValue = request.timeout_seconds;
    header.DataBuffer = request.length == 0 ? nullptr : data_buffer;
    header.SenseInfoOffset = static_cast<ULONG>(offsetof(PassThroughRecord, sense));
    if (cdb_length > 0) std::memcpy(header.Cdb, request.cdb.data(), cdb_length);
    return record;
}

PassThroughResult ReadPassThroughRecord(const PassThroughRecord& record, bool delivered) {
    PassThroughResult result;
    result.delivered = delivered;
    // The byte is 0 unless the storage stack wrote a status into the request.
    result.scsi_status = record.header.ScsiStatus;
    if (delivered && result.scsi_status != kScsiStatusGood) {
        const std::size_t length =
            std::min<std::size_t>(record.header.SenseInfoLength, kSenseLength);
        std::copy_n(record.sense, length, result.sense.begin());
        result.sense_length = static_cast<std::uint8_t>(length);
    }
    return result;
}

}  // namespace torvex::windows
