#pragma once
// The helper's object on the system bus (see device/linux/isp_helper_interface.h): each client
// may hold one disk. Claim proves the descriptor is the product, locks it, asks the authority
// once per client connection and keeps a copy of the descriptor; Command checks the block
// against the helper's own table and proves the disk again before it sends; Release, a new
// Claim, or the client leaving the bus drops the disk.

#include <libudev.h>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/linux/product_lock.h"
#include "device/linux/sd_bus_handles.h"
#include "device/linux/udev_handles.h"
#include "helper/authority.h"
#include "helper/descriptor_access.h"
#include "helper/disk_proof.h"

namespace torvex::helper {

class HelperService {
  public:
    HelperService(sd_bus* bus, Authority& authority, DescriptorAccess& access);
    ~HelperService();
    HelperService(const HelperService&) = delete;
    HelperService& operator=(const HelperService&) = delete;

    // Puts the object on the bus; a negative errno when it cannot.
    int Install();
    // No client holds a disk and no claim waits for the authority.
    bool Idle() const;

  private:
    struct Client {
        HelperService* service = nullptr;
        std::string bus_name;
        linux_backend::SdBusTrackPtr track;  // tells when the client leaves the bus
        bool authorized = false;             // for the life of its connection
        int fd = -1;                         // the disk it holds; -1 for none
        ProvenDisk disk;
        // The products' locks taken for it, held until it leaves the bus (as an instance that
        // locks for itself holds them until it ends).
        std::unique_ptr<linux_backend::ProductLocks> locks;
        std::uint64_t claim = 0;  // the claim in progress; an older one's verdict is dropped
    };
    struct PendingClaim;

    static int OnClaim(sd_bus_message* message, void* self, sd_bus_error* error);
    static int OnCommand(sd_bus_message* message, void* self, sd_bus_error* error);
    static int OnRelease(sd_bus_message* message, void* self, sd_bus_error* error);
    static int OnClientGone(sd_bus_track* track, void* client);

    int Claim(sd_bus_message* message, sd_bus_error* error);
    int Command(sd_bus_message* message, sd_bus_error* error);
    void FinishClaim(PendingClaim& pending, const AuthorizationVerdict& verdict);
    Client* ClientOf(const char* bus_name);
    Client* Find(const std::string& bus_name);
    void DropDisk(Client& client, const char* why);
    void Forget(Client& client);

    sd_bus* bus_;
    Authority& authority_;
    DescriptorAccess& access_;
    linux_backend::UdevPtr udev_;
    std::string lock_directory_;
    linux_backend::SdBusSlotPtr object_;
    std::map<std::string, std::unique_ptr<Client>, std::less<>> clients_;
    int waiting_claims_ = 0;
    // Calls whose refused descriptor could not be made safe to close: kept, never closed.
    std::vector<linux_backend::SdBusMessagePtr> set_aside_;
    // Cleared by the destructor, so that a verdict that comes after it finds no service.
    std::shared_ptr<HelperService*> alive_;
};

}  // namespace torvex::helper
