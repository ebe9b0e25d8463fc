#pragma once
// The parts every handler of the tool works with, owned in one place: the controller state, the
// status log over the window, the transport to the platform, the shared reply buffer and the
// firmware blocks, and the context that hands them on. DialogCore, the tests and the fuzz
// targets all build the tool from it.

#include "app/controller_state.h"
#include "app/tool_context.h"
#include "base/status_log.h"
#include "base/window_port.h"
#include "device/device_platform.h"
#include "device/isp_commands.h"
#include "device/scsi_transport.h"
#include "firmware/embedded_images.h"

namespace torvex {

struct ToolParts {
    ToolParts(WindowPort& window_port, DevicePlatform& platform)
        : window(window_port), log(window_port), transport(log, platform) {}
    ToolParts(const ToolParts&) = delete;
    ToolParts& operator=(const ToolParts&) = delete;

    WindowPort& window;
    ControllerState state;
    StatusLog log;
    ScsiTransport transport;
    SharedDataBuffer shared_buffer;
    EmbeddedImages images;
    ToolContext context{state, window, log, transport, shared_buffer, images};
};

}  // namespace torvex
