#include "helper/service_loop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/linux/isp_helper_interface.h"
#include "helper/helper_service.h"

namespace torvex::helper {
namespace {

using Clock = std::chrono::steady_clock;

bool Disconnected(int error_number) {
    return error_number == -ECONNRESET || error_number == -ENOTCONN || error_number == -EPIPE;
}

// Handles messages until the service has been idle for `idle_exit` (never when 0); false when
// the bus failed.
bool Serve(sd_bus* bus, const HelperService& service, std::chrono::seconds idle_exit) {
    Clock::time_point idle_since = Clock::now();
    for (;;) {
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0) {
            if (Disconnected(processed)) return true;
            std::fprintf(stderr, "torvex-isp-helper: bus failed: %s\n", std::strerror(-processed));
            return false;
        }
        const Clock::time_point now = Clock::now();
        if (processed > 0 || !service.Idle()) {
            idle_since = now;
            if (processed > 0) continue;
        }
        std::uint64_t wait = UINT64_MAX;
        if (idle_exit.count() > 0 && service.Idle()) {
            const auto left = idle_since + idle_exit - now;
            if (left <= Clock::duration::zero()) return true;
            wait = static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(left).count());
        }
        const int waited = sd_bus_wait(bus, wait);
        if (waited < 0 && waited != -EINTR) {
            if (Disconnected(waited)) return true;
            std::fprintf(stderr, "torvex-isp-helper: bus failed: %s\n", std::strerror(-waited));
            return false;
        }
    }
}

}  // namespace

int RunHelperService(sd_bus* bus, Authority& authority, DescriptorAccess& access,
                     const ServiceOptions& options) {
    HelperService service(bus, authority, access);
    if (const int result = service.Install(); result < 0) {
        std::fprintf(stderr, "torvex-isp-helper: cannot put its object on the bus: %s\n",
                     std::strerror(-result));
        return 1;
    }
    if (const int result = sd_bus_request_name(bus, linux_backend::kHelperBusName, 0); result < 0) {
        std::fprintf(stderr, "torvex-isp-helper: cannot own %s: %s\n",
                     linux_backend::kHelperBusName, std::strerror(-result));
        return 1;
    }
    if (options.on_ready) options.on_ready();
    if (!Serve(bus, service, options.idle_exit)) return 1;
    // Calls that reached the bus before the name was given up are still answered; any later call
    // starts a new helper. A client that claimed meanwhile keeps this one until it is done.
    sd_bus_release_name(bus, linux_backend::kHelperBusName);
    if (!Serve(bus, service, std::chrono::seconds(1))) return 1;
    sd_bus_flush(bus);
    return 0;
}

}  // namespace torvex::helper
