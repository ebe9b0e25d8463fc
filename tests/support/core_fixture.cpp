#include "tests/support/core_fixture.h"

#include <cstdio>

namespace torvex::testing {

std::vector<std::string> CoreFixture::SentBlocks() const {
    std::vector<std::string> sent;
    for (const auto& request : platform.requests) {
        std::string hex;
        for (std::uint8_t b : request.cdb) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02X", b);
            if (!hex.empty()) hex += ' ';
            hex += byte;
        }
        sent.push_back(hex);
    }
    return sent;
}

}  // namespace torvex::testing
