#pragma once
// The data buffer of one direct transfer. The adapter reads and writes the caller's memory in
// place, and it requires the buffer to meet its alignment (the adapter's AlignmentMask). A caller
// buffer that meets it is used as it is; one that does not is copied into an aligned buffer
// (data out before the request; data in back after it), so the request goes through instead of
// being refused by the storage stack.

#include <cstdint>
#include <memory>

#include "device/device_platform.h"

namespace torvex::windows {

// The largest alignment the back end honours: 64 KiB, the largest transfer the tool makes.
inline constexpr std::uint32_t kMaxAlignmentMask = 0xFFFF;

// The mask the adapter reported, made a whole run of low one-bits (an adapter that reports
// 0x5 needs 8-byte alignment) and bounded by kMaxAlignmentMask.
std::uint32_t NormalizedAlignmentMask(std::uint32_t reported);

class TransferBuffer {
  public:
    TransferBuffer(const PassThroughRequest& request, std::uint32_t alignment_mask);
    TransferBuffer(const TransferBuffer&) = delete;
    TransferBuffer& operator=(const TransferBuffer&) = delete;

    // What goes into the request's DataBuffer; null when the request moves no data or the
    // caller gave no buffer for its direction.
    void* Data() const { return data_; }
    // True when the caller's buffer could not be used in place.
    bool Copied() const { return storage_ != nullptr; }
    // A request with a length but without a buffer for its direction cannot be sent.
    bool Missing() const { return missing_; }

    // After a delivered data-in request: the bytes the device returned (at most the requested
    // length) go back into the caller's buffer. Nothing happens for an in-place buffer.
    void CopyBack(std::uint32_t transferred) const;

  private:
    std::uint8_t* caller_in_ = nullptr;
    std::uint32_t length_ = 0;
    std::unique_ptr<std::uint8_t[]> storage_;
    void* data_ = nullptr;
    bool missing_ = false;
};

}  // namespace torvex::windows
