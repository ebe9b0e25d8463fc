#include "tests/support/scripted_platform.h"

#include <algorithm>

namespace torvex::testing {

DeviceHandle ScriptedPlatform::OpenExclusive(std::u16string_view path) {
    opened_paths.emplace_back(path);
    if (open_fails) return kInvalidDeviceHandle;
    ++open_handles;
    return 7;
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
        std::copy_n(reply.begin(), std::min<std::size_t>(reply.size(), request.length),
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

}  // namespace torvex::testing
