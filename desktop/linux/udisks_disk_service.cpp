#include "desktop/linux/udisks_disk_service.h"

#include "desktop/linux/system_bus.h"

namespace torvex::desktop {
namespace {

constexpr char kService[] = "org.freedesktop.UDisks2";
// Unmounting writes back what is cached and may wait for the operator's password.
constexpr std::uint64_t kUnmountTimeoutUs = 120'000'000;

// The block object udisks2 keeps for `devnode`; empty when there is none (then `failure` says
// why).
std::string BlockObject(sd_bus* bus, const std::string& devnode, std::string& failure) {
    MessagePtr call = NewCall(bus,
                              {kService, "/org/freedesktop/UDisks2/Manager",
                               "org.freedesktop.UDisks2.Manager", "ResolveDevice"},
                              failure);
    if (!call) return {};
    if (const int result =
            sd_bus_message_append(call.get(), "a{sv}a{sv}", 1, "path", "s", devnode.c_str(), 0);
        result < 0) {
        failure = linux_backend::SdBusErrnoText(result);
        return {};
    }
    MessagePtr reply = Call(bus, call.get(), 0, failure);
    if (!reply) return {};
    const char* object = nullptr;
    if (sd_bus_message_enter_container(reply.get(), 'a', "o") < 0 ||
        sd_bus_message_read(reply.get(), "o", &object) <= 0 || object == nullptr) {
        failure = "udisks2 does not know " + devnode;
        return {};
    }
    return object;
}

}  // namespace

std::string UDisksDiskService::Unmount(const std::string& devnode) {
    BusOpening opening = OpenBus(address_);
    if (!opening.bus) return opening.failure;
    sd_bus* bus = opening.bus.get();
    std::string failure;
    const std::string object = BlockObject(bus, devnode, failure);
    if (object.empty()) return failure;
    MessagePtr call = NewCall(
        bus, {kService, object.c_str(), "org.freedesktop.UDisks2.Filesystem", "Unmount"}, failure);
    if (!call) return failure;
    if (const int result = sd_bus_message_append(call.get(), "a{sv}", 0); result < 0)
        return linux_backend::SdBusErrnoText(result);
    if (!Call(bus, call.get(), kUnmountTimeoutUs, failure)) return failure;
    return {};
}

}  // namespace torvex::desktop
