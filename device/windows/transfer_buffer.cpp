#include "device/windows/transfer_buffer.h"

#include <algorithm>
#include <cstring>

namespace torvex::windows {

std::uint32_t NormalizedAlignmentMask(std::uint32_t reported) {
    std::uint32_t mask = std::min(reported, kMaxAlignmentMask);
    for (std::uint32_t shift = 1; shift < 32; shift <<= 1) mask |= mask >> shift;
    return mask;
}

TransferBuffer::TransferBuffer(const PassThroughRequest& request, std::uint32_t alignment_mask)
    : length_(request.length) {
    if (request.length == 0) return;
    const bool in = request.direction == DataDirection::In;
    const std::uint8_t* caller = in ? request.data_in : request.data_out;
    if (caller == nullptr) {
        missing_ = true;
        return;
    }
    if (in) caller_in_ = request.data_in;
    const std::uint32_t mask = NormalizedAlignmentMask(alignment_mask);
    if ((reinterpret_cast<std::uintptr_t>(caller) & mask) == 0) {
        data_ = const_cast<std::uint8_t*>(caller);  // the adapter only reads a data-out buffer
        return;
    }
    storage_ = std::make_unique<std::uint8_t[]>(std::size_t{length_} + mask);
    const auto raw = reinterpret_cast<std::uintptr_t>(storage_.get());
    auto* aligned = reinterpret_cast<std::uint8_t*>((raw + mask) & ~std::uintptr_t{mask});
    if (!in) std::memcpy(aligned, caller, length_);  // a data-in buffer starts zeroed
    data_ = aligned;
}

void TransferBuffer::CopyBack(std::uint32_t transferred) const {
    if (!Copied() || caller_in_ == nullptr) return;
    std::memcpy(caller_in_, data_, std::min(transferred, length_));
}

}  // namespace torvex::windows
