#pragma once
// One version check's time with the product: it opens the product by DevicePath when it starts,
// and when it ends it closes the product and drops an armed automatic restart. A check ends
// explicitly where it must be settled before a message box; otherwise it ends when it returns.
//
// A product that cannot be opened is no firmware verdict: the failure and its reason are logged,
// the check sends nothing and leaves the classes as they are (Unchecked), and the next tick tries
// again. (Classing it Antique or No_Code would send ISP_CMD_EXECUTE and rewrite EF64 whatever its
// version.)

#include "base/tool_context.h"
#include "device/product_connection.h"

namespace torvex {

class CheckSession {
  public:
    explicit CheckSession(ToolContext& context);
    ~CheckSession() { End(); }
    CheckSession(const CheckSession&) = delete;
    CheckSession& operator=(const CheckSession&) = delete;

    // False when the product could not be opened: the check must end without a verdict.
    bool Opened() const { return opened_; }
    ProductConnection& Product() { return product_; }
    // Closes the product and clears AutoRestart, once.
    void End();

  private:
    ToolContext& context_;
    ProductConnection product_;
    bool opened_ = false;
    bool ended_ = false;
};

}  // namespace torvex
