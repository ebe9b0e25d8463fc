#pragma once
// What the two programming procedures share: one command block for the whole run (zeroed when
// the run starts), and the rule that a program or
// checksum command fails when the product completes it with any status but GOOD (a rejected
// checksum must never pass).

#include <cstdint>
#include <span>
#include <string_view>

#include "base/window_port.h"
#include "device/product_connection.h"

namespace torvex {

inline constexpr std::u16string_view kStepFailLine = u"FAIL.";
inline constexpr std::u16string_view kSelectAesKeyLine = u"Select AES Key";

class ProcedureRun {
  public:
    ProcedureRun(ProductConnection& product, WindowPort& window)
        : product_(product), window_(window) {
        product_.RestartCommandRun();
    }

    IspCommandBlock& Block() { return product_.Block(); }
    void Log(std::u16string_view line) { product_.Log().AppendStatusLine(line); }
    void StepProgress() { window_.StepProgress(); }
    // Logs the failure line of a step; the procedure then returns this result.
    int Fail() {
        Log(kStepFailLine);
        return 0;
    }

    SharedDataBuffer& Replies() { return product_.Replies(); }
    // Sends a request made by one of the vendor command builders; true when it was delivered.
    bool Send(const VendorRequest& request) { return product_.Send(request); }

    // For program and checksum commands: the request was carried and the product answered GOOD.
    // A completed request with another status is reported in one line of its own.
    bool AcceptedByProduct(bool sent);

  private:
    ProductConnection& product_;
    WindowPort& window_;
};

}  // namespace torvex
