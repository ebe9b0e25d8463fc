#pragma once
// One operation's link to the product: the handle it opened by path, and the 16-byte command
// block of the run. Every operation that talks to the product opens it at its start and closes it
// before it returns; no handle lives from one message to the next. The connection closes
// explicitly where the behaviour closes (before a message box, whose nested loop may run other
// handlers that open the product themselves), and its destructor closes whatever is still open.

#include <cstdint>
#include <span>
#include <string_view>

#include "device/device_platform.h"
#include "device/isp_commands.h"
#include "device/scsi_transport.h"

namespace torvex {

inline constexpr std::u16string_view kOpenFailedLine = u"Open USB device failed.";

class ProductConnection {
  public:
    ProductConnection(ScsiTransport& transport, SharedDataBuffer& replies)
        : transport_(transport), replies_(replies) {}
    ~ProductConnection() { Close(); }
    ProductConnection(const ProductConnection&) = delete;
    ProductConnection& operator=(const ProductConnection&) = delete;

    // Opens the disk at `path` exclusively; false when it cannot (nothing is logged).
    bool Open(std::u16string_view path);
    // The open of the queries and checks: a failure is logged ("Open USB device failed.") and
    // the operation goes on without a handle, so that its first command fails in the transport
    // and its ordinary failure path applies.
    void OpenOrReport(std::u16string_view path);
    // Closing twice, or a connection that never opened, does nothing.
    void Close();
    bool IsOpen() const { return handle_ != kInvalidDeviceHandle; }

    // The run's command block: each step writes only its own bytes.
    IspCommandBlock& Block() { return block_; }
    // A new procedure on the same connection starts from a zeroed block.
    void RestartCommandRun() { block_.Restart(); }

    // Sends the run's block, or another command block, with the given data phase; true when the
    // transport delivered it (whatever the SCSI status).
    bool Send(DataPhase data) { return Send(block_.Bytes(), data); }
    bool Send(std::span<const std::uint8_t> cdb, DataPhase data);

    // Where data-in replies land: the process-wide reply buffer.
    SharedDataBuffer& Replies() { return replies_; }
    // The request of the last attempt of the last command.
    const PassThroughResult& LastResult() const { return transport_.LastResult(); }
    bool LastCompletedGood() const { return transport_.LastCompletedGood(); }
    StatusLog& Log() { return transport_.Log(); }

  private:
    ScsiTransport& transport_;
    SharedDataBuffer& replies_;
    DeviceHandle handle_ = kInvalidDeviceHandle;
    IspCommandBlock block_;
};

// Sends ISP_CMD_EXECUTE (the 11-byte FF A0 02 block, no data, direction In); the outcome is not
// used.
void SendIspExecute(ProductConnection& product);

}  // namespace torvex
