#pragma once
// What every handler and operation of the tool works with: the shared state, the window, the
// status log, the transport to the product, the shared reply buffer and the firmware blocks.
// The owner (DialogCore) outlives every call that receives it.

#include "app/controller_state.h"
#include "app/status_log.h"
#include "app/window_port.h"
#include "device/device_platform.h"
#include "device/isp_commands.h"
#include "device/scsi_transport.h"
#include "programming/embedded_images.h"

namespace torvex {

struct ToolContext {
    ControllerState& state;
    WindowPort& window;
    StatusLog& log;
    ScsiTransport& transport;
    SharedDataBuffer& shared_buffer;
    const EmbeddedImages& images;

    DevicePlatform& platform() { return transport.Platform(); }
};

}  // namespace torvex
