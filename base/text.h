#pragma once
// Text helpers. All log and message text is UTF-16; the product's names are single bytes that
// widen one to one. Formatting uses fixed formats with numeric arguments only, so nothing a
// device sends is ever used as a format.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace torvex {

// Widens each byte to one UTF-16 unit of the same value.
std::u16string Widen(std::string_view bytes);
std::u16string Widen(std::span<const std::uint8_t> bytes);

// Printf-style formatting of one of the tool's own fixed formats, widened.
std::u16string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// UTF-16 to UTF-8, for the headless runner and diagnostics. Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);

}  // namespace torvex
