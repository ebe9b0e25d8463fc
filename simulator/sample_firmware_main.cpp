// Writes the seven sample firmware blocks as <dir>/<id>.bin.
#include <cstdio>
#include <fstream>
#include <string>

#include "firmware/firmware_block_table.h"
#include "simulator/sample_firmware.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: torvex-sample-firmware DIR\n");
        return 64;
    }
    for (std::uint16_t id : torvex::kFirmwareBlockLoadOrder) {
        const auto block = torvex::sim::MakeSampleFirmwareBlock(id);
        const std::string path = std::string(argv[1]) + "/" + std::to_string(id) + ".bin";
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size()));
        if (!out) {
            std::fprintf(stderr, "torvex-sample-firmware: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
