#include "simulator/flash_bank.h"

#include <algorithm>

namespace torvex::sim {

FlashBank::FlashBank(BankCode code, std::size_t info_pages, WriteRule rule)
    : code_(code), rule_(rule), main_(kMainMemorySize, 0xFF), info_(info_pages) {
    EraseInfo();
}

void FlashBank::LoadFirmware(const IdentityBlock& identity, std::uint8_t group,
                             std::uint32_t seed) {
    main_ = BuildMainImage(code_, group, identity, seed);
    for (std::size_t page = 0; page < info_.size(); ++page)
        info_[page] = BuildInfoPage(code_, seed + 1);
}

void FlashBank::SetIdentity(const IdentityBlock& identity) {
    SetMainIdentity(main_, identity);
}

void FlashBank::CorruptMain() {
    main_[kMainIdentityOffset - 1] ^= 0x5A;
}

void FlashBank::EraseMain() {
    std::fill(main_.begin(), main_.end(), 0xFF);
}

void FlashBank::EraseInfo() {
    for (auto& page : info_) page.fill(0xFF);
}

void FlashBank::ProgramMain(std::span<const std::uint8_t> plain) {
    Write(main_, plain);
}

void FlashBank::ProgramInfo(std::size_t page, std::span<const std::uint8_t> plain) {
    if (page < info_.size()) Write(info_[page], plain);
}

ImageCheck FlashBank::CheckInfo(std::size_t page) const {
    if (page >= info_.size()) return ImageCheck::NoImage;
    return CheckInfoPage(info_[page], code_);
}

bool FlashBank::HoldsValidFirmware() const {
    if (CheckMain() != ImageCheck::Good) return false;
    for (std::size_t page = 0; page < info_.size(); ++page)
        if (CheckInfo(page) != ImageCheck::Good) return false;
    return true;
}

std::span<const std::uint8_t> FlashBank::Info(std::size_t page) const {
    if (page >= info_.size()) return {};
    return info_[page];
}

void FlashBank::Write(std::span<std::uint8_t> flash, std::span<const std::uint8_t> data) {
    const std::size_t n = std::min(flash.size(), data.size());
    for (std::size_t i = 0; i < n; ++i)
        flash[i] = rule_ == WriteRule::AndIntoFlash ? static_cast<std::uint8_t>(flash[i] & data[i])
                                                    : data[i];
}

}  // namespace torvex::sim
