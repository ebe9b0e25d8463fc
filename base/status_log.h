#pragma once
// The status log: every operation reports by appending one line. A line is exactly the caller's
// text followed by CR LF; nothing is added, trimmed or time-stamped. The window keeps the text;
// an append costs the same whatever the log's length.

#include <string>
#include <string_view>

#include "base/window_port.h"

namespace torvex {

class StatusLog {
  public:
    explicit StatusLog(WindowPort& window) : window_(window) {}

    void AppendStatusLine(std::u16string_view line);
    void AppendSecondaryLine(std::u16string_view line);

  private:
    WindowPort& window_;
};

}  // namespace torvex
