#pragma once
// A tool context over a recording window, a scripted platform and patterned firmware blocks, for
// unit tests of single operations.

#include <string>
#include <vector>

#include "app/controller_state.h"
#include "app/status_log.h"
#include "app/tool_context.h"
#include "device/isp_commands.h"
#include "device/scsi_transport.h"
#include "programming/embedded_images.h"
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

    MemoryFirmwareBlocks blocks;
    RecordingWindow window;
    StatusLog log{window};
    ScriptedPlatform platform;
    ScsiTransport transport{log, platform};
    SharedDataBuffer shared_buffer;
    EmbeddedImages images;
    ControllerState state;
    ToolContext context{state, window, log, transport, shared_buffer, images};
};

}  // namespace torvex::testing
