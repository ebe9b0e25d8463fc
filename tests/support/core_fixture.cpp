#include "tests/support/core_fixture.h"

#include "base/hex_text.h"

namespace torvex::testing {

std::vector<std::string> CoreFixture::SentBlocks() const {
    std::vector<std::string> sent;
    for (const auto& request : platform.requests) {
        sent.push_back(HexText(request.cdb, HexDigits::Upper, " "));
    }
    return sent;
}

}  // namespace torvex::testing
