#include "cli/headless_window.h"

#include "base/text.h"
#include "cli/interruption.h"

namespace torvex::cli {

int ExitStatusFor(std::optional<RunEnding> ending) {
    if (!ending) return kExitNoEnding;
    switch (*ending) {
        case RunEnding::Success:
        case RunEnding::AlreadyUpdated:
            return 0;
        case RunEnding::Failure:
        case RunEnding::ReplugTimeout:
            return 1;
        case RunEnding::NotSupported:
            return 2;
        case RunEnding::FirmwareRejected:
            break;
    }
    return kExitNoEnding;
}

void HeadlessWindow::AppendToStatusLog(std::u16string_view text) {
    // Each append is one line and its CR LF; the line itself is printed unchanged.
    std::u16string_view line = text;
    if (line.size() >= 2 && line.substr(line.size() - 2) == u"\r\n") line.remove_suffix(2);
    const std::string utf8 = ToUtf8(line);
    std::fwrite(utf8.data(), 1, utf8.size(), log_out_);
    std::fputc('\n', log_out_);
    std::fflush(log_out_);
    last_line_ = utf8;
}

void HeadlessWindow::ReportInterruption(const std::string& signal) {
    // The procedure that was running has finished; if that also finished the update, say so
    // rather than send the operator to update a product that is already done.
    const bool completed = ending_ == RunEnding::Success;
    const std::string text = "torvex-isp-cli: interrupted by " + signal +
                             " while the update wrote the product; the last step done: \"" +
                             last_line_ + "\"; " +
                             (completed ? "the update had completed, run it once more to confirm"
                                        : "the product needs another update") +
                             "\n";
    std::fwrite(text.data(), 1, text.size(), message_out_);
    std::fflush(message_out_);
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
}

void HeadlessWindow::ReportUpdateWriting() {
    SetUpdateWriting(true);
    if (update_writing_) update_writing_();
}

void HeadlessWindow::ReportRunEnding(RunEnding ending) {
    SetUpdateWriting(false);
    if (run_ended_) run_ended_();
    if (!ending_ && ending != RunEnding::FirmwareRejected) ending_ = ending;
}

bool HeadlessWindow::TakePostedClick() {
    if (pending_clicks_ == 0) return false;
    --pending_clicks_;
    return true;
}

}  // namespace torvex::cli
