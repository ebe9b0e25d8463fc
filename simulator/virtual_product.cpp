#include "simulator/virtual_product.h"

#include <algorithm>
#include <cstring>

#include "simulator/product_cipher.h"

namespace torvex::sim {

namespace {

bool ActsBeforeCommand(FaultAction action) {
    return action == FaultAction::Fail || action == FaultAction::Timeout ||
           action == FaultAction::CheckCondition || action == FaultAction::VanishBefore;
}

void NotDelivered(PassThroughResult& result, TransportError error, std::string diagnostic) {
    result.delivered = false;
    result.error = error;
    result.diagnostic = std::move(diagnostic);
}

std::vector<std::uint8_t> MaskProbeReply(ProductMode mode) {
    std::vector<std::uint8_t> reply(128, 0);
    const char* text =
        mode == ProductMode::Mask0110 ? "TORVEX MASK ROM 0110" : "TORVEX MASK ROM 0210";
    std::memcpy(reply.data(), text, std::strlen(text));
    return reply;
}

}  // namespace

void SetUpBank(FlashBank& bank, const BankSetup& setup, std::uint32_t seed) {
    if (setup.erased) {
        bank.EraseAll();
        return;
    }
    bank.LoadFirmware(setup.identity, setup.group, seed);
    if (setup.corrupt) bank.CorruptMain();
}

void FillSense(PassThroughResult& result, std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    result.sense.fill(0);
    result.sense[0] = 0x70;
    result.sense[2] = key;
    result.sense[7] = 10;
    result.sense[12] = asc;
    result.sense[13] = ascq;
    result.sense_length = 18;
}

VirtualProduct::VirtualProduct(const ProductConfig& config)
    : config_(config),
      mode_(config.mode),
      ef64_(BankCode::Ef64, 1, WriteRule::AndIntoFlash),
      ef32_(BankCode::Ef32_0, 2, WriteRule::Overwrite) {
    SetUpBank(ef64_, config.ef64, 0x64000000u + config.ef64.group);
    SetUpBank(ef32_, config.ef32, 0x32000000u + config.ef32.group);
    for (const Fault& fault : config.faults) faults_.Add(fault);
}

void VirtualProduct::EnterMode(ProductMode mode) {
    mode_ = mode;
    key_slot_.reset();
    header_identity_.reset();
    stage_.reset();
}

ProductAnswer VirtualProduct::Execute(const PassThroughRequest& request) {
    ++requests_;
    ProductAnswer answer;
    const bool has_buffer = request.direction == DataDirection::In ? request.data_in != nullptr
                                                                   : request.data_out != nullptr;
    const RequestShape shape{request.cdb, request.direction, request.length, has_buffer};
    const Decoded decoded = DecodeCommand(shape, mode_, config_.check_direction_without_data);
    if (decoded.block != nullptr) answer.command = decoded.block->command;
    if (decoded.verdict == Verdict::Violation) answer.violation = decoded.reason;
    if (decoded.verdict == Verdict::Accept) answer.violation = SessionViolation(*decoded.block);

    const std::uint8_t opcode = request.cdb.size() > 1 ? request.cdb[1] : 0;
    const std::optional<Fault> fault = faults_.Match(answer.command, opcode, mode_);
    if (fault && ActsBeforeCommand(fault->action)) {
        ApplyFaultBefore(*fault, answer);
        return answer;
    }
    if (!answer.violation.empty()) {
        NotDelivered(answer.result, TransportError::Other, "virtual product: " + answer.violation);
        return answer;
    }
    if (decoded.verdict == Verdict::Refuse) {
        NotDelivered(answer.result, TransportError::Other,
                     "virtual product: refused in " + std::string(ModeName(mode_)) + " code");
        return answer;
    }
    Outcome outcome = CarryOut(*answer.command, request);
    answer.carried_out = true;
    if (fault) ApplyFaultAfter(*fault, outcome);
    Deliver(outcome, request, answer);
    return answer;
}

std::string VirtualProduct::SessionViolation(const AcceptedBlock& block) const {
    if (block.command == Command::GetBinxInfo && !header_identity_)
        return "ISP_CMD_GET_BINX_INFO before any ISP_CMD_PUT_BINX_HEADER";
    // Mask code 0210 takes both banks in one visit: the key selection before an information
    // page must be the one of the bank whose main memory was written last.
    if (block.command == Command::SelectKeyInfoPage && mode_ == ProductMode::Mask0210) {
        const BankCode expected =
            block.dialect == Dialect::MaskOta ? BankCode::Ef64 : BankCode::Ef32_0;
        if (stage_ != expected)
            return "ISP_CMD_SELECT_AES_KEY 0x1C (" + HexBytes(block.bytes) + ") while " +
                   (stage_ == BankCode::Ef64     ? std::string("EF64")
                    : stage_ == BankCode::Ef32_0 ? std::string("EF32_0")
                                                 : std::string("no bank")) +
                   " main memory was written last";
    }
    return {};
}

void VirtualProduct::ApplyFaultBefore(const Fault& fault, ProductAnswer& answer) const {
    switch (fault.action) {
        case FaultAction::Timeout:
            NotDelivered(answer.result, TransportError::Timeout, "virtual product: timed out");
            break;
        case FaultAction::CheckCondition:
            answer.result.delivered = true;
            answer.result.scsi_status = kScsiStatusCheckCondition;
            FillSense(answer.result, kSenseHardwareError, 0x44, 0x00);
            answer.result.diagnostic = "virtual product: injected CHECK CONDITION";
            break;
        case FaultAction::VanishBefore:
            NotDelivered(answer.result, TransportError::NoDevice, "virtual product: device gone");
            answer.departure = Departure{std::nullopt, false};
            break;
        default:
            NotDelivered(answer.result, TransportError::Other, "virtual product: injected failure");
            break;
    }
}

void VirtualProduct::ApplyFaultAfter(const Fault& fault, Outcome& outcome) const {
    switch (fault.action) {
        case FaultAction::VanishAfter:
            outcome.departure = Departure{std::nullopt, false};
            break;
        case FaultAction::ReplugAfter:
            outcome.departure = Departure{mode_, false};
            break;
        case FaultAction::GarbageReply:
            FillPseudoRandom(outcome.reply, static_cast<std::uint32_t>(requests_) * 2654435761u);
            break;
        case FaultAction::ShortReply:
            outcome.reply.resize(std::min<std::size_t>(fault.reply_bytes, outcome.reply.size()));
            break;
        case FaultAction::StayAfterJump:
            outcome.departure.reset();
            break;
        default:
            break;
    }
}

void VirtualProduct::Deliver(const Outcome& outcome, const PassThroughRequest& request,
                             ProductAnswer& answer) const {
    PassThroughResult& result = answer.result;
    result.delivered = true;
    result.scsi_status = outcome.status;
    result.diagnostic = outcome.diagnostic;
    if (outcome.status == kScsiStatusCheckCondition) FillSense(result, kSenseMiscompare, 0x1D, 0);
    if (request.direction == DataDirection::In && request.data_in != nullptr) {
        const std::size_t n = std::min<std::size_t>(request.length, outcome.reply.size());
        std::copy_n(outcome.reply.begin(), n, request.data_in);
    }
    answer.departure = outcome.departure;
}

VirtualProduct::Outcome VirtualProduct::CarryOut(Command command,
                                                 const PassThroughRequest& request) {
    Outcome outcome;
    switch (command) {
        case Command::MaskProbe:
            outcome.reply = MaskProbeReply(mode_);
            break;
        case Command::SelectKeyMaskQuery:
        case Command::SelectKeyMainMemory:
        case Command::SelectKeyInfoPage:
            key_slot_ = request.cdb[2];
            break;
        case Command::PutBinxHeader:
            header_identity_ = HeaderIdentity(Decipher(request, 0));
            break;
        case Command::GetBinxInfo:
            outcome.reply.assign(header_identity_->begin(), header_identity_->end());
            break;
        case Command::GetFwInfo:
        case Command::GetEf32Info: {
            const bool ef64 = command == Command::GetFwInfo && mode_ == ProductMode::Application;
            const IdentityBlock identity = ef64 ? ef64_.Identity() : ef32_.Identity();
            outcome.reply.assign(identity.begin(), identity.end());
            break;
        }
        case Command::EraseEf64Main:
            ef64_.EraseMain();
            break;
        case Command::EraseEf64Info:
            ef64_.EraseInfo();
            break;
        case Command::Execute:
        case Command::JumpEf64:
        case Command::JumpEf32:
            return Jump(command);
        case Command::CheckEf64Main:
        case Command::CheckEf64Info:
        case Command::CheckEf32Main:
        case Command::CheckEf32InfoPage0:
        case Command::CheckEf32InfoPage1:
            return Check(command);
        default:
            Program(command, request);
            break;
    }
    return outcome;
}

void VirtualProduct::Program(Command command, const PassThroughRequest& request) {
    // Every image and information block keeps its data at offset 512 behind its preamble; the
    // key stream runs over block offsets, so the data is deciphered from there.
    const std::vector<std::uint8_t> plain = Decipher(request, kBlockPreambleSize);
    switch (command) {
        case Command::ProgramEf64Main:
            ef64_.ProgramMain(plain);
            stage_ = BankCode::Ef64;
            break;
        case Command::ProgramEf64Info:
            ef64_.ProgramInfo(0, plain);
            break;
        case Command::ProgramEf32Main:
            ef32_.ProgramMain(plain);
            stage_ = BankCode::Ef32_0;
            break;
        case Command::ProgramEf32InfoPage0:
            ef32_.ProgramInfo(0, plain);
            break;
        case Command::ProgramEf32InfoPage1:
            ef32_.ProgramInfo(1, plain);
            break;
        default:
            break;
    }
}

VirtualProduct::Outcome VirtualProduct::Check(Command command) const {
    struct Target {
        ImageCheck check;
        const char* what;
    };
    const Target target =
        command == Command::CheckEf64Main   ? Target{ef64_.CheckMain(), "EF64 main memory"}
        : command == Command::CheckEf64Info ? Target{ef64_.CheckInfo(0), "EF64 information page"}
        : command == Command::CheckEf32Main ? Target{ef32_.CheckMain(), "EF32_0 main memory"}
        : command == Command::CheckEf32InfoPage0
            ? Target{ef32_.CheckInfo(0), "EF32 information page 0"}
            : Target{ef32_.CheckInfo(1), "EF32 information page 1"};
    Outcome outcome;
    if (target.check == ImageCheck::Good) return outcome;
    outcome.status = kScsiStatusCheckCondition;
    outcome.diagnostic = std::string("virtual product: ") + target.what + ": " +
                         (target.check == ImageCheck::NoImage     ? "no valid image"
                          : target.check == ImageCheck::WrongBank ? "image of the other bank"
                                                                  : "checksum mismatch");
    return outcome;
}

VirtualProduct::Outcome VirtualProduct::Jump(Command command) const {
    const bool check = config_.jump_needs_valid_firmware;
    Outcome outcome;
    if (command == Command::JumpEf64) {
        const bool runs = !check || ef64_.HoldsValidFirmware();
        outcome.departure = Departure{runs ? ProductMode::Application : mode_, true};
    } else {
        const bool runs = !check || ef32_.HoldsValidFirmware();
        outcome.departure = Departure{runs ? ProductMode::Ota : ProductMode::Application, true};
    }
    return outcome;
}

std::vector<std::uint8_t> VirtualProduct::Decipher(const PassThroughRequest& request,
                                                   std::size_t block_offset) const {
    std::vector<std::uint8_t> plain(request.data_out, request.data_out + request.length);
    ApplyKeystream(key_slot_, block_offset, plain);
    return plain;
}

}  // namespace torvex::sim
