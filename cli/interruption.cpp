#include "cli/interruption.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace torvex::cli {

namespace {

std::atomic<int> requests{0};
std::atomic<int> pending_signal{0};
std::atomic<bool> writing{false};

std::atomic<int> json_fd{-1};
std::atomic<std::int64_t> json_start_ns{0};

constexpr char kStopped[] = "torvex-isp-cli: interrupted\n";

void WriteStderr(const char* text, unsigned length) {
#if defined(_WIN32)
    [[maybe_unused]] const int written = _write(2, text, length);
#else
    [[maybe_unused]] const ssize_t written = write(2, text, length);
#endif
}

// The JSON "ending" of a stop at once, formatted without allocating (a signal handler may run it).
void WriteJsonEnding() {
    const int fd = json_fd.load();
    if (fd < 0) return;
    const std::int64_t now_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count();
    std::int64_t ms = (now_ns - json_start_ns.load()) / 1'000'000;
    if (ms < 0) ms = 0;
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + ms % 10);
        ms /= 10;
    } while (ms > 0 && count < 20);
    constexpr char kHead[] = "{\"ms\":";
    constexpr char kTail[] = ",\"event\":\"ending\",\"result\":\"interrupted\",\"exit\":130}\n";
    char line[sizeof kHead + sizeof digits + sizeof kTail];
    unsigned length = 0;
    for (char c : std::string_view(kHead, sizeof kHead - 1)) line[length++] = c;
    while (count > 0) line[length++] = digits[--count];
    for (char c : std::string_view(kTail, sizeof kTail - 1)) line[length++] = c;
#if defined(_WIN32)
    [[maybe_unused]] const int written = _write(fd, line, length);
#else
    [[maybe_unused]] const ssize_t written = write(fd, line, length);
#endif
}

// Async-signal-safe: atomics, the clock, write(2) and _exit only.
void RequestStop(int signal_number) {
    const int count = requests.fetch_add(1) + 1;
    if (count == 1 && writing.load()) {
        pending_signal.store(signal_number);
        return;
    }
    WriteStderr(kStopped, sizeof kStopped - 1);
    WriteJsonEnding();
    _exit(kExitInterrupted);
}

#if defined(_WIN32)
DWORD main_thread = 0;

BOOL WINAPI OnConsoleControl(DWORD event) {
    // Ctrl+C and Ctrl+Break are the console's SIGINT; closing the console is its SIGHUP.
    const int number = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    RequestStop(number);
    // Wakes the runner's wait, which then sees the request.
    PostThreadMessageW(main_thread, WM_NULL, 0, 0);
    return TRUE;
}
#else
void OnSignal(int signal_number) {
    RequestStop(signal_number);
}
#endif

}  // namespace

void InstallInterruptionHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
#if defined(_WIN32)
    main_thread = GetCurrentThreadId();
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted: a system call of a procedure (SG_IO included) is not cut short; poll() in the
    // runner's wait returns anyway, so the loop sees the request at once.
    action.sa_flags = SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
#endif
}

void SetUpdateWriting(bool now_writing) {
    writing.store(now_writing);
}

std::string PendingInterruption() {
    switch (pending_signal.load()) {
        case 0:
            return {};
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#if !defined(_WIN32)
        case SIGHUP:
            return "SIGHUP";
#endif
        default:
            return "a signal";
    }
}

void EndJsonStreamOnStopAtOnce(int fd, std::chrono::steady_clock::time_point start) {
    json_start_ns.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count());
    json_fd.store(fd);
}

void ClearInterruption() {
    requests.store(0);
    pending_signal.store(0);
    writing.store(false);
}

}  // namespace torvex::cli
