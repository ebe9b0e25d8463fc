#pragma once
// The helper's object on the system bus (see device/linux/isp_helper_interface.h): each client
// may hold one disk. Claim proves the descriptor is the product, locks it, asks the authority
// once per client connection and keeps a copy of the descriptor; Command checks the block
// against the helper's own table and proves the disk again before it sends; Release, a new
// Claim, or the client leaving the bus drops the disk, or cancels a claim that still waits for
// the authority. Each held disk's commands run on a worker thread of their own (disk_worker.h);
// the loop that calls this object only dispatches and answers.

#include <libudev.h>
#include <systemd/sd-bus.h>

#include <chrono>
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
#include "helper/disk_worker.h"

namespace torvex::helper {

struct ServiceLimits {
    // How long a command may take before the client hears OutcomeUnknown; zero: the SG_IO
    // time-out plus kHelperCommandGraceSeconds.
    std::chrono::milliseconds command{0};
    // Authority checks that may wait at one time, over all clients (one per client).
    int waiting_checks = 8;
};

class HelperService {
  public:
    using Clock = std::chrono::steady_clock;

    HelperService(sd_bus* bus, Authority& authority, DescriptorAccess& access,
                  ServiceLimits limits = {});
    ~HelperService();
    HelperService(const HelperService&) = delete;
    HelperService& operator=(const HelperService&) = delete;

    // Puts the object on the bus; a negative errno when it cannot.
    int Install();
    // No client holds a disk, no claim waits for the authority and no command is under way.
    bool Idle() const;

    // Readable when a worker has finished a command: then Collect() answers it.
    int CompletionDescriptor() const { return completions_->Descriptor(); }
    void Collect();
    // The earliest time a command's answer is due; nullopt when none is under way.
    std::optional<Clock::time_point> NextDeadline() const;
    // Answers OutcomeUnknown to each command whose time is up.
    void AnswerOverdue(Clock::time_point now);
    // A command has been handed to a worker and not answered yet.
    bool Answering() const;
    // From now on every claim and command is answered with Leaving; a command under way still
    // gets its real answer.
    void Leave() { leaving_ = true; }

  private:
    struct PendingClaim;
    struct Client {
        HelperService* service = nullptr;
        std::string bus_name;
        linux_backend::SdBusTrackPtr track;  // tells when the client leaves the bus
        bool authorized = false;             // for the life of its connection
        int fd = -1;                         // the disk it holds (the worker's); -1 for none
        ProvenDisk disk;
        std::unique_ptr<DiskWorker> worker;     // owns fd
        std::shared_ptr<PendingClaim> waiting;  // the claim that waits for the verdict
        bool checking = false;                  // the authority has been asked
        // The products' locks taken for it, held until it leaves the bus (as an instance that
        // locks for itself holds them until it ends).
        std::unique_ptr<linux_backend::ProductLocks> locks;
    };
    struct Answer {  // a command handed to a worker
        linux_backend::SdBusMessagePtr message;
        std::string bus_name;
        DiskWorker* worker = nullptr;
        Clock::time_point due;
        bool answered = false;
    };

    static int OnClaim(sd_bus_message* message, void* self, sd_bus_error* error);
    static int OnCommand(sd_bus_message* message, void* self, sd_bus_error* error);
    static int OnRelease(sd_bus_message* message, void* self, sd_bus_error* error);
    static int OnClientGone(sd_bus_track* track, void* client);

    int Claim(sd_bus_message* message, sd_bus_error* error);
    int Command(sd_bus_message* message, sd_bus_error* error);
    void OnVerdict(const std::string& bus_name, const AuthorizationVerdict& verdict);
    void Grant(Client& client, PendingClaim& pending);
    void CancelWaiting(Client& client, const char* why);
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
    ServiceLimits limits_;
    std::map<std::string, std::unique_ptr<Client>, std::less<>> clients_;
    int waiting_checks_ = 0;
    std::shared_ptr<CompletionQueue> completions_;
    std::map<std::uint64_t, Answer> answers_;
    std::uint64_t next_job_ = 0;
    // Workers of disks let go while a command was under way, until it ends.
    std::map<DiskWorker*, std::unique_ptr<DiskWorker>> retired_;
    bool leaving_ = false;
    // Calls whose refused descriptor could not be made safe to close: kept, never closed.
    std::vector<linux_backend::SdBusMessagePtr> set_aside_;
    // Cleared by the destructor, so that a verdict that comes after it finds no service.
    std::shared_ptr<HelperService*> alive_;
};

}  // namespace torvex::helper
