#pragma once
// The parts of the tool one operation runs with (state, window, log, transport, reply buffer,
// firmware blocks) over the fuzz platform, for the targets that call single operations.

#include <memory>

#include "app/tool_context.h"
#include "fuzz/fuzz_platform.h"

namespace torvex::fuzz {

inline const PatternedBlocks& Blocks() {
    static const PatternedBlocks blocks;
    return blocks;
}

struct FuzzTool {
    explicit FuzzTool(FuzzBytes& in) : platform(in) {
        LoadEmbeddedImages(Blocks(), window, images);
    }

    // Every handle the operation opened is closed again, and only once.
    void RequireHandlesBalanced() const {
        Require(platform.OpenHandles() == 0, "every opened handle is closed");
        Require(platform.bad_closes == 0, "no handle is closed twice or unopened");
    }

    LineWindow window;
    StatusLog log{window};
    FuzzPlatform platform;
    ScsiTransport transport{log, platform};
    SharedDataBuffer shared_buffer;
    EmbeddedImages images;
    ControllerState state;
    ToolContext context{state, window, log, transport, shared_buffer, images};
};

}  // namespace torvex::fuzz
