#include "simulator/gadget/scsi_disk.h"

#include <algorithm>

namespace torvex::sim::gadget {

namespace {

enum Opcode : std::uint8_t {
    kTestUnitReady = 0x00,
    kRequestSense = 0x03,
    kInquiry = 0x12,
    kModeSense6 = 0x1A,
    kStartStopUnit = 0x1B,
    kPreventAllow = 0x1E,
    kReadCapacity10 = 0x25,
    kRead10 = 0x28,
    kWrite10 = 0x2A,
    kSynchronizeCache10 = 0x35,
    kModeSense10 = 0x5A,
};

constexpr std::uint8_t kAscInvalidOpcode = 0x20;
constexpr std::uint8_t kAscLbaOutOfRange = 0x21;
constexpr std::uint8_t kAscInvalidField = 0x24;
constexpr std::uint8_t kAscWriteProtected = 0x27;

std::uint32_t Be16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 8 | b[at + 1];
}

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
    return Be16(b, at) << 16 | Be16(b, at + 2);
}

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Text(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(i < text.size() ? text[i] : ' '));
}

ScsiReply Data(std::vector<std::uint8_t> data, std::uint32_t allocation) {
    if (data.size() > allocation) data.resize(allocation);
    return ScsiReply{0, std::move(data), 0};
}

}  // namespace

ScsiDisk::ScsiDisk(PeripheralType type, std::vector<std::uint8_t> image, bool read_only)
    : type_(type), block_size_(type == PeripheralType::CdRom ? 2048 : 512), read_only_(read_only) {
    SetImage(std::move(image));
    SetSense(kSenseNoSense, 0, 0);
}

void ScsiDisk::SetImage(std::vector<std::uint8_t> image) {
    image_ = std::move(image);
    const std::size_t blocks =
        std::max<std::size_t>(1, (image_.size() + block_size_ - 1) / block_size_);
    image_.resize(blocks * block_size_, 0);
}

void ScsiDisk::SetSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    sense_.assign(18, 0);
    sense_[0] = 0x70;
    sense_[2] = key;
    sense_[7] = 10;
    sense_[12] = asc;
    sense_[13] = ascq;
}

void ScsiDisk::SetSenseBytes(std::span<const std::uint8_t> sense) {
    if (sense.empty()) return SetSense(kSenseNoSense, 0, 0);
    sense_.assign(sense.begin(), sense.end());
}

ScsiReply ScsiDisk::Fail(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    SetSense(key, asc, ascq);
    return ScsiReply{2, {}, 0};
}

DataExpectation ScsiDisk::Expect(std::span<const std::uint8_t> cdb) const {
    if (cdb.empty()) return {};
    const auto blocks = [&] { return cdb.size() >= 9 ? Be16(cdb, 7) * block_size_ : 0u; };
    switch (cdb[0]) {
        case kRequestSense:
        case kModeSense6:
            return {DataPhase::In, cdb.size() >= 5 ? cdb[4] : 0u};
        case kInquiry:
            return {DataPhase::In, cdb.size() >= 5 ? Be16(cdb, 3) : 0u};
        case kModeSense10:
            return {DataPhase::In, cdb.size() >= 9 ? Be16(cdb, 7) : 0u};
        case kReadCapacity10:
            return {DataPhase::In, 8};
        case kRead10:
            return {DataPhase::In, blocks()};
        case kWrite10:
            return {DataPhase::Out, blocks()};
        default:
            return {};
    }
}

ScsiReply ScsiDisk::Execute(std::span<const std::uint8_t> cdb,
                            std::span<const std::uint8_t> data_out) {
    if (cdb.empty()) return Fail(kSenseIllegal, kAscInvalidOpcode);
    switch (cdb[0]) {
        case kRequestSense: {
            // The sense of the last command, once; the next one starts clean.
            ScsiReply reply = Data(sense_, cdb.size() >= 5 ? cdb[4] : 0u);
            SetSense(kSenseNoSense, 0, 0);
            return reply;
        }
        case kInquiry:
            return Inquiry(cdb);
        case kModeSense6:
        case kModeSense10:
            return ModeSense(cdb, cdb[0] == kModeSense10);
        case kReadCapacity10: {
            std::vector<std::uint8_t> data;
            PutBe32(data, static_cast<std::uint32_t>(image_.size() / block_size_) - 1);
            PutBe32(data, block_size_);
            SetSense(kSenseNoSense, 0, 0);
            return Data(std::move(data), 8);
        }
        case kRead10:
        case kWrite10:
            return ReadWrite(cdb, data_out, cdb[0] == kWrite10);
        case kTestUnitReady:
        case kStartStopUnit:
        case kPreventAllow:
        case kSynchronizeCache10:
            SetSense(kSenseNoSense, 0, 0);
            return ScsiReply{};
        default:
            return Fail(kSenseIllegal, kAscInvalidOpcode);
    }
}

ScsiReply ScsiDisk::Inquiry(std::span<const std::uint8_t> cdb) {
    if (cdb.size() < 5) return Fail(kSenseIllegal, kAscInvalidField);
    const std::uint32_t allocation = Be16(cdb, 3);
    const auto type = static_cast<std::uint8_t>(type_);
    std::vector<std::uint8_t> data;
    if ((cdb[1] & 0x01) != 0) {  // vital product data
        if (cdb[2] == 0x00) {
            data = {type, 0x00, 0x00, 0x02, 0x00, 0x80};
        } else if (cdb[2] == 0x80) {
            data = {type, 0x80, 0x00, static_cast<std::uint8_t>(serial_.size())};
            data.insert(data.end(), serial_.begin(), serial_.end());
        } else {
            return Fail(kSenseIllegal, kAscInvalidField);
        }
    } else {
        if (cdb[2] != 0) return Fail(kSenseIllegal, kAscInvalidField);
        // Removable medium, SPC-2 answers in the standard format, 36 bytes in all.
        data = {type, 0x80, 0x04, 0x02, 31, 0x00, 0x00, 0x00};
        Text(data, "TORVEX", 8);
        Text(data, type_ == PeripheralType::CdRom ? "Virtual CD-ROM" : "Virtual Disk", 16);
        Text(data, "1.00", 4);
    }
    SetSense(kSenseNoSense, 0, 0);
    return Data(std::move(data), allocation);
}

ScsiReply ScsiDisk::ModeSense(std::span<const std::uint8_t> cdb, bool ten) {
    if (cdb.size() < (ten ? 10u : 6u)) return Fail(kSenseIllegal, kAscInvalidField);
    const std::uint8_t page = cdb[2] & 0x3F;
    if (page != 0x3F && page != 0x00) return Fail(kSenseIllegal, kAscInvalidField);
    const std::uint8_t specific = read_only_ ? 0x80 : 0x00;  // write protect
    std::vector<std::uint8_t> data;
    if (ten)
        data = {0x00, 0x06, 0x00, specific, 0x00, 0x00, 0x00, 0x00};
    else
        data = {0x03, 0x00, specific, 0x00};
    SetSense(kSenseNoSense, 0, 0);
    return Data(std::move(data), ten ? Be16(cdb, 7) : cdb[4]);
}

ScsiReply ScsiDisk::ReadWrite(std::span<const std::uint8_t> cdb, std::span<const std::uint8_t> out,
                              bool write) {
    if (cdb.size() < 10) return Fail(kSenseIllegal, kAscInvalidField);
    const std::uint64_t lba = Be32(cdb, 2);
    const std::uint64_t count = Be16(cdb, 7);
    const std::uint64_t blocks = image_.size() / block_size_;
    if (lba + count > blocks) return Fail(kSenseIllegal, kAscLbaOutOfRange);
    if (write && read_only_) return Fail(kSenseDataProtect, kAscWriteProtected);
    const std::size_t from = static_cast<std::size_t>(lba * block_size_);
    const std::size_t bytes = static_cast<std::size_t>(count * block_size_);
    ScsiReply reply;
    if (write) {
        if (out.size() < bytes) return Fail(kSenseIllegal, kAscInvalidField);
        std::copy_n(out.begin(), bytes, image_.begin() + static_cast<std::ptrdiff_t>(from));
        reply.used_out = static_cast<std::uint32_t>(bytes);
    } else {
        reply.data.assign(image_.begin() + static_cast<std::ptrdiff_t>(from),
                          image_.begin() + static_cast<std::ptrdiff_t>(from + bytes));
    }
    SetSense(kSenseNoSense, 0, 0);
    return reply;
}

}  // namespace torvex::sim::gadget
