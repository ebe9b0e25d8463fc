#pragma once
// The virtual product: one USB product with its two flash banks, the code it runs, and the
// vendor commands it answers. It decodes every request itself from its own command table and
// carries it out on its banks; the platform (virtual_platform.h) gives it presence, handles,
// re-enumeration and events.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_platform.h"
#include "simulator/command_table.h"
#include "simulator/fault_plan.h"
#include "simulator/flash_bank.h"
#include "simulator/identity_block.h"
#include "simulator/product_mode.h"

namespace torvex::sim {

// Delays, in milliseconds of the platform's clock, of a product that leaves (after a jump, an
// execute, an unplug or a fault) and of its return.
struct ProductTiming {
    std::uint32_t leave_delay_ms = 0;           // from the jump until it is gone (0: at once)
    std::uint32_t removal_event_delay_ms = 50;  // from gone until the removal event
    std::uint32_t return_delay_ms = 2000;       // from gone until it is back in its next code
    std::uint32_t arrival_event_delay_ms = 0;   // from back until the arrival event
};

// Contents of a bank when the product is made.
struct BankSetup {
    IdentityBlock identity{};
    bool erased = false;     // every byte 0xFF (the identity then reads all 0xFF)
    bool corrupt = false;    // main memory fails its checksum (identity unchanged)
    std::uint8_t group = 1;  // recorded in the image trailer
};

// Gives a bank the contents `setup` describes; `seed` varies the code around the identity.
void SetUpBank(FlashBank& bank, const BankSetup& setup, std::uint32_t seed);

struct ProductConfig {
    ProductMode mode = ProductMode::Application;
    BankSetup ef64;
    BankSetup ef32;
    UsbSerials serials;
    ProductTiming timing;
    std::vector<Fault> faults;
    // A jump or execute enters the target code only when that bank holds valid firmware
    // (main memory and information pages pass their checksums); otherwise the product comes
    // back in the code it left (the jump to EF32_0 from application code: in application code).
    bool jump_needs_valid_firmware = true;
    // Hold commands without data to their listed direction flag too. Turn off for a platform
    // whose pass-through cannot carry the flag when no data moves.
    bool check_direction_without_data = true;
};

// What a product that leaves does next.
struct Departure {
    std::optional<ProductMode> return_mode;  // empty: unplugged, it does not come back
    bool delayed = true;                     // leave after timing.leave_delay_ms
};

struct ProductAnswer {
    PassThroughResult result;
    std::optional<Command> command;  // the decoded command, if the bytes matched one
    bool carried_out = false;        // the product acted on the command
    std::string violation;           // non-empty: the request broke the protocol
    std::optional<Departure> departure;
};

class VirtualProduct {
  public:
    explicit VirtualProduct(const ProductConfig& config);

    // Starts over as a new product made from `config` (the demo's "pick another state").
    void Reset(const ProductConfig& config) { *this = VirtualProduct(config); }

    // One pass-through request; the platform has already checked the handle.
    ProductAnswer Execute(const PassThroughRequest& request);

    ProductMode Mode() const { return mode_; }
    // Puts the product in a code with a fresh session (no key selected, no image header).
    void EnterMode(ProductMode mode);
    UsbIdentity Usb() const { return UsbIdentityFor(mode_, config_.serials); }

    FlashBank& Ef64() { return ef64_; }
    FlashBank& Ef32() { return ef32_; }
    const FlashBank& Ef64() const { return ef64_; }
    const FlashBank& Ef32() const { return ef32_; }

    FaultPlan& Faults() { return faults_; }
    ProductTiming& Timing() { return config_.timing; }
    const ProductTiming& Timing() const { return config_.timing; }
    ProductConfig& Config() { return config_; }

    // Session state, for tests.
    std::optional<std::uint8_t> KeySlot() const { return key_slot_; }
    std::optional<IdentityBlock> ImageHeaderIdentity() const { return header_identity_; }
    std::uint64_t RequestCount() const { return requests_; }

  private:
    struct Outcome {
        std::uint8_t status = kScsiStatusGood;
        std::vector<std::uint8_t> reply;  // data-in bytes
        std::string diagnostic;
        std::optional<Departure> departure;
    };

    std::string SessionViolation(const AcceptedBlock& block) const;
    void ApplyFaultBefore(const Fault& fault, ProductAnswer& answer) const;
    void ApplyFaultAfter(const Fault& fault, Outcome& outcome) const;
    void Deliver(const Outcome& outcome, const PassThroughRequest& request,
                 ProductAnswer& answer) const;
    Outcome CarryOut(Command command, const PassThroughRequest& request);
    void Program(Command command, const PassThroughRequest& request);
    Outcome Check(Command command) const;
    Outcome Jump(Command command) const;
    std::vector<std::uint8_t> Decipher(const PassThroughRequest& request,
                                       std::size_t block_offset) const;

    ProductConfig config_;
    ProductMode mode_;
    FlashBank ef64_;
    FlashBank ef32_;
    FaultPlan faults_;
    std::optional<std::uint8_t> key_slot_;
    std::optional<IdentityBlock> header_identity_;
    std::optional<BankCode> stage_;  // bank whose main memory was programmed last this session
    std::uint64_t requests_ = 0;
};

// One line on the product's state, for a demo or a failure message:
// "Application; EF64 1.2.3.4 100.1.0.0 'F_TORVEX_APP_V100100' valid; EF32_0 ...".
std::string Summary(const VirtualProduct& product);

// Fixed-format sense data (response code 0x70) for a CHECK CONDITION.
void FillSense(PassThroughResult& result, std::uint8_t key, std::uint8_t asc, std::uint8_t ascq);
inline constexpr std::uint8_t kSenseMiscompare = 0x0E;  // ASC 0x1D: miscompare during verify
inline constexpr std::uint8_t kSenseHardwareError = 0x04;
inline constexpr std::uint8_t kSenseIllegalRequest = 0x05;

}  // namespace torvex::sim
