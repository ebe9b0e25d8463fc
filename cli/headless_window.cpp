#include "cli/headless_window.h"

#include "app/text.h"
#include "app/user_messages.h"

namespace torvex::cli {

int ExitStatusFor(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Success:
        case RunOutcome::AlreadyUpdated:
            return 0;
        case RunOutcome::Failure:
            return 1;
        case RunOutcome::NotSupported:
            return 2;
        case RunOutcome::None:
            break;
    }
    return 3;
}

void HeadlessWindow::AppendToStatusLog(std::u16string_view text) {
    // Each append is one line and its CR LF; the line itself is printed unchanged.
    std::u16string_view line = text;
    if (line.size() >= 2 && line.substr(line.size() - 2) == u"\r\n") line.remove_suffix(2);
    const std::string utf8 = ToUtf8(line);
    std::fwrite(utf8.data(), 1, utf8.size(), log_out_);
    std::fputc('\n', log_out_);
    std::fflush(log_out_);
    if (line == kUpdateCompleteLine && outcome_ == RunOutcome::None) outcome_ = RunOutcome::Success;
}

void HeadlessWindow::EnableUpdateButton(bool enabled) {
    if (enabled && !clicked_once_) {
        clicked_once_ = true;
        ++pending_clicks_;
    }
}

void HeadlessWindow::ShowMessageBox(std::u16string_view text) {
    const std::string utf8 = ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), message_out_);
    std::fputc('\n', message_out_);
    std::fflush(message_out_);
    if (outcome_ != RunOutcome::None) return;
    if (text == kReconnectMessage)
        outcome_ = RunOutcome::Failure;
    else if (text == kNotSupportedMessage)
        outcome_ = RunOutcome::NotSupported;
    else if (text == kAlreadyUpdatedMessage)
        outcome_ = RunOutcome::AlreadyUpdated;
}

bool HeadlessWindow::TakePostedClick() {
    if (pending_clicks_ == 0) return false;
    --pending_clicks_;
    return true;
}

}  // namespace torvex::cli
