#pragma once
// The service's authority: polkit's CheckAuthorization for kUpdateAction with the client's bus
// name as the subject, asked asynchronously so that one client waiting for a password does not
// hold up the others.

#include <systemd/sd-bus.h>

#include <map>
#include <memory>

#include "device/linux/sd_bus_handles.h"
#include "helper/authority.h"

namespace torvex::helper {

class PolkitAuthority final : public Authority {
  public:
    explicit PolkitAuthority(sd_bus* bus) : bus_(bus) {}

    void Check(const std::string& bus_name, bool interactive, Done done) override;

  private:
    struct Pending {
        PolkitAuthority* owner = nullptr;
        Done done;
        linux_backend::SdBusSlotPtr slot;
    };
    static int OnReply(sd_bus_message* reply, void* userdata, sd_bus_error* error);

    sd_bus* bus_;
    std::map<Pending*, std::unique_ptr<Pending>> pending_;  // dropped with the authority
};

}  // namespace torvex::helper
