#include "device/windows/win32_errors.h"

namespace torvex::windows {

TransportError TransportErrorFor(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return TransportError::None;
        case ERROR_INVALID_HANDLE:
            return TransportError::InvalidHandle;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return TransportError::PermissionDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NOT_READY:
        case ERROR_DEVICE_REMOVED:
            return TransportError::NoDevice;
        case ERROR_SEM_TIMEOUT:
        case ERROR_TIMEOUT:
            return TransportError::Timeout;
        default:
            return TransportError::Other;
    }
}

std::string Win32Diagnostic(std::string_view operation, DWORD error) {
    std::string text(operation);
    text += ": error " + std::to_string(error);
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    if (length > 0 && message != nullptr) {
        std::string words(message, length);
        while (!words.empty() && (words.back() == '\n' || words.back() == '\r' ||
                                  words.back() == ' ' || words.back() == '.'))
            words.pop_back();
        text += " (" + words + ")";
    }
    if (message != nullptr) LocalFree(message);
    return text;
}

}  // namespace torvex::windows
