#pragma once
// The main window's behaviour without any toolkit: it owns the tool's parts and offers the entry
// points the window forwards to. The Qt dialog, the Windows dialog, the headless runner and the
// tests drive the tool only through these.

#include <cstdint>

#include "app/tool_parts.h"
#include "base/window_port.h"
#include "device/device_platform.h"
#include "firmware/embedded_images.h"

namespace torvex {

class DialogCore {
  public:
    DialogCore(WindowPort& window, DevicePlatform& platform, const FirmwareBlockStore& blocks);
    DialogCore(const DialogCore&) = delete;
    DialogCore& operator=(const DialogCore&) = delete;

    // Start-up after the window's controls exist: Standby picture, Update F/W disabled, first
    // discovery, the firmware blocks. Returns false when a block is missing ("findresource"):
    // the window then keeps its full size, leaves TEST, Clear and the log enabled and sets no
    // timer. On true the window disables those three, cuts itself to its top band and starts
    // the one-second timer, in that order.
    bool OnInitDialog();

    // The one-second tick.
    void OnReplugTimer();
    // A click of Update F/W, the operator's or a posted one.
    void OnUpdateFw();
    // A device change; only arrival (0x8000) and complete removal (0x8004) count.
    void OnDeviceChange(std::uint32_t event_type);
    // The Browse file dialog closed; accepted: the operator chose a file.
    void OnBrowseClosed(bool accepted);
    // TEST shows the Updating picture.
    void OnTest();

    // Before start-up, on real devices with a build that carries sample firmware: start-up says
    // so in the log's first line, and every Update F/W ends without writing anything.
    void RefuseWritingSampleFirmware();

    ControllerState& State() { return parts_.state; }
    const ControllerState& State() const { return parts_.state; }
    ToolContext& Context() { return parts_.context; }
    ScsiTransport& Transport() { return parts_.transport; }
    const EmbeddedImages& Images() const { return parts_.images; }

  private:
    const FirmwareBlockStore& blocks_;
    ToolParts parts_;
};

}  // namespace torvex
