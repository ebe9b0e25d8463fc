#pragma once
// The group step of the version checks: a product whose version number stands in a Group_2
// table takes the Group_2 images, any other the Group_1 images.

#include <cstdint>
#include <span>
#include <string_view>

#include "firmware/version_classes.h"

namespace torvex {

class StatusLog;

struct GroupLines {
    std::u16string_view group2;
    std::u16string_view group1;
};

// Logs "Compare FW Version ", walks the table to its zero entry (the first entry is compared
// before any zero test, and a match does not end the walk), then falls back to Group_1. Returns
// the group decided.
ImageGroup DecideFirmwareGroup(StatusLog& log, std::span<const std::int32_t> group2_versions,
                               std::int32_t version_number, GroupLines lines);

}  // namespace torvex
