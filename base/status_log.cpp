#include "base/status_log.h"

namespace torvex {

namespace {
std::u16string WithLineEnd(std::u16string_view line) {
    std::u16string text;
    text.reserve(line.size() + 2);
    text.append(line);
    text.append(u"\r\n");
    return text;
}
}  // namespace

void StatusLog::AppendStatusLine(std::u16string_view line) {
    window_.AppendToStatusLog(WithLineEnd(line));
}

void StatusLog::AppendSecondaryLine(std::u16string_view line) {
    window_.AppendToSecondaryLog(WithLineEnd(line));
}

}  // namespace torvex
