#include "simulator/gadget/gadget_product.h"

#include <algorithm>
#include <csignal>

#include "base/hex_text.h"
#include "simulator/gadget/fat_image.h"
#include "trace/json_line.h"
#include "trace/platform_trace.h"
#include "trace/trace_names.h"

namespace torvex::sim::gadget {

namespace {

constexpr DiskIndex kProductDisk = 0;

CommandOutcome Ended(const CommandBlockWrapper& cbw, std::vector<std::uint8_t> data_in,
                     std::uint32_t residue, CswStatus status) {
    CommandOutcome outcome;
    if (data_in.size() > cbw.data_length) data_in.resize(cbw.data_length);
    outcome.data_in = std::move(data_in);
    outcome.csw = MakeCsw(cbw.tag, residue, status);
    return outcome;
}

CommandOutcome PhaseError(const CommandBlockWrapper& cbw) {
    return Ended(cbw, {}, cbw.data_length, CswStatus::PhaseError);
}

std::vector<std::uint8_t> CdRomImage() {
    // A small data track of zeros: the CD-ROM driver binds and reads its capacity.
    return std::vector<std::uint8_t>(64 * 2048, 0);
}

}  // namespace

bool IsVendorOpcode(std::uint8_t opcode) {
    if (opcode >= 0xC0) return true;
    const auto blocks = AcceptedBlocks();
    return std::any_of(blocks.begin(), blocks.end(),
                       [&](const AcceptedBlock& block) { return block.bytes[0] == opcode; });
}

GadgetProduct::GadgetProduct(const GadgetConfig& config)
    : disk_(PeripheralType::Disk, {}, false),
      application_image_(MakeFatImage(config.disk_bytes, "TORVEX")),
      plain_(config.plain),
      pause_at_(config.pause_at) {
    product_ = &platform_.AddProduct(config.product);
    // Over USB a command without data carries no direction the product could check.
    product_->Config().check_direction_without_data = false;
    if (config.cdrom)
        cdrom_ = std::make_unique<ScsiDisk>(PeripheralType::CdRom, CdRomImage(), true);
    OnArrival();
}

GadgetProduct::~GadgetProduct() {
    platform_.Close(handle_);
}

void GadgetProduct::OnArrival() {
    platform_.Close(handle_);
    path_ = platform_.PathOf(kProductDisk);
    handle_ = platform_.OpenExclusive(path_);
    if (showing_application_image_)
        application_image_.assign(disk_.Image().begin(), disk_.Image().end());
    showing_application_image_ = plain_ || product_->Mode() == ProductMode::Application;
    // Application code shows its FAT disk (kept across re-enumerations); the other codes a
    // blank one of the same size.
    disk_.SetImage(showing_application_image_
                       ? application_image_
                       : std::vector<std::uint8_t>(application_image_.size(), 0));
    disk_.SetSerial(Identity().serial);
    disk_.SetSense(kSenseNoSense, 0, 0);
    if (cdrom_) cdrom_->SetSerial(Identity().serial);
}

CommandOutcome GadgetProduct::Command(const CommandBlockWrapper& cbw,
                                      std::span<const std::uint8_t> data_out) {
    const std::uint32_t host_length = cbw.data_length;
    if (host_length > kMaxDataLength) return PhaseError(cbw);
    if (cbw.lun > MaxLun() || cbw.cb.empty()) return Ended(cbw, {}, host_length, CswStatus::Failed);
    if (cbw.lun == 0 && IsVendorOpcode(cbw.cb[0]))
        return plain_ ? RefuseVendor(cbw) : Vendor(cbw, data_out);
    ScsiDisk& disk = cbw.lun == 0 ? disk_ : *cdrom_;
    const DataExpectation expect = disk.Expect(cbw.cb);
    if (expect.phase != DataPhase::None && expect.length > 0) {
        // The host must move the command's data in the command's direction, and no less of it.
        const bool host_in = cbw.data_in && host_length > 0;
        const bool host_out = !cbw.data_in && host_length > 0;
        if ((expect.phase == DataPhase::In ? !host_in : !host_out) || host_length < expect.length)
            return PhaseError(cbw);
    }
    ScsiReply reply = disk.Execute(cbw.cb, data_out);
    const CswStatus status = reply.status == 0 ? CswStatus::Passed : CswStatus::Failed;
    if (!cbw.data_in)
        return Ended(cbw, {}, host_length - std::min(host_length, reply.used_out), status);
    const auto sent =
        static_cast<std::uint32_t>(std::min<std::size_t>(reply.data.size(), host_length));
    return Ended(cbw, std::move(reply.data), host_length - sent, status);
}

CommandOutcome GadgetProduct::Vendor(const CommandBlockWrapper& cbw,
                                     std::span<const std::uint8_t> data_out) {
    if (pause_at_ && cbw.cb[1] == *pause_at_) {
        pause_at_.reset();
        std::raise(SIGSTOP);
    }
    const std::uint32_t length = cbw.data_length;
    std::vector<std::uint8_t> in(cbw.data_in ? length : 0, 0);
    std::vector<std::uint8_t> out;
    if (!cbw.data_in) {
        out.assign(data_out.begin(),
                   data_out.begin() + std::min<std::size_t>(data_out.size(), length));
        out.resize(length, 0);
    }
    PassThroughRequest request;
    request.cdb = cbw.cb;
    request.direction = cbw.data_in ? DataDirection::In : DataDirection::Out;
    request.length = length;
    if (cbw.data_in && length > 0) request.data_in = in.data();
    if (!cbw.data_in && length > 0) request.data_out = out.data();

    const ProductMode mode = product_->Mode();
    const TracedRequest traced = TracedRequestOf(handle_, request);
    const PassThroughResult result = platform_.PassThrough(handle_, request);
    const std::vector<ProtocolViolation>& violations = platform_.Violations();
    if (violations.size() > reported_violations_ && violation_sink_)
        for (std::size_t i = reported_violations_; i < violations.size(); ++i)
            violation_sink_(Describe(violations[i]));
    reported_violations_ = violations.size();
    const std::span<const std::uint8_t> sense(
        result.sense.data(), std::min<std::size_t>(result.sense_length, kSenseLength));
    if (trace_)
        trace_(JsonLine()
                   .Number("t", static_cast<std::int64_t>(platform_.Now()))
                   .Text("op", "request")
                   .Text("mode", ModeName(mode))
                   .Text("cdb", HexText(cbw.cb))
                   .Text("dir", length == 0 ? "none" : DirectionName(request.direction))
                   .Number("length", length)
                   .Text("sent_sha256", traced.sent_sha256)
                   .Text("received", HexText(in))
                   .Flag("delivered", result.delivered)
                   .Number("status", result.scsi_status)
                   .Text("error", TransportErrorName(result.error))
                   .Text("sense", HexText(sense))
                   .Text("diagnostic", result.diagnostic)
                   .Str());

    if (!result.delivered) {
        switch (result.error) {
            case TransportError::Timeout: {
                CommandOutcome hung;
                hung.ending = CommandOutcome::Ending::NoStatus;
                return hung;
            }
            case TransportError::NoDevice: {
                CommandOutcome gone;
                gone.ending = CommandOutcome::Ending::Gone;
                return gone;
            }
            default:
                // Refused without an answer: the host sees a transport failure and resets.
                return PhaseError(cbw);
        }
    }
    if (result.scsi_status != kScsiStatusGood) {
        disk_.SetSenseBytes(sense);
        return Ended(cbw, {}, length, CswStatus::Failed);
    }
    disk_.SetSense(kSenseNoSense, 0, 0);
    if (!cbw.data_in) return Ended(cbw, {}, 0, CswStatus::Passed);
    return Ended(cbw, std::move(in), 0, CswStatus::Passed);
}

CommandOutcome GadgetProduct::RefuseVendor(const CommandBlockWrapper& cbw) {
    const ScsiReply reply = disk_.Execute(cbw.cb, {});  // invalid command operation code
    if (trace_)
        trace_(JsonLine()
                   .Number("t", static_cast<std::int64_t>(platform_.Now()))
                   .Text("op", "request")
                   .Text("mode", "Plain")
                   .Text("cdb", HexText(cbw.cb))
                   .Text("dir", cbw.data_length == 0 ? "none" : (cbw.data_in ? "in" : "out"))
                   .Number("length", cbw.data_length)
                   .Number("status", reply.status)
                   .Text("sense", HexText(disk_.Sense()))
                   .Str());
    return Ended(cbw, {}, cbw.data_length, CswStatus::Failed);
}

void GadgetProduct::NotePresence(std::vector<PresenceStep>& steps) {
    const bool present = platform_.IsPresent(kProductDisk);
    const std::u16string path = platform_.PathOf(kProductDisk);
    if (present_ && (!present || path != path_)) {
        steps.push_back({false, {}});
        present_ = false;
    }
    if (!present_ && present) {
        OnArrival();
        steps.push_back({true, product_->Usb()});
        present_ = true;
        unplugged_at_.reset();
    }
}

std::optional<std::uint64_t> GadgetProduct::NextDue() const {
    std::optional<std::uint64_t> next = platform_.NextScheduledTime();
    if (!present_ && !next) {
        const std::uint64_t replug =
            unplugged_at_.value_or(platform_.Now()) + product_->Timing().return_delay_ms;
        return replug;
    }
    return next;
}

std::vector<PresenceStep> GadgetProduct::Advance(std::uint64_t now_ms) {
    std::vector<PresenceStep> steps;
    NotePresence(steps);
    for (;;) {
        const std::optional<std::uint64_t> next = platform_.NextScheduledTime();
        if (!next || *next > now_ms) break;
        platform_.AdvanceClock(*next - platform_.Now());
        NotePresence(steps);
    }
    if (now_ms > platform_.Now()) platform_.AdvanceClock(now_ms - platform_.Now());
    platform_.TakeEvents();  // nobody listens in process; the host sees the bus instead
    if (!present_ && !platform_.NextScheduledTime()) {
        if (!unplugged_at_) unplugged_at_ = platform_.Now();
        if (platform_.Now() >= *unplugged_at_ + product_->Timing().return_delay_ms) {
            platform_.Plug(kProductDisk);
            NotePresence(steps);
        }
    }
    return steps;
}

}  // namespace torvex::sim::gadget
