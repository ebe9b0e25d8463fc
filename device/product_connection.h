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
#include "device/vendor_commands.h"

namespace torvex {

inline constexpr std::u16string_view kOpenFailedLine = u"Open USB device failed.";
// Starts the line that follows a failed open and says why.
inline constexpr std::u16string_view kOpenFailureReasonPrefix = u"Reason: ";

class ProductConnection {
  public:
    ProductConnection(ScsiTransport& transport, SharedDataBuffer& replies)
        : transport_(transport), replies_(replies) {}
    ~ProductConnection() { Close(); }
    ProductConnection(const ProductConnection&) = delete;
    ProductConnection& operator=(const ProductConnection&) = delete;

    // Opens the disk at `path` exclusively and, when `identity` is given, proves that the disk
    // behind the handle is that product (its parent USB instance id); false when it cannot.
    // Nothing is logged; FailureReason() then says why.
    bool Open(std::u16string_view path, std::u16string_view identity = {});
    // The open of the queries and checks: a failure is logged ("Open USB device failed." and the
    // reason in a line of its own); true when the product is open.
    bool OpenOrReport(std::u16string_view path, std::u16string_view identity);
    // Why the last open failed, in the system's words, made safe to show; empty after a success.
    const std::u16string& FailureReason() const { return failure_reason_; }
    // Logs the reason of the last failed open, in one line.
    void LogFailureReason();
    // Closing twice, or a connection that never opened, does nothing.
    void Close();
    bool IsOpen() const { return handle_ != kInvalidDeviceHandle; }

    // The run's command block: each step writes only its own bytes.
    IspCommandBlock& Block() { return block_; }
    // A new procedure on the same connection starts from a zeroed block.
    void RestartCommandRun() { block_.Restart(); }

    // Sends a request made by one of the vendor command builders; true when the transport
    // delivered it (whatever the SCSI status).
    bool Send(const VendorRequest& request);

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
    std::u16string failure_reason_;
};

// Sends ISP_CMD_EXECUTE (the 11-byte FF A0 02 block, no data, direction In); the outcome is not
// used.
void SendIspExecute(ProductConnection& product);

}  // namespace torvex
