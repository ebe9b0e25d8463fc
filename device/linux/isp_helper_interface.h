#pragma once
// The system-bus interface of torvex-isp-helper, shared by the helper and its client. The client
// opens the product's disk itself and hands the descriptor over with Claim; the helper proves it
// is the product, asks polkit, and then carries the product's own command blocks, and nothing
// else, to that disk. No path ever crosses the bus.
//
//   Claim(h disk)
//   Command(ay cdb, y direction, u length, ay data_out)
//       -> (b delivered, y scsi_status, s transport_error, ay sense, ay data_in, s diagnostic)
//   Release()
//
// direction: 0 data-out, 1 data-in (the command tables' flag). data_out holds exactly `length`
// bytes for data-out and is empty otherwise; data_in holds `length` bytes for a delivered data-in
// command. transport_error names why a request was not delivered (device/transport_error_names.h).

namespace torvex::linux_backend {

inline constexpr const char* kHelperBusName = "org.torvex.IspHelper1";
inline constexpr const char* kHelperObjectPath = "/org/torvex/IspHelper1";
inline constexpr const char* kHelperInterface = "org.torvex.IspHelper1";

// D-Bus errors of the helper.
inline constexpr const char* kHelperErrorNotProduct = "org.torvex.IspHelper1.Error.NotProduct";
inline constexpr const char* kHelperErrorNotAuthorized =
    "org.torvex.IspHelper1.Error.NotAuthorized";
inline constexpr const char* kHelperErrorNotClaimed = "org.torvex.IspHelper1.Error.NotClaimed";
inline constexpr const char* kHelperErrorCommandRefused =
    "org.torvex.IspHelper1.Error.CommandRefused";
inline constexpr const char* kHelperErrorDiskChanged = "org.torvex.IspHelper1.Error.DiskChanged";
// The product did not finish the command within the helper's limit: it may have received it.
inline constexpr const char* kHelperErrorOutcomeUnknown =
    "org.torvex.IspHelper1.Error.OutcomeUnknown";
// The helper is stopping: it takes no claim and carries no command any more.
inline constexpr const char* kHelperErrorLeaving = "org.torvex.IspHelper1.Error.Leaving";

// How long the helper waits, past a command's SG_IO time-out, for the kernel to give the command
// back (its error handling may abort and reset first) before it answers OutcomeUnknown.
inline constexpr unsigned kHelperCommandGraceSeconds = 60;
// How long the helper waits for polkit's verdict on a claim (an administrator's password).
inline constexpr unsigned kHelperAuthorizationSeconds = 300;
inline constexpr const char* kHelperErrorInUse = "org.torvex.IspHelper1.Error.InUse";

}  // namespace torvex::linux_backend
