#include "helper/helper_service.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <span>
#include <system_error>
#include <vector>

#include "device/linux/isp_helper_interface.h"
#include "device/linux/linux_device_platform.h"
#include "device/transport_error_names.h"
#include "helper/command_table.h"

namespace torvex::helper {
namespace {

using linux_backend::kHelperErrorCommandRefused;
using linux_backend::kHelperErrorDiskChanged;
using linux_backend::kHelperErrorInUse;
using linux_backend::kHelperErrorLeaving;
using linux_backend::kHelperErrorNotAuthorized;
using linux_backend::kHelperErrorNotClaimed;
using linux_backend::kHelperErrorNotProduct;
using linux_backend::kHelperErrorOutcomeUnknown;

constexpr const char* kLeavingText = "torvex-isp-helper is stopping and takes no more work";

void Log(const std::string& client, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", client.c_str(), text.c_str());
}

int Refuse(sd_bus_error* error, const char* name, const std::string& client,
           const std::string& why) {
    Log(client, std::string("refused: ") + why);
    return sd_bus_error_set(error, name, why.c_str());
}

std::string DiskName(const ProvenDisk& disk) {
    // The USB identity without the serial, which is the device's own text.
    return disk.sysname + " (" + disk.parent_device_id.substr(0, 21) + ")";
}

}  // namespace

// A claim whose descriptor is proven and waits for the authority's verdict.
struct HelperService::PendingClaim {
    linux_backend::SdBusMessagePtr message;
    int fd = -1;  // owned until the verdict hands it on
    ProvenDisk disk;
    bool took_lock = false;  // the product's lock was taken for this claim

    ~PendingClaim() {
        if (fd >= 0) close(fd);
    }
};

HelperService::HelperService(sd_bus* bus, Authority& authority, DescriptorAccess& access,
                             ServiceLimits limits)
    : bus_(bus),
      authority_(authority),
      access_(access),
      udev_(udev_new()),
      lock_directory_(linux_backend::LinuxPlatformOptions::DefaultLockDirectory()),
      limits_(limits),
      completions_(std::make_shared<CompletionQueue>()),
      alive_(std::make_shared<HelperService*>(this)) {}

HelperService::~HelperService() {
    *alive_ = nullptr;
}

int HelperService::Install() {
    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Claim", "h", "", &HelperService::OnClaim, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Command", "ayyuay", "bysayays", &HelperService::OnCommand,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Release", "", "", &HelperService::OnRelease, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};
    sd_bus_slot* slot = nullptr;
    const int result = sd_bus_add_object_vtable(bus_, &slot, linux_backend::kHelperObjectPath,
                                                linux_backend::kHelperInterface, kVtable, this);
    object_.reset(slot);
    return result;
}

bool HelperService::Idle() const {
    if (!answers_.empty() || !retired_.empty()) return false;
    // A client between its product's codes holds no disk but still holds the product's lock:
    // leaving would hand the product to another instance mid-update.
    for (const auto& [name, client] : clients_)
        if (client->fd >= 0 || client->waiting || (client->locks && client->locks->HoldsAny()))
            return false;
    return true;
}

HelperService::Client* HelperService::Find(const std::string& bus_name) {
    const auto found = clients_.find(bus_name);
    return found == clients_.end() ? nullptr : found->second.get();
}

HelperService::Client* HelperService::ClientOf(const char* bus_name) {
    if (bus_name == nullptr) return nullptr;
    if (Client* known = Find(bus_name)) return known;
    auto client = std::make_unique<Client>();
    client->service = this;
    client->bus_name = bus_name;
    sd_bus_track* track = nullptr;
    // The tracker watches NameOwnerChanged for the client's unique name; a client that has
    // already left is not taken on.
    if (sd_bus_track_new(bus_, &track, &HelperService::OnClientGone, client.get()) < 0)
        return nullptr;
    client->track.reset(track);
    if (sd_bus_track_add_name(track, bus_name) < 0) return nullptr;
    Client* added = client.get();
    clients_.emplace(bus_name, std::move(client));
    return added;
}

void HelperService::DropDisk(Client& client, const char* why) {
    if (client.fd < 0) return;
    client.fd = -1;
    // The worker closes the descriptor; one whose command is under way does so when it ends.
    if (client.worker->Busy()) {
        DiskWorker* worker = client.worker.get();
        retired_.emplace(worker, std::move(client.worker));
    }
    client.worker.reset();
    Log(client.bus_name, std::string("dropped ") + DiskName(client.disk) + ": " + why);
}

void HelperService::CancelWaiting(Client& client, const char* why) {
    if (!client.waiting) return;
    const std::shared_ptr<PendingClaim> pending = std::move(client.waiting);
    close(pending->fd);  // before the client hears of it
    pending->fd = -1;
    if (pending->took_lock && client.locks) client.locks->Release(pending->disk.port_path);
    Log(client.bus_name,
        std::string("cancelled the claim of ") + DiskName(pending->disk) + ": " + why);
    sd_bus_reply_method_errorf(pending->message.get(), kHelperErrorNotClaimed, "%s", why);
    pending->message.reset();
}

void HelperService::Forget(Client& client) {
    DropDisk(client, "the client left the bus");
    CancelWaiting(client, "the client left the bus");
    clients_.erase(client.bus_name);
}

int HelperService::OnClientGone(sd_bus_track*, void* client) {
    auto* gone = static_cast<Client*>(client);
    gone->service->Forget(*gone);
    return 0;
}

int HelperService::OnClaim(sd_bus_message* message, void* self, sd_bus_error* error) {
    return static_cast<HelperService*>(self)->Claim(message, error);
}

int HelperService::Claim(sd_bus_message* message, sd_bus_error* error) {
    int passed = -1;
    if (const int result = sd_bus_message_read(message, "h", &passed); result < 0) return result;
    if (leaving_) return sd_bus_error_set(error, kHelperErrorLeaving, kLeavingText);
    Client* client = ClientOf(sd_bus_message_get_sender(message));
    if (client == nullptr) return sd_bus_error_set_errno(error, ENOTCONN);
    DropDisk(*client, "the client claims another disk");
    CancelWaiting(*client, "a later claim of this client replaced this one");
    // How the descriptor is open and on what comes first, from the descriptor alone: nothing
    // else is done with a descriptor that is not open for reading on a block device, and the
    // call that carried it must not close it on the loop (see DivertDescriptor).
    if (const std::string refusal = access_.Refusal(passed); !refusal.empty()) {
        if (!DivertDescriptor(passed)) set_aside_.emplace_back(sd_bus_message_ref(message));
        return Refuse(error, kHelperErrorNotProduct, client->bus_name, refusal);
    }

    auto pending = std::make_shared<PendingClaim>();
    pending->fd = fcntl(passed, F_DUPFD_CLOEXEC, 3);
    if (pending->fd < 0) return sd_bus_error_set_errno(error, errno);
    DiskProof proof = ProveProductDisk(udev_.get(), access_, pending->fd);
    if (!proof.disk) return Refuse(error, kHelperErrorNotProduct, client->bus_name, proof.refusal);
    // udev keeps off a locked disk; the client's own lock on this open file makes this a no-op.
    if (flock(pending->fd, LOCK_EX | LOCK_NB) != 0)
        return Refuse(error, kHelperErrorNotProduct, client->bus_name,
                      "another program holds the lock of " + DiskName(*proof.disk));
    // The product's lock, for the client: another instance of the tool, through this helper or
    // as root, works with the product.
    if (!client->locks)
        client->locks = std::make_unique<linux_backend::ProductLocks>(
            lock_directory_,
            "torvex-isp-helper (pid " + std::to_string(getpid()) + ") for " + client->bus_name);
    pending->took_lock = !client->locks->Holds(proof.disk->port_path);
    if (std::string held = client->locks->Acquire(proof.disk->port_path); !held.empty())
        return Refuse(error, kHelperErrorInUse, client->bus_name, held);
    pending->message.reset(sd_bus_message_ref(message));
    pending->disk = std::move(*proof.disk);
    if (client->authorized) {
        Grant(*client, *pending);
        return 1;
    }
    // One question per client at a time: a later claim waits for the same verdict.
    if (!client->checking && waiting_checks_ >= limits_.waiting_checks)
        return Refuse(error, kHelperErrorNotAuthorized, client->bus_name,
                      "too many clients wait for authorization; try again later");
    client->waiting = std::move(pending);
    if (!client->checking) {
        client->checking = true;
        ++waiting_checks_;
        const bool interactive = sd_bus_message_get_allow_interactive_authorization(message) > 0;
        std::weak_ptr<HelperService*> service = alive_;
        authority_.Check(
            client->bus_name, interactive,
            [service, bus_name = client->bus_name](const AuthorizationVerdict& verdict) {
                const auto alive = service.lock();
                if (alive && *alive != nullptr) (*alive)->OnVerdict(bus_name, verdict);
            });
    }
    return 1;  // answered once the verdict comes (perhaps already), or when the claim is cancelled
}

void HelperService::OnVerdict(const std::string& bus_name, const AuthorizationVerdict& verdict) {
    --waiting_checks_;
    Client* client = Find(bus_name);
    if (client == nullptr) return;  // it left the bus meanwhile
    client->checking = false;
    client->authorized = verdict.authorized;
    const std::shared_ptr<PendingClaim> pending = std::move(client->waiting);
    if (!pending) return;  // released or replaced meanwhile
    if (verdict.authorized) {
        Grant(*client, *pending);
        return;
    }
    // Let go of the disk before the client hears the answer: the copy, the product's lock taken
    // for this claim, and the call that carried the descriptor.
    close(pending->fd);
    pending->fd = -1;
    if (pending->took_lock && client->locks) client->locks->Release(pending->disk.port_path);
    Log(client->bus_name, "refused: " + verdict.reason);
    sd_bus_message* reply = nullptr;
    if (sd_bus_message_new_method_errorf(pending->message.get(), &reply, kHelperErrorNotAuthorized,
                                         "%s", verdict.reason.c_str()) < 0)
        return;
    linux_backend::SdBusMessagePtr owned_reply(reply);
    pending->message.reset();
    sd_bus_send(bus_, reply, nullptr);
}

void HelperService::Grant(Client& client, PendingClaim& pending) {
    try {
        client.worker = std::make_unique<DiskWorker>(access_, pending.fd, completions_);
    } catch (const std::system_error& failure) {
        // No thread for this disk (the unit's task limit): it is not taken.
        close(pending.fd);
        pending.fd = -1;
        if (pending.took_lock && client.locks) client.locks->Release(pending.disk.port_path);
        const std::string why = std::string("cannot take another disk now: ") + failure.what();
        Log(client.bus_name, "refused: " + why);
        sd_bus_reply_method_errorf(pending.message.get(), SD_BUS_ERROR_LIMITS_EXCEEDED, "%s",
                                   why.c_str());
        return;
    }
    client.fd = pending.fd;
    pending.fd = -1;
    client.disk = pending.disk;
    Log(client.bus_name, "holds " + DiskName(client.disk));
    sd_bus_reply_method_return(pending.message.get(), "");
}

int HelperService::OnRelease(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* service = static_cast<HelperService*>(self);
    const char* sender = sd_bus_message_get_sender(message);
    if (Client* client = service->Find(sender != nullptr ? sender : "")) {
        service->DropDisk(*client, "released");
        service->CancelWaiting(*client, "released before the authority answered");
    }
    return sd_bus_reply_method_return(message, "");
}

int HelperService::OnCommand(sd_bus_message* message, void* self, sd_bus_error* error) {
    return static_cast<HelperService*>(self)->Command(message, error);
}

namespace {

// The arguments of one Command call.
struct CommandArguments {
    std::span<const std::uint8_t> cdb;
    std::uint8_t direction = 0;
    std::uint32_t length = 0;
    std::span<const std::uint8_t> data_out;
};

int ReadCommand(sd_bus_message* message, CommandArguments& arguments) {
    const void* cdb = nullptr;
    const void* data_out = nullptr;
    std::size_t cdb_size = 0;
    std::size_t data_out_size = 0;
    int result = sd_bus_message_read_array(message, 'y', &cdb, &cdb_size);
    if (result >= 0)
        result = sd_bus_message_read(message, "yu", &arguments.direction, &arguments.length);
    if (result >= 0) result = sd_bus_message_read_array(message, 'y', &data_out, &data_out_size);
    arguments.cdb = {static_cast<const std::uint8_t*>(cdb), cdb_size};
    arguments.data_out = {static_cast<const std::uint8_t*>(data_out), data_out_size};
    return result;
}

// Why the helper does not carry this command; empty when it does.
std::string CommandRefusal(const CommandArguments& arguments) {
    if (arguments.direction > 1) return "direction must be 0 (out) or 1 (in)";
    const auto direction = static_cast<DataDirection>(arguments.direction);
    const CommandCheck check = CheckCommand(arguments.cdb, direction, arguments.length);
    if (!check.refusal.empty()) return check.refusal;
    const std::size_t expected = direction == DataDirection::Out ? arguments.length : 0;
    if (arguments.data_out.size() == expected) return {};
    return std::string(check.name) + " carries " + std::to_string(expected) +
           " data-out bytes, not " + std::to_string(arguments.data_out.size());
}

int ReplyWithResult(sd_bus_message* message, const PassThroughResult& sent,
                    const std::vector<std::uint8_t>& data_in) {
    sd_bus_message* raw = nullptr;
    int result = sd_bus_message_new_method_return(message, &raw);
    if (result < 0) return result;
    linux_backend::SdBusMessagePtr reply(raw);
    // Only the bytes the kernel says arrived: a short read stays short for the client, as it is
    // on SG_IO itself.
    const std::size_t data_in_size =
        sent.delivered ? data_in.size() - std::min<std::size_t>(sent.residual, data_in.size()) : 0;
    result = sd_bus_message_append(raw, "bys", sent.delivered ? 1 : 0, sent.scsi_status,
                                   std::string(TransportErrorName(sent.error)).c_str());
    if (result >= 0)
        result = sd_bus_message_append_array(raw, 'y', sent.sense.data(), sent.sense_length);
    if (result >= 0) result = sd_bus_message_append_array(raw, 'y', data_in.data(), data_in_size);
    if (result >= 0) result = sd_bus_message_append(raw, "s", sent.diagnostic.c_str());
    return result < 0 ? result : sd_bus_send(nullptr, raw, nullptr);
}

}  // namespace

int HelperService::Command(sd_bus_message* message, sd_bus_error* error) {
    if (leaving_) return sd_bus_error_set(error, kHelperErrorLeaving, kLeavingText);
    CommandArguments arguments;
    if (const int result = ReadCommand(message, arguments); result < 0) return result;
    const char* sender = sd_bus_message_get_sender(message);
    Client* client = Find(sender != nullptr ? sender : "");
    if (client == nullptr || client->fd < 0)
        return sd_bus_error_set(error, kHelperErrorNotClaimed, "this client holds no disk");
    if (const std::string refusal = CommandRefusal(arguments); !refusal.empty())
        return Refuse(error, kHelperErrorCommandRefused, client->bus_name, refusal);
    // A product that has not given back a command whose answer was already due gets no other.
    if (client->worker->Busy())
        return Refuse(error, kHelperErrorCommandRefused, client->bus_name,
                      "the product has not yet finished an earlier command; this one was not sent");
    // The disk is proven again right before the command: the product may have left, and its
    // device number may by now belong to another disk.
    if (const std::string changed = ReproveDisk(udev_.get(), access_, client->fd, client->disk);
        !changed.empty()) {
        DropDisk(*client, "it is no longer the product");
        return sd_bus_error_set(error, kHelperErrorDiskChanged, changed.c_str());
    }
    DiskJob job;
    job.id = ++next_job_;
    job.cdb.assign(arguments.cdb.begin(), arguments.cdb.end());
    job.direction = static_cast<DataDirection>(arguments.direction);
    job.length = arguments.length;
    job.data_out.assign(arguments.data_out.begin(), arguments.data_out.end());
    Answer& answer = answers_[job.id];
    answer.message.reset(sd_bus_message_ref(message));
    answer.bus_name = client->bus_name;
    answer.worker = client->worker.get();
    answer.due =
        Clock::now() +
        (limits_.command.count() > 0
             ? Clock::duration(limits_.command)
             : Clock::duration(std::chrono::seconds(kPassThroughTimeoutSeconds +
                                                    linux_backend::kHelperCommandGraceSeconds)));
    client->worker->Submit(std::move(job));
    return 1;  // answered by Collect, or by AnswerOverdue
}

void HelperService::Collect() {
    for (FinishedJob& finished : completions_->Take()) {
        const auto found = answers_.find(finished.id);
        if (found == answers_.end()) continue;
        Answer& answer = found->second;
        answer.worker->MarkFinished();
        if (!answer.answered)
            ReplyWithResult(answer.message.get(), finished.result, finished.data_in);
        else
            Log(answer.bus_name, "the overdue command has ended: " +
                                     (finished.result.delivered ? std::string("delivered")
                                                                : finished.result.diagnostic));
        retired_.erase(answer.worker);
        answers_.erase(found);
    }
}

std::optional<HelperService::Clock::time_point> HelperService::NextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& [id, answer] : answers_)
        if (!answer.answered && (!next || answer.due < *next)) next = answer.due;
    return next;
}

bool HelperService::Answering() const {
    for (const auto& [id, answer] : answers_)
        if (!answer.answered) return true;
    return false;
}

void HelperService::AnswerOverdue(Clock::time_point now) {
    for (auto& [id, answer] : answers_) {
        if (answer.answered || answer.due > now) continue;
        answer.answered = true;
        const std::string why =
            "the product has not finished the command within the helper's limit; it may have "
            "received it";
        Log(answer.bus_name, why);
        sd_bus_reply_method_errorf(answer.message.get(), kHelperErrorOutcomeUnknown, "%s",
                                   why.c_str());
        answer.message.reset();
    }
}

}  // namespace torvex::helper
