#include "cli/interruption.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

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

constexpr char kStopped[] = "torvex-isp-cli: interrupted\n";

void WriteStderr(const char* text, unsigned length) {
#if defined(_WIN32)
    [[maybe_unused]] const int written = _write(2, text, length);
#else
    [[maybe_unused]] const ssize_t written = write(2, text, length);
#endif
}

// Async-signal-safe: atomics, write(2) and _exit only.
void RequestStop(int signal_number) {
    const int count = requests.fetch_add(1) + 1;
    if (count == 1 && writing.load()) {
        pending_signal.store(signal_number);
        return;
    }
    WriteStderr(kStopped, sizeof kStopped - 1);
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

void ClearInterruption() {
    requests.store(0);
    pending_signal.store(0);
    writing.store(false);
}

}  // namespace torvex::cli
