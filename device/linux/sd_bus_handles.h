#pragma once
// Owning handles for the sd-bus objects the helper client, the helper and the desktop's services
// (udisks2, logind) use, so that every early return releases what it took, and a bus error that
// frees itself and says what went wrong.

#include <systemd/sd-bus.h>

#include <memory>
#include <string>

namespace torvex::linux_backend {

struct SdBusRelease {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
    void operator()(sd_bus_track* track) const { sd_bus_track_unref(track); }
};

using SdBusPtr = std::unique_ptr<sd_bus, SdBusRelease>;
using SdBusMessagePtr = std::unique_ptr<sd_bus_message, SdBusRelease>;
using SdBusSlotPtr = std::unique_ptr<sd_bus_slot, SdBusRelease>;
using SdBusTrackPtr = std::unique_ptr<sd_bus_track, SdBusRelease>;

class SdBusError {
  public:
    SdBusError() = default;
    ~SdBusError() { sd_bus_error_free(&error_); }
    SdBusError(const SdBusError&) = delete;
    SdBusError& operator=(const SdBusError&) = delete;

    sd_bus_error* get() { return &error_; }
    bool IsSet() const { return sd_bus_error_is_set(&error_) != 0; }
    bool HasName(const char* name) const { return sd_bus_error_has_name(&error_, name) != 0; }
    const char* Name() const { return error_.name; }
    // "name: message", or the errno text of `fallback` when no error was set: for errors whose
    // name says what happened (the helper's own).
    std::string Describe(int fallback) const;
    // The message alone (else the name, else the errno text of `fallback`): for a service's
    // errors shown to the operator, whose messages say it in words.
    std::string Said(int fallback) const;

  private:
    sd_bus_error error_{nullptr, nullptr, 0};  // SD_BUS_ERROR_NULL, without its C compound literal
};

// The errno text of a failed sd-bus call's negative result.
std::string SdBusErrnoText(int result);

// "name: message" of an error (a reply's, say), or the errno text of `fallback` when none is set.
std::string DescribeSdBusError(const sd_bus_error& error, int fallback);

}  // namespace torvex::linux_backend
