#pragma once
// What the fuzz targets share: a reader that hands out the fuzz input piece by piece (zeros once
// it runs out), a window that keeps the status log as lines, firmware blocks of the sizes the
// tool needs, and the check that stops a run loudly when an invariant breaks.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/window_port.h"
#include "firmware/embedded_images.h"

namespace torvex::fuzz {

inline void Require(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

// Reads the input front to back; past its end every read yields zero bytes.
class FuzzBytes {
  public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    bool Bool() { return (Byte() & 1u) != 0; }
    std::uint16_t U16() {
        const unsigned high = Byte();
        return static_cast<std::uint16_t>((high << 8) | Byte());
    }
    // Up to `count` bytes, fewer when the input runs out.
    std::span<const std::uint8_t> Take(std::size_t count) {
        const std::size_t n = std::min(count, size_ - std::min(at_, size_));
        const std::span<const std::uint8_t> taken(data_ + std::min(at_, size_), n);
        at_ += n;
        return taken;
    }
    // A length (two bytes, up to max_units), then that many UTF-16 units of two bytes each.
    std::u16string Text16(std::size_t max_units) {
        const std::size_t units = U16() % (max_units + 1);
        std::u16string text;
        for (std::size_t i = 0; i < units && !Empty(); ++i)
            text.push_back(static_cast<char16_t>(U16()));
        return text;
    }
    // A length byte, then that many bytes as text (NUL bytes included).
    std::string Text8() {
        const std::span<const std::uint8_t> bytes = Take(Byte());
        return std::string(bytes.begin(), bytes.end());
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A window that keeps the status log as lines and counts what the logic asked of it.
class LineWindow : public WindowPort {
  public:
    void AppendToStatusLog(std::u16string_view text) override {
        Require(text.size() >= 2 && text.substr(text.size() - 2) == u"\r\n",
                "every status line ends in CR LF");
        lines.emplace_back(text.substr(0, text.size() - 2));
        if (on_line) on_line(lines.back());
    }
    void AppendToSecondaryLog(std::u16string_view) override {}
    void LoadStatusPicture(StatusPicture) override {}
    void InvalidateStatusPicture() override {}
    void ForceRepaint() override {}
    void ResetProgress() override { progress = 0; }
    void StepProgress() override {
        if (progress < kProgressMaximum) ++progress;
    }
    void EnableUpdateButton(bool enabled) override { update_enabled = enabled; }
    void ShowMessageBox(std::u16string_view text) override {
        boxes.emplace_back(text);
        if (on_message_box) on_message_box(text);
    }
    void PostUpdateClick() override { ++posted_clicks; }
    void ClearFirmwarePath() override {}
    void ReportUpdateWriting() override {}
    void ReportRunEnding(RunEnding ending) override { endings.push_back(ending); }

    std::vector<std::u16string> lines;
    std::vector<RunEnding> endings;
    std::vector<std::u16string> boxes;
    int progress = 0;
    bool update_enabled = false;
    int posted_clicks = 0;
    std::function<void(std::u16string_view)> on_message_box;
    std::function<void(std::u16string_view)> on_line;
};

// Every block the tool carries, at its required size, filled with a pattern.
class PatternedBlocks : public FirmwareBlockStore {
  public:
    PatternedBlocks() {
        for (std::uint16_t id : kFirmwareBlockLoadOrder) {
            std::vector<std::uint8_t> bytes(RequiredFirmwareBlockSize(id));
            for (std::size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<std::uint8_t>((id + i * 7) & 0xFF);
            blocks_[id] = std::move(bytes);
        }
    }
    Block Find(std::uint16_t id) const override {
        const auto it = blocks_.find(id);
        if (it == blocks_.end()) return {};
        return {Lookup::Found, std::span<const std::uint8_t>(it->second)};
    }

  private:
    std::map<std::uint16_t, std::vector<std::uint8_t>> blocks_;
};

}  // namespace torvex::fuzz
