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

// Text that came from a device or the system (a serial number, a firmware name, a mount point),
// made safe to show in the log or on a terminal: each C0 control character and DEL becomes
// U+FFFD, so that no such text can move the cursor, end a line or start an escape sequence.
std::u16string ShownSafely(std::u16string_view text);

// UTF-8 (the system's messages, paths) to UTF-16. Malformed sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

// UTF-16 to UTF-8, for the headless runner and diagnostics. Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);

}  // namespace torvex
