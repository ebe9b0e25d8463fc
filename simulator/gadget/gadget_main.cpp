// torvex-product-gadget: the virtual product as a real USB mass-storage device (configfs and
// FunctionFS on a USB device controller, e.g. dummy_hcd). The main thread owns ep0, the clock and
// the bus presence; one bulk thread carries the bulk-only transport and hands each command to the
// product under a lock.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/mount.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simulator/gadget/configfs_gadget.h"
#include "simulator/gadget/functionfs_device.h"
#include "simulator/gadget/gadget_options.h"
#include "simulator/gadget/gadget_product.h"

namespace torvex::sim::gadget {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kLeaveGrace{50};

void Say(const std::string& text) {
    std::fprintf(stderr, "torvex-product-gadget: %s\n", text.c_str());
}

std::string ProductName(const GadgetProduct& product) {
    return product.Plain() ? std::string("USB Disk")
                           : "Torvex " + std::string(ModeName(product.Mode()));
}

void OnWakeSignal(int) {}

// What the two threads share.
struct Shared {
    std::mutex mutex;  // guards product and the fields below
    std::condition_variable reset;
    GadgetProduct* product = nullptr;
    bool awaiting_reset = false;  // the bulk endpoints wait for a reset of the device
    std::atomic<bool> stop{false};
    std::atomic<bool> bulk_done{false};
    int wake_fd = -1;
};

void Wake(const Shared& shared) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(shared.wake_fd, &one, sizeof one);
}

void AwaitReset(Shared& shared, FunctionFsDevice& device, bool stall) {
    {
        // Waiting before the stall: a reset that follows it at once is not missed.
        std::lock_guard lock(shared.mutex);
        shared.awaiting_reset = true;
    }
    if (stall) {
        device.HaltIn();
        device.HaltOut();
    }
    std::unique_lock lock(shared.mutex);
    shared.reset.wait(lock, [&] { return !shared.awaiting_reset || shared.stop.load(); });
}

void SendOutcome(FunctionFsDevice& device, const CommandBlockWrapper& cbw,
                 const CommandOutcome& outcome) {
    if (!outcome.data_in.empty() && !device.WriteIn(outcome.data_in)) return;
    // Less data than the host asked for, ending on a packet boundary of either speed (or none
    // at all): the host learns the data phase is over from a stall on bulk IN.
    if (cbw.data_in && outcome.data_in.size() < cbw.data_length && outcome.data_in.size() % 64 == 0)
        device.HaltIn();
    if (!device.WriteIn(outcome.csw)) Say(std::string("status not sent: ") + std::strerror(errno));
}

void BulkLoop(Shared& shared, FunctionFsDevice& device) {
    std::vector<std::uint8_t> buffer(512);
    while (!shared.stop) {
        const long n = device.ReadOut(buffer.data(), buffer.size());
        if (shared.stop) break;
        if (n < 0) {
            // The bus went away or is being reset; the next read waits for the endpoint.
            if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const auto cbw =
            ParseCbw(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
        if (!cbw) {
            Say("invalid command block wrapper (" + std::to_string(n) + " bytes): stalled");
            AwaitReset(shared, device, true);
            continue;
        }
        if (!cbw->data_in && cbw->data_length > kMaxDataLength) {
            Say("data phase of " + std::to_string(cbw->data_length) + " bytes refused: stalled");
            AwaitReset(shared, device, true);
            continue;
        }
        std::vector<std::uint8_t> data_out;
        if (!cbw->data_in && cbw->data_length > 0) {
            data_out.resize(cbw->data_length);
            if (!device.ReadOutFully(data_out.data(), data_out.size())) continue;
        }
        CommandOutcome outcome;
        {
            std::lock_guard lock(shared.mutex);
            outcome = shared.product->Command(*cbw, data_out);
        }
        switch (outcome.ending) {
            case CommandOutcome::Ending::Status:
                SendOutcome(device, *cbw, outcome);
                Wake(shared);
                break;
            case CommandOutcome::Ending::NoStatus:
                Wake(shared);
                AwaitReset(shared, device, false);
                break;
            case CommandOutcome::Ending::Gone:
                Wake(shared);  // the main thread unbinds
                break;
        }
    }
    shared.bulk_done = true;
}

void ClearReset(Shared& shared) {
    std::lock_guard lock(shared.mutex);
    shared.awaiting_reset = false;
    shared.reset.notify_all();
}

void OnSetup(Shared& shared, FunctionFsDevice& device, const usb_ctrlrequest& setup) {
    const bool class_request = (setup.bRequestType & USB_TYPE_MASK) == USB_TYPE_CLASS;
    if (class_request && setup.bRequest == kGetMaxLun && (setup.bRequestType & USB_DIR_IN)) {
        std::uint8_t max_lun = 0;
        {
            std::lock_guard lock(shared.mutex);
            max_lun = shared.product->MaxLun();
        }
        device.ReplyIn(setup, std::span<const std::uint8_t>(&max_lun, 1));
        return;
    }
    if (class_request && setup.bRequest == kBulkOnlyReset && !(setup.bRequestType & USB_DIR_IN)) {
        device.Acknowledge();
        ClearReset(shared);
        return;
    }
    device.StallEp0(setup);
}

std::uint64_t ElapsedMs(SteadyClock::time_point start) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

int Run(const GadgetOptions& options) {
    GadgetConfig config;
    config.product = PresetConfig(options.state);
    if (options.return_delay_ms) config.product.timing.return_delay_ms = *options.return_delay_ms;
    config.product.faults.insert(config.product.faults.end(), options.faults.begin(),
                                 options.faults.end());
    config.disk_bytes = static_cast<std::size_t>(options.disk_size_kib) * 1024;
    config.cdrom = options.cdrom;
    config.plain = options.plain;
    config.pause_at = options.pause_at;
    GadgetProduct product(config);

    std::FILE* trace = nullptr;
    if (!options.trace_path.empty()) {
        trace = std::fopen(options.trace_path.c_str(), "w");
        if (trace == nullptr) {
            Say("cannot write " + options.trace_path + ": " + std::strerror(errno));
            return 1;
        }
        product.SetTraceSink([trace](const std::string& line) {
            std::fputs(line.c_str(), trace);
            std::fputc('\n', trace);
            std::fflush(trace);
        });
    }

    product.SetViolationSink([](const std::string& line) { Say("protocol violation: " + line); });

    const std::string udc = options.udc.empty() ? FirstUdc() : options.udc;
    if (udc.empty()) {
        Say("no USB device controller in /sys/class/udc (load dummy_hcd?)");
        return 1;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    const int signal_fd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    struct sigaction wake {};
    wake.sa_handler = OnWakeSignal;  // no SA_RESTART: a blocked endpoint read returns EINTR
    sigaction(SIGUSR1, &wake, nullptr);

    Shared shared;
    shared.product = &product;
    shared.wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    ConfigfsGadget gadget(options.name);
    FunctionFsDevice device;
    const std::string mount_dir = "/dev/ffs-" + options.name;
    bool mounted = false;
    std::string error;
    const auto cleanup = [&] {
        gadget.Unbind();
        device.Close();
        if (mounted) ::umount2(mount_dir.c_str(), MNT_DETACH);
        ::rmdir(mount_dir.c_str());
        gadget.Remove();
        if (trace != nullptr) std::fclose(trace);
    };
    const auto fail = [&](const std::string& what) {
        Say(what);
        cleanup();
        return 1;
    };
    if (!gadget.Create(product.Identity(), ProductName(product), error)) return fail(error);
    ::mkdir(mount_dir.c_str(), 0755);
    if (::mount(options.name.c_str(), mount_dir.c_str(), "functionfs", 0, nullptr) != 0)
        return fail("cannot mount functionfs at " + mount_dir + ": " + std::strerror(errno));
    mounted = true;
    if (!device.Open(mount_dir, error)) return fail(error);
    if (!gadget.Bind(udc, error)) return fail(error);
    Say("bound to " + udc + " as " + ProductName(product));

    std::thread bulk([&] { BulkLoop(shared, device); });
    const SteadyClock::time_point start = SteadyClock::now();
    for (;;) {
        int timeout = -1;
        {
            std::lock_guard lock(shared.mutex);
            if (const auto due = product.NextDue()) {
                const std::uint64_t now = ElapsedMs(start);
                timeout =
                    *due <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(*due - now, 60'000));
            }
        }
        pollfd fds[3] = {
            {device.Ep0(), POLLIN, 0}, {signal_fd, POLLIN, 0}, {shared.wake_fd, POLLIN, 0}};
        if (::poll(fds, 3, timeout) < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) break;
        if (fds[2].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(shared.wake_fd, &count, sizeof count);
        }
        if (fds[0].revents & POLLIN) {
            for (const usb_functionfs_event& event : device.ReadEvents()) {
                if (event.type == FUNCTIONFS_SETUP) OnSetup(shared, device, event.u.setup);
                // A new configuration, or the host resetting the port, ends any wait.
                if (event.type == FUNCTIONFS_ENABLE || event.type == FUNCTIONFS_DISABLE)
                    ClearReset(shared);
            }
        }
        std::vector<PresenceStep> steps;
        {
            std::lock_guard lock(shared.mutex);
            steps = product.Advance(ElapsedMs(start));
        }
        for (const PresenceStep& step : steps) {
            if (!step.present) {
                // The controller completes our status before the host has taken it off the
                // bus; leaving at once would lose the status of the command that made the
                // product leave (a jump), so the product goes a moment later, as a real one
                // does while it restarts.
                std::this_thread::sleep_for(kLeaveGrace);
                gadget.Unbind();
                ClearReset(shared);
                Say("left the bus at " + std::to_string(ElapsedMs(start)) + " ms");
                continue;
            }
            std::string name;
            {
                std::lock_guard lock(shared.mutex);
                name = ProductName(product);
            }
            if (!gadget.SetIdentity(step.identity, name, error) || !gadget.Bind(udc, error)) {
                Say(error);
                continue;
            }
            Say("back on the bus as " + name);
        }
    }

    shared.stop = true;
    gadget.Unbind();
    ClearReset(shared);
    while (!shared.bulk_done) {
        pthread_kill(bulk.native_handle(), SIGUSR1);
        ::poll(nullptr, 0, 20);
    }
    bulk.join();
    cleanup();
    return 0;
}

}  // namespace

}  // namespace torvex::sim::gadget

int main(int argc, char** argv) {
    using namespace torvex::sim::gadget;
    const GadgetParse parsed = ParseGadgetOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "torvex-product-gadget: %s\nTry 'torvex-product-gadget --help'.\n",
                     parsed.error.c_str());
        return 64;
    }
    if (parsed.options->help) {
        std::fputs(GadgetHelpText().c_str(), stdout);
        return 0;
    }
    return Run(*parsed.options);
}
