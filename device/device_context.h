#pragma once
// What the device operations work with: the status log they report to, the transport to the
// platform and the shared reply buffer. They report what they found to their caller and keep no
// state of their own.

#include <string_view>

namespace torvex {

class StatusLog;
class ScsiTransport;
struct SharedDataBuffer;

struct DeviceContext {
    StatusLog& log;
    ScsiTransport& transport;
    SharedDataBuffer& shared_buffer;
};

// The product discovery opened last: the path every later open takes, and the parent instance id
// that open must find there again.
struct ProductAddress {
    std::u16string_view path;
    std::u16string_view identity;
};

}  // namespace torvex
