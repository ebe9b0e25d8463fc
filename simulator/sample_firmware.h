#pragma once
// Deterministic sample firmware blocks of the ids and sizes the tool carries, in the layout the
// virtual product understands (image_layout.h), enciphered for its key slots: image blocks under
// slot 0x07 over the whole block, information pages under slot 0x1C. Built into the tool by
// default when no vendor blocks are given.
//
// The samples are the second product line's release: every image name holds "F_TORVEXZED_", so
// a product updated from them passes the check at OTA between the two runs of an update and
// is classed Current afterwards. Group_1 and Group_2 images carry the same version (so either
// group ends Current against the Group_1 image the checks query) but differ in name and code.

#include <cstdint>
#include <vector>

#include "simulator/identity_block.h"

namespace torvex::sim {

// The block with this id; empty for an id the tool does not carry.
std::vector<std::uint8_t> MakeSampleFirmwareBlock(std::uint16_t id);

// Identity of the sample image in block 162, 163 (EF64) or 156, 164 (EF32_0): what
// ISP_CMD_GET_BINX_INFO reports for its identity slice and what the bank reports once written.
IdentityBlock SampleImageIdentity(std::uint16_t id);

// EF64 images: tag 1.2.3.4, version 100.2.0.5 (number 100205), names
// "F_TORVEXZED_APP_GROUP1" / "F_TORVEXZED_APP_GROUP2".
inline constexpr FourParts kSampleEf64Tag = {1, 2, 3, 4};
inline constexpr FourParts kSampleEf64Version = {100, 2, 0, 5};
inline constexpr std::int32_t kSampleEf64VersionNumber = 100205;
// EF32_0 images: tag 7.8.9.10, version 50.2.0.5 (number 50205), names
// "F_TORVEXZED_OTA_GROUP1" / "F_TORVEXZED_OTA_GROUP2".
inline constexpr FourParts kSampleEf32Tag = {7, 8, 9, 10};
inline constexpr FourParts kSampleEf32Version = {50, 2, 0, 5};
inline constexpr std::int32_t kSampleEf32VersionNumber = 50205;

IdentityBlock SampleEf64Identity(int group);
IdentityBlock SampleEf32Identity(int group);

}  // namespace torvex::sim
