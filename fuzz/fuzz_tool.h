#pragma once
// The tool's parts over the fuzz platform, for the targets that call single operations.

#include <memory>

#include "app/tool_parts.h"
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
    FuzzPlatform platform;
    ToolParts parts{window, platform};
    ControllerState& state = parts.state;
    SharedDataBuffer& shared_buffer = parts.shared_buffer;
    EmbeddedImages& images = parts.images;
    ToolContext& context = parts.context;
};

}  // namespace torvex::fuzz
