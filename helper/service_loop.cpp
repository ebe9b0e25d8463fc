#include "helper/service_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include "device/linux/isp_helper_interface.h"
#include "helper/helper_service.h"

namespace torvex::helper {
namespace {

using Clock = HelperService::Clock;

bool Disconnected(int error_number) {
    return error_number == -ECONNRESET || error_number == -ENOTCONN || error_number == -EPIPE;
}

// sd-bus gives its time-outs on CLOCK_MONOTONIC, as steady_clock is on Linux.
std::optional<Clock::time_point> BusDeadline(sd_bus* bus) {
    std::uint64_t usec = 0;
    if (sd_bus_get_timeout(bus, &usec) < 0 || usec == UINT64_MAX) return std::nullopt;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t now_usec = static_cast<std::uint64_t>(now.tv_sec) * 1000000 +
                                   static_cast<std::uint64_t>(now.tv_nsec) / 1000;
    const std::uint64_t left = usec > now_usec ? usec - now_usec : 0;
    return Clock::now() + std::chrono::microseconds(left);
}

enum class Ending { Idle, Signal, Drained, Failed };

struct Loop {
    sd_bus* bus;
    HelperService& service;
    int signal_fd;

    // Handles messages and finished commands until the service has been idle for `idle_exit`
    // (never when 0), a stop signal came, or, with `until_answered`, no command waits for its
    // answer any more.
    Ending Run(std::chrono::milliseconds idle_exit, bool until_answered) {
        Clock::time_point idle_since = Clock::now();
        for (;;) {
            const int processed = sd_bus_process(bus, nullptr);
            if (processed < 0) {
                if (Disconnected(processed)) return Ending::Drained;
                std::fprintf(stderr, "torvex-isp-helper: bus failed: %s\n",
                             std::strerror(-processed));
                return Ending::Failed;
            }
            Clock::time_point now = Clock::now();
            service.AnswerOverdue(now);
            if (processed > 0 || !service.Idle()) {
                idle_since = now;
                if (processed > 0) continue;
            }
            if (until_answered && !service.Answering()) return Ending::Drained;
            std::optional<Clock::time_point> wake = BusDeadline(bus);
            const auto earlier = [&](std::optional<Clock::time_point> other) {
                if (other && (!wake || *other < *wake)) wake = other;
            };
            earlier(service.NextDeadline());
            if (idle_exit.count() > 0 && service.Idle()) {
                const Clock::time_point leave = idle_since + idle_exit;
                if (leave <= now) return Ending::Idle;
                earlier(leave);
            }
            int timeout_ms = -1;
            if (wake) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
                timeout_ms = static_cast<int>(std::clamp<long long>(left, 0, 3600 * 1000));
            }
            const int events = sd_bus_get_events(bus);
            if (events < 0) {
                if (Disconnected(events)) return Ending::Drained;
                return Ending::Failed;
            }
            pollfd fds[3] = {{sd_bus_get_fd(bus), static_cast<short>(events), 0},
                             {service.CompletionDescriptor(), POLLIN, 0},
                             {signal_fd, POLLIN, 0}};
            const int ready = poll(fds, signal_fd >= 0 ? 3 : 2, timeout_ms);
            if (ready < 0 && errno != EINTR) {
                std::fprintf(stderr, "torvex-isp-helper: poll failed: %s\n", std::strerror(errno));
                return Ending::Failed;
            }
            if (ready > 0 && (fds[1].revents & POLLIN) != 0) service.Collect();
            if (ready > 0 && signal_fd >= 0 && (fds[2].revents & POLLIN) != 0) {
                signalfd_siginfo info{};
                [[maybe_unused]] const ssize_t read_bytes = read(signal_fd, &info, sizeof info);
                if (!until_answered) return Ending::Signal;
            }
        }
    }
};

// Answers every call the bus has already handed to this connection.
void AnswerQueued(sd_bus* bus) {
    while (sd_bus_process(bus, nullptr) > 0) {
    }
}

}  // namespace

int RunHelperService(sd_bus* bus, Authority& authority, DescriptorAccess& access,
                     const ServiceOptions& options) {
    // SIGTERM (systemd's stop) and SIGINT reach the loop as events; the workers inherit the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    // They stay blocked after the service has ended: a second stop signal must not cut short
    // the exit the first one began.
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    const int signal_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
    const auto finish = [&](int status) {
        if (signal_fd >= 0) close(signal_fd);
        return status;
    };

    HelperService service(bus, authority, access, options.limits);
    if (const int result = service.Install(); result < 0) {
        std::fprintf(stderr, "torvex-isp-helper: cannot put its object on the bus: %s\n",
                     std::strerror(-result));
        return finish(1);
    }
    if (const int result = sd_bus_request_name(bus, linux_backend::kHelperBusName, 0); result < 0) {
        std::fprintf(stderr, "torvex-isp-helper: cannot own %s: %s\n",
                     linux_backend::kHelperBusName, std::strerror(-result));
        return finish(1);
    }
    if (options.on_ready) options.on_ready();
    Loop loop{bus, service, signal_fd};
    Ending ending = loop.Run(options.idle_exit, false);
    if (ending == Ending::Failed) return finish(1);
    if (ending == Ending::Idle) {
        std::fprintf(
            stderr, "torvex-isp-helper: no client for %lld s, leaving\n",
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::seconds>(options.idle_exit).count()));
        // Calls that reached the bus before the name was given up are still answered, a claim
        // with Leaving: once the name is gone the bus lets no client reach this connection, so a
        // disk granted now could never get a command. Any later call starts a new helper, which
        // the bus can have only once this one has ended, so it ends right after.
        service.Leave();
        sd_bus_release_name(bus, linux_backend::kHelperBusName);
        ending = loop.Run(std::chrono::milliseconds(10), false);
        if (ending == Ending::Failed) return finish(1);
    }
    if (ending == Ending::Signal) {
        // Told to stop: the commands under way get their real answers, every other call hears
        // that the helper is leaving; then the name goes, and what the bus routed here before
        // that is answered too.
        std::fputs("torvex-isp-helper: stopping\n", stderr);
        service.Leave();
        if (loop.Run(std::chrono::milliseconds(0), true) == Ending::Failed) return finish(1);
        sd_bus_release_name(bus, linux_backend::kHelperBusName);
        AnswerQueued(bus);
    }
    sd_bus_flush(bus);
    return finish(0);
}

}  // namespace torvex::helper
