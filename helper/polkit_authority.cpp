#include "helper/polkit_authority.h"

#include <cstdint>
#include <cstring>

#include "device/linux/isp_helper_interface.h"

namespace torvex::helper {
namespace {

constexpr std::uint32_t kAllowUserInteraction = 1;
// An administrator's password may take a while to type.
constexpr std::uint64_t kPolkitTimeoutMicroseconds =
    std::uint64_t{linux_backend::kHelperAuthorizationSeconds} * 1000000;

// CheckAuthorization(subject (sa{sv}), action_id s, details a{ss}, flags u, cancellation_id s)
int AppendQuestion(sd_bus_message* message, const std::string& bus_name, bool interactive) {
    int result = sd_bus_message_append(message, "(sa{sv})", "system-bus-name", 1, "name", "s",
                                       bus_name.c_str());
    if (result >= 0) result = sd_bus_message_append(message, "s", kUpdateAction);
    if (result >= 0) result = sd_bus_message_append(message, "a{ss}", 0);
    if (result >= 0)
        result = sd_bus_message_append(message, "us", interactive ? kAllowUserInteraction : 0u, "");
    return result;
}

}  // namespace

void PolkitAuthority::Check(const std::string& bus_name, bool interactive, Done done) {
    sd_bus_message* raw = nullptr;
    int result = sd_bus_message_new_method_call(
        bus_, &raw, "org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
        "org.freedesktop.PolicyKit1.Authority", "CheckAuthorization");
    linux_backend::SdBusMessagePtr message(raw);
    if (result >= 0) result = AppendQuestion(raw, bus_name, interactive);
    auto pending = std::make_unique<Pending>();
    pending->owner = this;
    pending->done = std::move(done);
    sd_bus_slot* slot = nullptr;
    if (result >= 0)
        result = sd_bus_call_async(bus_, &slot, raw, &PolkitAuthority::OnReply, pending.get(),
                                   kPolkitTimeoutMicroseconds);
    if (result < 0) {
        pending->done({false, std::string("cannot ask polkit: ") + std::strerror(-result)});
        return;
    }
    pending->slot.reset(slot);
    Pending* key = pending.get();
    pending_.emplace(key, std::move(pending));
}

int PolkitAuthority::OnReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* pending = static_cast<Pending*>(userdata);
    PolkitAuthority* owner = pending->owner;
    // Taken out of the table first: the verdict's handler may ask again.
    std::unique_ptr<Pending> taken = std::move(owner->pending_.at(pending));
    owner->pending_.erase(pending);
    AuthorizationVerdict verdict;
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    int authorized = 0;
    int challenge = 0;
    if (error != nullptr) {
        verdict.reason =
            "polkit could not be asked: " + linux_backend::DescribeSdBusError(*error, 0);
    } else if (sd_bus_message_enter_container(reply, 'r', "bba{ss}") < 0 ||
               sd_bus_message_read(reply, "bb", &authorized, &challenge) < 0) {
        verdict.reason = "polkit gave an answer that cannot be read";
    } else {
        verdict.authorized = authorized != 0;
        if (!verdict.authorized)
            verdict.reason = std::string("polkit did not authorize ") + kUpdateAction +
                             (challenge ? " (authentication is needed and was not given)" : "");
    }
    taken->done(verdict);
    return 0;
}

}  // namespace torvex::helper
