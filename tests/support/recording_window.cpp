#include "tests/support/recording_window.h"

#include "base/text.h"

namespace torvex::testing {

void RecordingWindow::AppendToStatusLog(std::u16string_view text) {
    status_log.append(text);
}

void RecordingWindow::LoadStatusPicture(StatusPicture p) {
    picture = p;
    loaded_pictures.push_back(p);
}

void RecordingWindow::StepProgress() {
    ++progress_steps;
    if (progress < kProgressMaximum) ++progress;
}

void RecordingWindow::EnableUpdateButton(bool enabled) {
    update_enabled = enabled;
    update_enabling.push_back(enabled);
}

void RecordingWindow::ShowMessageBox(std::u16string_view text) {
    message_boxes.emplace_back(text);
    if (on_message_box) on_message_box(text);
}

std::vector<std::u16string> RecordingWindow::Lines() const {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = status_log.find(u"\r\n", start);
        if (end == std::u16string::npos) break;
        lines.push_back(status_log.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> RecordingWindow::Utf8Lines() const {
    std::vector<std::string> lines;
    for (const auto& line : Lines()) lines.push_back(ToUtf8(line));
    return lines;
}

}  // namespace torvex::testing
