#pragma once
// The tool's parts over a recording window, a scripted platform and patterned firmware blocks,
// for unit tests of single operations.

#include <string>
#include <vector>

#include "app/tool_parts.h"
#include "device/product_connection.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_platform.h"

namespace torvex::testing {

struct CoreFixture {
    CoreFixture() : blocks(MemoryFirmwareBlocks::Patterned()) {
        LoadEmbeddedImages(blocks, window, images);
    }

    // The CDBs sent so far, as hex strings "FF 52 00 ...".
    std::vector<std::string> SentBlocks() const;

    // The product connection opened on the scripted platform, for tests of one procedure or query.
    ProductConnection& OpenProduct() {
        product.Open(u"/dev/sdx");
        return product;
    }

    MemoryFirmwareBlocks blocks;
    RecordingWindow window;
    ScriptedPlatform platform;
    ToolParts parts{window, platform};
    // Short names for the parts.
    ControllerState& state = parts.state;
    StatusLog& log = parts.log;
    ScsiTransport& transport = parts.transport;
    SharedDataBuffer& shared_buffer = parts.shared_buffer;
    EmbeddedImages& images = parts.images;
    ToolContext& context = parts.context;
    ProductConnection product{transport, shared_buffer};
};

}  // namespace torvex::testing
