// The IOCTL_SCSI_PASS_THROUGH_DIRECT request record, read back byte by byte at the offsets the
// storage stack reads, for each shape of command the tool sends.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "device/windows/pass_through_record.h"

namespace torvex::windows {
namespace {

template <typename T>
T At(const PassThroughRecord& record, std::size_t offset) {
    T value{};
    std::memcpy(&value, reinterpret_cast<const std::uint8_t*>(&record) + offset, sizeof value);
    return value;
}

// Where the fields sit in this build's record: the documented 44-byte header on 32-bit
// Windows, the platform's 56-byte one (64-bit DataBuffer) on 64-bit Windows.
struct Offsets {
    std::size_t data_buffer, sense_info_offset, cdb, header;
};
#if defined(_WIN64)
constexpr Offsets kOffsets{24, 32, 36, 56};
#else
constexpr Offsets kOffsets{layout32::kDataBuffer, layout32::kSenseInfoOffset, layout32::kCdb,
                           layout32::kHeaderSize};
#endif

struct Shape {
    const char* name;
    std::size_t cdb_length;
    DataDirection direction;
    std::uint32_t length;
    std::uint8_t data_in_flag;
};

TEST(PassThroughRecord, FieldsForEveryCommandShape) {
    std::vector<std::uint8_t> data(65536);
    std::array<std::uint8_t, 16> cdb{};
    for (std::size_t i = 0; i < cdb.size(); ++i) cdb[i] = static_cast<std::uint8_t>(0xF0 + i);

    for (const Shape& s : {Shape{"data in", 16, DataDirection::In, 64, 1},
                           Shape{"data out", 16, DataDirection::Out, 65536, 0},
                           Shape{"no data, in flag", 16, DataDirection::In, 0, 1},
                           Shape{"no data, out flag", 16, DataDirection::Out, 0, 0},
                           Shape{"11-byte execute", 11, DataDirection::In, 0, 1}}) {
        SCOPED_TRACE(s.name);
        PassThroughRequest request;
        request.cdb = std::span<const std::uint8_t>(cdb.data(), s.cdb_length);
        request.direction = s.direction;
        request.length = s.length;
        const PassThroughRecord record = BuildPassThroughRecord(request, data.data());

        EXPECT_EQ(sizeof record, kOffsets.header + kSenseLength);
        EXPECT_EQ(At<std::uint16_t>(record, 0), kOffsets.header);  // Length
        EXPECT_EQ(At<std::uint8_t>(record, 2), 0);                 // ScsiStatus
        EXPECT_EQ(
            At<std::uint8_t>(record, 3) | At<std::uint8_t>(record, 4) | At<std::uint8_t>(record, 5),
            0);  // PathId, TargetId, Lun
        EXPECT_EQ(At<std::uint8_t>(record, 6), s.cdb_length);
        EXPECT_EQ(At<std::uint8_t>(record, 7), 96);
        EXPECT_EQ(At<std::uint8_t>(record, 8), s.data_in_flag);
        EXPECT_EQ(At<std::uint32_t>(record, 12), s.length);
        EXPECT_EQ(At<std::uint32_t>(record, 16), 30u);
        EXPECT_EQ(At<void*>(record, kOffsets.data_buffer), s.length ? data.data() : nullptr);
        EXPECT_EQ(At<std::uint32_t>(record, kOffsets.sense_info_offset), kOffsets.header);
        for (std::size_t i = 0; i < 16; ++i)
            EXPECT_EQ(At<std::uint8_t>(record, kOffsets.cdb + i), i < s.cdb_length ? cdb[i] : 0)
                << "CDB byte " << i;
        for (std::size_t i = 0; i < kSenseLength; ++i)
            ASSERT_EQ(At<std::uint8_t>(record, kOffsets.header + i), 0) << "sense byte " << i;
    }
}

TEST(PassThroughRecord, CdbLongerThanTheFieldIsCutAtSixteen) {
    std::array<std::uint8_t, 20> cdb;
    cdb.fill(0xAB);
    PassThroughRequest request;
    request.cdb = cdb;
    const PassThroughRecord record = BuildPassThroughRecord(request, nullptr);
    EXPECT_EQ(record.header.CdbLength, 16);
    EXPECT_EQ(At<std::uint8_t>(record, kOffsets.header), 0) << "the sense area stays untouched";
}

TEST(PassThroughRecord, AnswerCarriesStatusAndSenseOnlyWhenNotGood) {
    PassThroughRecord record{};
    record.header.SenseInfoLength = 18;
    record.sense[0] = 0x70;
    record.sense[2] = 0x05;

    const PassThroughResult good = ReadPassThroughRecord(record, true);
    EXPECT_TRUE(good.delivered);
    EXPECT_EQ(good.scsi_status, kScsiStatusGood);
    EXPECT_EQ(good.sense_length, 0);

    record.header.ScsiStatus = kScsiStatusCheckCondition;
    const PassThroughResult check = ReadPassThroughRecord(record, true);
    EXPECT_EQ(check.scsi_status, kScsiStatusCheckCondition);
    ASSERT_EQ(check.sense_length, 18);
    EXPECT_EQ(check.sense[0], 0x70);
    EXPECT_EQ(check.sense[2], 0x05);

    // A length beyond the sense area is not believed.
    record.header.SenseInfoLength = 200;
    EXPECT_EQ(ReadPassThroughRecord(record, true).sense_length, kSenseLength);

    // A failed request shows the status byte the stack left in it, and no sense.
    const PassThroughResult failed = ReadPassThroughRecord(record, false);
    EXPECT_FALSE(failed.delivered);
    EXPECT_EQ(failed.scsi_status, kScsiStatusCheckCondition);
    EXPECT_EQ(failed.sense_length, 0);
}

}  // namespace
}  // namespace torvex::windows
