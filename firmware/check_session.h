#pragma once
// One version check's time with the product: it opens the product by DevicePath when it starts
// (a failed open is logged and the check goes on, so that its first command fails and the
// ordinary failure path applies), and when it ends it closes the product and drops an armed
// automatic restart. A check ends explicitly where it must be settled before a message box;
// otherwise it ends when it returns.

#include "base/tool_context.h"
#include "device/product_connection.h"

namespace torvex {

class CheckSession {
  public:
    explicit CheckSession(ToolContext& context);
    ~CheckSession() { End(); }
    CheckSession(const CheckSession&) = delete;
    CheckSession& operator=(const CheckSession&) = delete;

    ProductConnection& Product() { return product_; }
    // Closes the product and clears AutoRestart, once.
    void End();

  private:
    ToolContext& context_;
    ProductConnection product_;
    bool ended_ = false;
};

}  // namespace torvex
