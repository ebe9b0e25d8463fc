#pragma once
// How a listed disk is printed: one line of tab-separated fields (port, VID:PID, serial, code,
// then for a product whose identities were read: both banks, both carried images and what an
// update would do), or the members of one JSON "disk" event. Text from the device is shown
// without control characters, so a field never holds a tab or a line end.

#include <string>

#include "cli/disk_list.h"
#include "trace/json_line.h"

namespace torvex::cli {

// "2-1.4\t2175:5001\tSN:0000000012345678\tapplication code\tEF64 bank 100.1.0.0 tag 1.2.3.4
// "F_TORVEX_APP_V100100"\t...\tupdate: EF32_0, then EF64 ...", without a line end.
std::string PlainListLine(const ListedDisk& disk);

// Adds the disk's members ("port", "vid", "pid", "serial", "code", and the identities read).
void AddListedDisk(JsonLine& line, const ListedDisk& disk);

}  // namespace torvex::cli
