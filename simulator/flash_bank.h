#pragma once
// One embedded-flash bank of the product: 64 KiB main memory and its information page(s), held
// in plain form. The bank reports the identity record that sits in its main memory, so after an
// update it reports what was written.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "simulator/identity_block.h"
#include "simulator/image_layout.h"

namespace torvex::sim {

// How a program command puts data into the flash.
enum class WriteRule : std::uint8_t {
    // EF64: NOR-style, programming can only clear bits (the cell becomes old AND new). Data
    // written over an unerased bank therefore differs from the image and fails its checksum,
    // unless the bank already held the very same bytes.
    AndIntoFlash,
    // EF32_0: the product erases each page itself before writing it (the procedure has no erase
    // step), so the data lands as sent.
    Overwrite,
};

class FlashBank {
  public:
    FlashBank(BankCode code, std::size_t info_pages, WriteRule rule);

    // Contents as a freshly built, valid firmware with this identity.
    void LoadFirmware(const IdentityBlock& identity, std::uint8_t group, std::uint32_t seed);
    // Rewrites the identity inside main memory (and keeps its checksum valid).
    void SetIdentity(const IdentityBlock& identity);
    // Spoils the main-memory checksum without touching the identity.
    void CorruptMain();

    void EraseMain();
    void EraseInfo();
    void EraseAll() {
        EraseMain();
        EraseInfo();
    }
    void ProgramMain(std::span<const std::uint8_t> plain);
    void ProgramInfo(std::size_t page, std::span<const std::uint8_t> plain);

    ImageCheck CheckMain() const { return CheckMainImage(main_, code_); }
    ImageCheck CheckInfo(std::size_t page) const;
    // Main memory and every information page pass their checksums: code the product can run.
    bool HoldsValidFirmware() const;

    IdentityBlock Identity() const { return MainIdentity(main_); }
    std::span<const std::uint8_t> Main() const { return main_; }
    std::span<const std::uint8_t> Info(std::size_t page) const;
    std::size_t InfoPageCount() const { return info_.size(); }
    BankCode Code() const { return code_; }

  private:
    void Write(std::span<std::uint8_t> flash, std::span<const std::uint8_t> data);

    BankCode code_;
    WriteRule rule_;
    std::vector<std::uint8_t> main_;
    std::vector<std::array<std::uint8_t, kInfoPageSize>> info_;
};

}  // namespace torvex::sim
