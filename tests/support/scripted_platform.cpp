#include "tests/support/scripted_platform.h"

#include <algorithm>
#include <cstring>

namespace torvex::testing {

DeviceHandle ScriptedPlatform::OpenExclusive(std::u16string_view path) {
    opened_paths.emplace_back(path);
    if (open_fails || failing_paths.count(std::u16string(path)) != 0) return kInvalidDeviceHandle;
    ++open_handles;
    return 7;
}

std::u16string ScriptedPlatform::OpenedParentDeviceId(DeviceHandle handle) const {
    if (handle == kInvalidDeviceHandle) return {};
    if (opened_identity) return *opened_identity;
    for (const DiskInterface& disk : listing.disks)
        if (!opened_paths.empty() && disk.path == opened_paths.back()) return disk.parent_device_id;
    return {};
}

void ScriptedPlatform::Close(DeviceHandle handle) {
    if (handle == kInvalidDeviceHandle) return;
    ++closes;
    --open_handles;
}

PassThroughResult ScriptedPlatform::PassThrough(DeviceHandle handle,
                                                const PassThroughRequest& request) {
    requests.push_back({std::vector<std::uint8_t>(request.cdb.begin(), request.cdb.end()),
                        request.direction, request.length, request.data_out, request.data_in,
                        request.timeout_seconds, handle});
    PassThroughResult result = Delivered();
    if (!script.empty()) {
        result = script.front();
        script.pop_front();
    }
    if (handle == kInvalidDeviceHandle) result = Failed();
    if (result.delivered && request.direction == DataDirection::In && request.data_in != nullptr) {
        const std::vector<std::uint8_t>* answer = &reply;
        std::vector<std::uint8_t> next;
        if (request.length > 0 && !replies.empty()) {
            next = std::move(replies.front());
            replies.pop_front();
            answer = &next;
        }
        std::copy_n(answer->begin(), std::min<std::size_t>(answer->size(), request.length),
                    request.data_in);
    }
    return result;
}

PassThroughResult ScriptedPlatform::Failed(std::uint8_t status) {
    PassThroughResult result;
    result.delivered = false;
    result.scsi_status = status;
    result.error = TransportError::Other;
    return result;
}

PassThroughResult ScriptedPlatform::Delivered(std::uint8_t status) {
    PassThroughResult result;
    result.delivered = true;
    result.scsi_status = status;
    return result;
}

std::vector<std::uint8_t> InfoBlockBytes(std::array<std::uint8_t, 4> tag,
                                         std::array<std::uint8_t, 4> version,
                                         std::string_view name) {
    std::vector<std::uint8_t> bytes(64, 0);
    std::copy(tag.begin(), tag.end(), bytes.begin() + 7);
    std::copy(version.begin(), version.end(), bytes.begin() + 11);
    std::memcpy(bytes.data() + 32, name.data(), std::min<std::size_t>(name.size(), 24));
    return bytes;
}

std::vector<std::uint8_t> CommandBytes(std::initializer_list<std::uint8_t> after_ff) {
    std::vector<std::uint8_t> bytes(16, 0);
    bytes[0] = 0xFF;
    std::copy_n(after_ff.begin(), std::min<std::size_t>(after_ff.size(), 15), bytes.begin() + 1);
    return bytes;
}

}  // namespace torvex::testing
