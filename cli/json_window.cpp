#include "cli/json_window.h"

#include <algorithm>

#include "base/text.h"

namespace torvex::cli {

std::string_view PictureName(StatusPicture picture) {
    switch (picture) {
        case StatusPicture::Standby:
            return "Standby";
        case StatusPicture::Fail:
            return "Fail";
        case StatusPicture::Pass:
            return "Pass";
        case StatusPicture::Ready:
            return "Ready";
        case StatusPicture::Updating:
            return "Updating";
        case StatusPicture::Complete:
            return "Complete";
    }
    return "?";
}

JsonLine JsonWindow::Event(std::string_view event) const {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
    return std::move(JsonLine().Number("ms", ms.count()).Text("event", event));
}

void JsonWindow::Write(const JsonLine& line) {
    const std::string text = line.Str() + "\n";
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

void JsonWindow::AppendToStatusLog(std::u16string_view text) {
    // The same line the plain output prints: the append's CR LF taken off, nothing else.
    std::u16string_view line = text;
    if (line.size() >= 2 && line.substr(line.size() - 2) == u"\r\n") line.remove_suffix(2);
    Write(Event("log").Text("text", ToUtf8(line)));
}

void JsonWindow::LoadStatusPicture(StatusPicture picture) {
    if (picture_ == picture) return;
    picture_ = picture;
    Write(Event("picture").Text("picture", PictureName(picture)));
}

void JsonWindow::ResetProgress() {
    progress_ = 0;
    Write(Event("progress").Number("position", progress_));
}

void JsonWindow::StepProgress() {
    progress_ = std::min(progress_ + 1, kProgressMaximum);
    Write(Event("progress").Number("position", progress_));
}

void JsonWindow::EnableUpdateButton(bool enabled) {
    HeadlessWindow::EnableUpdateButton(enabled);
    if (button_ == enabled) return;
    button_ = enabled;
    Write(Event("button").Flag("enabled", enabled));
}

void JsonWindow::ShowMessageBox(std::u16string_view text) {
    Write(Event("box").Text("text", ToUtf8(text)));
}

}  // namespace torvex::cli
