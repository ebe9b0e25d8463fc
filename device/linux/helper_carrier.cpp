#include "device/linux/helper_carrier.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "device/linux/isp_helper_interface.h"
#include "device/linux/sg_io_pass_through.h"
#include "device/transport_error_names.h"

namespace torvex::linux_backend {
namespace {

constexpr std::uint64_t kMicrosecondsPerSecond = 1000000;
constexpr char kSpawnErrors[] = "org.freedesktop.DBus.Error.Spawn.";
// What a command's call may take beyond the helper's own limit for it: the bus, and a product
// that answers right at that limit.
constexpr std::uint64_t kCommandMarginSeconds = 30;

std::uint64_t Microseconds(std::chrono::milliseconds wait) {
    return static_cast<std::uint64_t>(wait.count()) * 1000;
}

// Errors of the bus itself, rather than of the helper: nothing carries commands for us.
bool HelperUnreachable(const SdBusError& error) {
    for (const char* name : {SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER,
                             SD_BUS_ERROR_NO_SERVER, SD_BUS_ERROR_DISCONNECTED,
                             SD_BUS_ERROR_ACCESS_DENIED, "org.freedesktop.systemd1.NoSuchUnit"}) {
        if (error.HasName(name)) return true;
    }
    // The bus could not start the helper (org.freedesktop.DBus.Error.Spawn.*).
    return error.IsSet() && std::strncmp(error.Name(), kSpawnErrors, sizeof kSpawnErrors - 1) == 0;
}

PassThroughResult NotSent(TransportError error, std::string diagnostic) {
    PassThroughResult result;
    result.error = error;
    result.diagnostic = std::move(diagnostic);
    return result;
}

// The call went out, but how it ended cannot be known: the product may hold the command.
PassThroughResult OutcomeUnknown(std::string diagnostic) {
    PassThroughResult result = NotSent(TransportError::Timeout, std::move(diagnostic));
    result.outcome_unknown = true;
    return result;
}

SdBusMessagePtr CommandMessage(sd_bus* bus, const char* destination,
                               const PassThroughRequest& request) {
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus, &raw, destination, kHelperObjectPath, kHelperInterface,
                                       "Command") < 0)
        return nullptr;
    SdBusMessagePtr message(raw);
    const bool out = request.direction == DataDirection::Out && request.length > 0;
    if (sd_bus_message_append_array(raw, 'y', request.cdb.data(), request.cdb.size()) < 0 ||
        sd_bus_message_append(raw, "yu", static_cast<std::uint8_t>(request.direction),
                              request.length) < 0 ||
        sd_bus_message_append_array(raw, 'y', out ? request.data_out : nullptr,
                                    out ? request.length : 0) < 0)
        return nullptr;
    return message;
}

// Reads the reply of Command into the port's result, the data-in bytes into the caller's buffer.
PassThroughResult ReadCommandReply(sd_bus_message* reply, const PassThroughRequest& request) {
    int delivered = 0;
    std::uint8_t status = 0;
    const char* error = nullptr;
    const void* sense = nullptr;
    const void* data_in = nullptr;
    std::size_t sense_size = 0;
    std::size_t data_in_size = 0;
    const char* diagnostic = nullptr;
    if (sd_bus_message_read(reply, "bys", &delivered, &status, &error) < 0 ||
        sd_bus_message_read_array(reply, 'y', &sense, &sense_size) < 0 ||
        sd_bus_message_read_array(reply, 'y', &data_in, &data_in_size) < 0 ||
        sd_bus_message_read(reply, "s", &diagnostic) < 0)
        return NotSent(TransportError::Other, "torvex-isp-helper sent a malformed reply");
    PassThroughResult result;
    result.delivered = delivered != 0;
    result.scsi_status = status;
    result.error = TransportErrorNamed(error).value_or(TransportError::Other);
    result.sense_length = static_cast<std::uint8_t>(std::min(sense_size, kSenseLength));
    std::memcpy(result.sense.data(), sense, result.sense_length);
    result.diagnostic = diagnostic;
    const bool in = request.direction == DataDirection::In && request.data_in != nullptr;
    const std::size_t arrived = in ? std::min<std::size_t>(data_in_size, request.length) : 0;
    if (arrived > 0) std::memcpy(request.data_in, data_in, arrived);
    // The helper sends the bytes that arrived and no more: the rest is the residual count.
    if (in && result.delivered)
        result.residual = request.length - static_cast<std::uint32_t>(arrived);
    return result;
}

}  // namespace

sd_bus* HelperCarrier::Bus(std::string& why_not) {
    if (bus_ && sd_bus_is_open(bus_.get()) > 0) return bus_.get();
    sd_bus* raw = nullptr;
    const int error_number = sd_bus_open_system(&raw);
    if (error_number < 0) {
        why_not = std::string("no system bus: ") + std::strerror(-error_number);
        return nullptr;
    }
    bus_.reset(raw);
    return raw;
}

bool HelperCarrier::HelperKnownToBus(sd_bus* bus) {
    SdBusError error;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "NameHasOwner", error.get(), &reply, "s",
                           kHelperBusName) >= 0) {
        SdBusMessagePtr owner_reply(reply);
        if (sd_bus_message_read(reply, "b", &owned) >= 0 && owned) return true;
    }
    SdBusError list_error;
    reply = nullptr;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "ListActivatableNames", list_error.get(), &reply,
                           "") < 0)
        return false;
    SdBusMessagePtr names_reply(reply);
    char** names = nullptr;
    if (sd_bus_message_read_strv(reply, &names) < 0 || names == nullptr) return false;
    bool found = false;
    for (char** name = names; *name != nullptr; ++name) {
        found = found || std::strcmp(*name, kHelperBusName) == 0;
        free(*name);
    }
    free(names);
    return found;
}

bool HelperCarrier::Usable() {
    if (usable_) return true;
    std::string why_not;
    sd_bus* bus = Bus(why_not);
    usable_ = bus != nullptr && HelperKnownToBus(bus);
    return usable_;
}

AttachOutcome HelperCarrier::Attach(int fd) {
    std::string why_not;
    sd_bus* bus = Bus(why_not);
    if (bus == nullptr) return {"torvex-isp-helper cannot be reached: " + why_not, true};
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus, &raw, kHelperBusName, kHelperObjectPath,
                                       kHelperInterface, "Claim") < 0)
        return {"cannot ask torvex-isp-helper for the disk", false};
    SdBusMessagePtr message(raw);
    // polkit may ask the operator for a password before the helper takes the disk.
    sd_bus_message_set_allow_interactive_authorization(raw, 1);
    SdBusError error;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_message_append(raw, "h", fd) < 0
                           ? -EINVAL
                           : sd_bus_call(bus, raw, Microseconds(waits_.claim), error.get(), &reply);
    SdBusMessagePtr owned_reply(reply);
    if (result >= 0) {
        claimed_fd_ = fd;
        const char* helper = sd_bus_message_get_sender(reply);
        holder_ = helper != nullptr ? helper : kHelperBusName;
        holder_gone_.clear();
        return {};
    }
    if (HelperUnreachable(error) || result == -ECONNRESET || result == -ENOTCONN) {
        Disconnect();
        return {"torvex-isp-helper cannot be reached: " + error.Describe(result), true};
    }
    // A claim that was refused or not answered in time may still hold or wait for the disk.
    Release(bus, kHelperBusName);
    if (result == -ETIMEDOUT)
        return {"torvex-isp-helper did not take the disk in time: " + error.Describe(result),
                false};
    return {"torvex-isp-helper refused the disk: " + error.Describe(result), false};
}

void HelperCarrier::Release(sd_bus* bus, const char* destination) {
    SdBusError error;
    sd_bus_message* reply = nullptr;
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus, &raw, destination, kHelperObjectPath, kHelperInterface,
                                       "Release") < 0)
        return;
    SdBusMessagePtr message(raw);
    // Without an answer the helper still drops the disk when this process leaves the bus.
    sd_bus_call(bus, raw, Microseconds(waits_.release), error.get(), &reply);
    sd_bus_message_unref(reply);
}

void HelperCarrier::Detach(int fd) {
    if (fd != claimed_fd_) return;
    claimed_fd_ = -1;
    if (!holder_gone_.empty()) return;
    std::string why_not;
    sd_bus* bus = Bus(why_not);
    if (bus != nullptr) Release(bus, holder_.c_str());
}

PassThroughResult HelperCarrier::Send(int fd, const PassThroughRequest& request) {
    if (fd != claimed_fd_ || fd < 0)
        return NotSent(TransportError::InvalidHandle, "torvex-isp-helper holds no such disk");
    if (!holder_gone_.empty()) return NotSent(TransportError::Other, holder_gone_);
    if (auto problem = RequestProblem(request))
        return NotSent(TransportError::Other, "request not sent: " + *problem);
    std::string why_not;
    sd_bus* bus = Bus(why_not);
    if (bus == nullptr) return NotSent(TransportError::Other, why_not);
    SdBusMessagePtr message = CommandMessage(bus, holder_.c_str(), request);
    if (!message) return NotSent(TransportError::Other, "cannot build the helper's command");
    const std::uint64_t seconds =
        request.timeout_seconds != 0 ? request.timeout_seconds : kPassThroughTimeoutSeconds;
    const std::uint64_t wait =
        waits_.command.count() > 0
            ? Microseconds(waits_.command)
            : (seconds + kHelperCommandGraceSeconds + kCommandMarginSeconds) *
                  kMicrosecondsPerSecond;
    SdBusError error;
    sd_bus_message* reply = nullptr;
    const int result = sd_bus_call(bus, message.get(), wait, error.get(), &reply);
    SdBusMessagePtr owned_reply(reply);
    if (result >= 0) return ReadCommandReply(reply, request);
    const std::string said = "torvex-isp-helper: " + error.Describe(result);
    if (error.HasName(kHelperErrorNotClaimed)) return NotSent(TransportError::InvalidHandle, said);
    if (error.HasName(kHelperErrorDiskChanged)) return NotSent(TransportError::NoDevice, said);
    const bool connection_lost =
        result == -ECONNRESET || result == -ENOTCONN || error.HasName(SD_BUS_ERROR_DISCONNECTED);
    if (error.HasName(kHelperErrorOutcomeUnknown) || error.HasName(SD_BUS_ERROR_NO_REPLY) ||
        result == -ETIMEDOUT || connection_lost) {
        if (connection_lost) {
            Disconnect();
            // The helper lets go of a disk whose client left the bus.
            holder_gone_ = "the connection to torvex-isp-helper broke; it no longer holds the disk";
        }
        return OutcomeUnknown(said +
                              "; the product may have received the command, so it is not "
                              "sent again");
    }
    // The bus lets calls reach the helper's connection only while it owns the helper's name:
    // refused access to the connection that accepted the claim means it has given the name up.
    if (error.HasName(kHelperErrorLeaving) || error.HasName(SD_BUS_ERROR_SERVICE_UNKNOWN) ||
        error.HasName(SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
        error.HasName(SD_BUS_ERROR_ACCESS_DENIED)) {
        holder_gone_ = "torvex-isp-helper, which held the disk, has gone (" +
                       error.Describe(result) + "); the command was not sent";
        return NotSent(TransportError::Other, holder_gone_);
    }
    if (HelperUnreachable(error)) Disconnect();
    return NotSent(TransportError::Other, said);
}

}  // namespace torvex::linux_backend
