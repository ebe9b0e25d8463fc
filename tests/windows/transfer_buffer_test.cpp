// The aligned copy of a direct transfer's buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "device/windows/transfer_buffer.h"

namespace torvex::windows {
namespace {

bool AlignedTo(const void* p, std::uint32_t mask) {
    return (reinterpret_cast<std::uintptr_t>(p) & mask) == 0;
}

TEST(TransferBuffer, ReportedMasksBecomeRunsOfLowBits) {
    struct Case {
        std::uint32_t reported, normalized;
    };
    for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{3, 3}, Case{5, 7}, Case{0x200, 0x3FF},
                          Case{0x1FF, 0x1FF}, Case{0xFFFFFFFF, kMaxAlignmentMask}})
        EXPECT_EQ(NormalizedAlignmentMask(c.reported), c.normalized) << c.reported;
}

struct TransferBufferTest : ::testing::Test {
    TransferBufferTest() : storage(4096 + 64) {
        std::iota(storage.begin(), storage.end(), std::uint8_t{0});
    }
    // A pointer into storage at `misalignment` bytes past a 64-byte boundary.
    std::uint8_t* At(std::size_t misalignment) {
        const auto base = reinterpret_cast<std::uintptr_t>(storage.data());
        return storage.data() + ((64 - base % 64) % 64) + misalignment;
    }
    std::vector<std::uint8_t> storage;
};

TEST_F(TransferBufferTest, AlignedBufferIsUsedInPlace) {
    PassThroughRequest request;
    request.direction = DataDirection::In;
    request.data_in = At(0);
    request.length = 512;
    const TransferBuffer buffer(request, 0x3F);
    EXPECT_EQ(buffer.Data(), At(0));
    EXPECT_FALSE(buffer.Copied());

    // No alignment required: any address is used as it is.
    request.data_in = At(1);
    EXPECT_EQ(TransferBuffer(request, 0).Data(), At(1));
}

TEST_F(TransferBufferTest, MisalignedDataOutIsCopiedToAnAlignedBuffer) {
    PassThroughRequest request;
    request.direction = DataDirection::Out;
    request.data_out = At(3);
    request.data_in = At(0);  // not the buffer of this direction
    request.length = 1024;
    const TransferBuffer buffer(request, 0x1FF);
    ASSERT_TRUE(buffer.Copied());
    EXPECT_TRUE(AlignedTo(buffer.Data(), 0x1FF));
    EXPECT_EQ(std::memcmp(buffer.Data(), At(3), 1024), 0);
    const std::vector<std::uint8_t> before = storage;
    buffer.CopyBack(1024);
    EXPECT_EQ(storage, before) << "a data-out request never writes the caller's memory";
}

TEST_F(TransferBufferTest, MisalignedDataInComesBackForTheBytesTransferred) {
    PassThroughRequest request;
    request.direction = DataDirection::In;
    request.data_in = At(1);
    request.length = 64;
    const TransferBuffer buffer(request, 0x7);
    ASSERT_TRUE(buffer.Copied());
    ASSERT_TRUE(AlignedTo(buffer.Data(), 0x7));
    auto* device_side = static_cast<std::uint8_t*>(buffer.Data());
    EXPECT_EQ(device_side[0], 0) << "the aligned buffer starts zeroed, not with stale bytes";
    std::fill_n(device_side, 64, std::uint8_t{0xEE});

    const std::uint8_t after_short_reply = At(1)[40];
    buffer.CopyBack(40);  // the device returned 40 of 64 bytes
    EXPECT_EQ(At(1)[0], 0xEE);
    EXPECT_EQ(At(1)[39], 0xEE);
    EXPECT_EQ(At(1)[40], after_short_reply);
    buffer.CopyBack(100000);  // a transferred count beyond the request is bounded by it
    EXPECT_EQ(At(1)[63], 0xEE);
    EXPECT_NE(At(1)[64], 0xEE);
}

TEST_F(TransferBufferTest, RequestsWithoutDataOrWithoutABuffer) {
    PassThroughRequest none;
    none.data_in = At(1);
    const TransferBuffer no_data(none, 0xFF);
    EXPECT_EQ(no_data.Data(), nullptr);
    EXPECT_FALSE(no_data.Missing());

    PassThroughRequest missing;
    missing.direction = DataDirection::Out;
    missing.data_in = At(0);
    missing.length = 16;
    const TransferBuffer absent(missing, 0);
    EXPECT_TRUE(absent.Missing());
    EXPECT_EQ(absent.Data(), nullptr);
}

}  // namespace
}  // namespace torvex::windows
