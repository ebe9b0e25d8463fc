#pragma once
// The standard SCSI commands a kernel sends to a USB disk or CD-ROM, answered over an image in
// memory: enough for the kernel's disk and CD-ROM drivers to bind and for a desktop to mount
// what the image holds. Pure: command bytes in, status, data and sense out.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace torvex::sim::gadget {

enum class DataPhase : std::uint8_t { None, In, Out };

// What a command moves in its data phase, as its command block says.
struct DataExpectation {
    DataPhase phase = DataPhase::None;
    std::uint32_t length = 0;
};

struct ScsiReply {
    std::uint8_t status = 0;         // 0 GOOD, 2 CHECK CONDITION (the sense is kept)
    std::vector<std::uint8_t> data;  // data in, at most the allocation length
    std::uint32_t used_out = 0;      // data-out bytes the command took
};

enum class PeripheralType : std::uint8_t { Disk = 0x00, CdRom = 0x05 };

inline constexpr std::uint8_t kSenseNoSense = 0x00;
inline constexpr std::uint8_t kSenseNotReady = 0x02;
inline constexpr std::uint8_t kSenseIllegal = 0x05;
inline constexpr std::uint8_t kSenseDataProtect = 0x07;

class ScsiDisk {
  public:
    // `image` is padded to whole blocks (512 bytes for a disk, 2048 for a CD-ROM).
    ScsiDisk(PeripheralType type, std::vector<std::uint8_t> image, bool read_only);

    DataExpectation Expect(std::span<const std::uint8_t> cdb) const;
    ScsiReply Execute(std::span<const std::uint8_t> cdb, std::span<const std::uint8_t> data_out);

    // Sense for the next REQUEST SENSE: fixed format (response code 0x70).
    void SetSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq);
    void SetSenseBytes(std::span<const std::uint8_t> sense);
    std::span<const std::uint8_t> Sense() const { return sense_; }

    void SetImage(std::vector<std::uint8_t> image);
    std::span<const std::uint8_t> Image() const { return image_; }
    void SetSerial(std::string serial) { serial_ = std::move(serial); }
    std::uint32_t BlockSize() const { return block_size_; }

  private:
    ScsiReply Fail(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq = 0);
    ScsiReply Inquiry(std::span<const std::uint8_t> cdb);
    ScsiReply ModeSense(std::span<const std::uint8_t> cdb, bool ten);
    ScsiReply ReadWrite(std::span<const std::uint8_t> cdb, std::span<const std::uint8_t> out,
                        bool write);

    PeripheralType type_;
    std::uint32_t block_size_;
    bool read_only_;
    std::vector<std::uint8_t> image_;
    std::vector<std::uint8_t> sense_;
    std::string serial_;
};

}  // namespace torvex::sim::gadget
