#include "device/windows/windows_device_platform.h"

#include <ntddscsi.h>
#include <winioctl.h>

#include <string>

#include "device/windows/disk_interface_listing.h"
#include "device/windows/pass_through_record.h"
#include "device/windows/setupapi_disk_steps.h"
#include "device/windows/transfer_buffer.h"
#include "device/windows/win32_errors.h"

namespace torvex::windows {

namespace {

PassThroughResult NotDelivered(TransportError error, std::string diagnostic) {
    PassThroughResult result;
    result.error = error;
    result.diagnostic = std::move(diagnostic);
    return result;
}

bool QueryAdapterDescriptor(HANDLE disk, std::uint32_t& mask) {
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageAdapterProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_ADAPTER_DESCRIPTOR descriptor{};
    DWORD returned = 0;
    if (!DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor,
                         sizeof descriptor, &returned, nullptr))
        return false;
    if (returned < offsetof(STORAGE_ADAPTER_DESCRIPTOR, AlignmentMask) + sizeof(DWORD))
        return false;
    mask = descriptor.AlignmentMask;
    return true;
}

bool QueryScsiCapabilities(HANDLE disk, std::uint32_t& mask) {
    IO_SCSI_CAPABILITIES capabilities{};
    DWORD returned = 0;
    if (!DeviceIoControl(disk, IOCTL_SCSI_GET_CAPABILITIES, nullptr, 0, &capabilities,
                         sizeof capabilities, &returned, nullptr))
        return false;
    if (returned < offsetof(IO_SCSI_CAPABILITIES, AlignmentMask) + sizeof(ULONG)) return false;
    mask = capabilities.AlignmentMask;
    return true;
}

// The system's words, and what a sharing violation (32) means for the product.
std::string OpenErrorText(DWORD error) {
    std::string text = Win32Diagnostic("CreateFileW", error);
    if (error == ERROR_SHARING_VIOLATION) text += ": another program has the disk open";
    if (error == ERROR_ACCESS_DENIED) text += ": the tool needs administrator rights";
    return text;
}

}  // namespace

std::uint32_t QueryAlignmentMask(HANDLE disk) {
    std::uint32_t mask = 0;
    if (QueryAdapterDescriptor(disk, mask) || QueryScsiCapabilities(disk, mask))
        return NormalizedAlignmentMask(mask);
    return 0;
}

WindowsDevicePlatform::WindowsDevicePlatform(StepsFactory steps) : steps_(std::move(steps)) {
    if (!steps_) steps_ = [] { return std::make_unique<SetupApiDiskSteps>(); };
}

WindowsDevicePlatform::~WindowsDevicePlatform() {
    for (auto& [handle, disk] : open_) CloseHandle(disk.file);
}

DiskListing WindowsDevicePlatform::ListDiskInterfaces() {
    const auto steps = steps_();
    return windows::ListDiskInterfaces(*steps);
}

std::u16string WindowsDevicePlatform::ListedParentOf(std::u16string_view path) {
    for (const DiskInterface& disk : ListDiskInterfaces().disks) {
        if (disk.path.size() != path.size()) continue;
        // Interface paths differ in case between the system's calls, never in anything else.
        if (CompareStringOrdinal(reinterpret_cast<const wchar_t*>(disk.path.data()),
                                 static_cast<int>(disk.path.size()),
                                 reinterpret_cast<const wchar_t*>(path.data()),
                                 static_cast<int>(path.size()), TRUE) == CSTR_EQUAL)
            return disk.parent_device_id;
    }
    return {};
}

std::u16string WindowsDevicePlatform::OpenedParentDeviceId(DeviceHandle handle) const {
    const auto found = open_.find(handle);
    return found == open_.end() ? std::u16string() : found->second.parent_device_id;
}

DeviceHandle WindowsDevicePlatform::OpenExclusive(std::u16string_view path) {
    // A path with a NUL inside would open a shorter path: another device, perhaps.
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) {
        last_open_error_ = Win32Diagnostic("CreateFileW", ERROR_INVALID_NAME);
        return kInvalidDeviceHandle;
    }
    const std::wstring wide(path.begin(), path.end());
    // Share mode 0: no other program may hold the disk while the tool talks to it.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        last_open_error_ = OpenErrorText(GetLastError());
        return kInvalidDeviceHandle;
    }
    const DeviceHandle handle = next_handle_++;
    open_[handle] = OpenDisk{file, QueryAlignmentMask(file), ListedParentOf(path)};
    last_open_error_.clear();
    return handle;
}

void WindowsDevicePlatform::Close(DeviceHandle handle) {
    const auto found = open_.find(handle);
    if (found == open_.end()) return;
    CloseHandle(found->second.file);
    open_.erase(found);
}

PassThroughResult WindowsDevicePlatform::PassThrough(DeviceHandle handle,
                                                     const PassThroughRequest& request) {
    const auto found = open_.find(handle);
    if (found == open_.end())
        return NotDelivered(TransportError::InvalidHandle, "the device is not open");
    const TransferBuffer buffer(request, found->second.alignment_mask);
    if (buffer.Missing())
        return NotDelivered(TransportError::Other, "no data buffer for a request with data");

    PassThroughRecord record = BuildPassThroughRecord(request, buffer.Data());
    DWORD returned = 0;
    const bool delivered =
        DeviceIoControl(found->second.file, IOCTL_SCSI_PASS_THROUGH_DIRECT, &record, sizeof record,
                        &record, sizeof record, &returned, nullptr) != FALSE;
    const DWORD error = delivered ? ERROR_SUCCESS : GetLastError();
    if (delivered && request.direction == DataDirection::In)
        buffer.CopyBack(record.header.DataTransferLength);

    PassThroughResult result = ReadPassThroughRecord(record, delivered);
    if (!delivered) {
        result.error = TransportErrorFor(error);
        result.diagnostic = Win32Diagnostic("IOCTL_SCSI_PASS_THROUGH_DIRECT", error);
    }
    return result;
}

}  // namespace torvex::windows
