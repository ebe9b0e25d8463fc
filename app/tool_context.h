#pragma once
// What the handlers of the tool work with: the shared state, the window, the status log, the
// transport to the product, the shared reply buffer and the firmware blocks. The types are only
// named here: each operation includes what it uses. The owner (ToolParts) outlives every call that
// receives it.

namespace torvex {

struct ControllerState;
class WindowPort;
class StatusLog;
class ScsiTransport;
struct SharedDataBuffer;
struct EmbeddedImages;

struct ToolContext {
    ControllerState& state;
    WindowPort& window;
    StatusLog& log;
    ScsiTransport& transport;
    SharedDataBuffer& shared_buffer;
    const EmbeddedImages& images;
};

}  // namespace torvex
