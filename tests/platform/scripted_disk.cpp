#include "tests/platform/scripted_disk.h"

#include <algorithm>

namespace torvex::testing {

PassThroughResult ScriptedDisk::PassThrough(DeviceHandle, const PassThroughRequest& request) {
    std::lock_guard lock(mutex_);
    ReceivedRequest received{std::vector<std::uint8_t>(request.cdb.begin(), request.cdb.end()),
                             request.direction,
                             request.length,
                             request.timeout_seconds,
                             {}};
    if (request.direction == DataDirection::Out && request.data_out != nullptr) {
        received.data_out.assign(request.data_out, request.data_out + request.length);
    }
    received_.push_back(std::move(received));

    ScriptedAnswer answer;
    answer.result.delivered = true;
    if (!script_.empty()) {
        answer = std::move(script_.front());
        script_.pop_front();
    }
    if (answer.result.delivered && request.direction == DataDirection::In &&
        request.data_in != nullptr) {
        const std::size_t moved = std::min<std::size_t>(answer.data_in.size(), request.length);
        std::copy_n(answer.data_in.begin(), moved, request.data_in);
        // A scripted reply shorter than asked is a short read.
        if (!answer.data_in.empty())
            answer.result.residual = request.length - static_cast<std::uint32_t>(moved);
    }
    return answer.result;
}

void ScriptedDisk::Script(ScriptedAnswer answer) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(answer));
}

std::vector<ReceivedRequest> ScriptedDisk::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

PassThroughResult ScriptedDisk::Delivered(std::uint8_t status) {
    PassThroughResult result;
    result.delivered = true;
    result.scsi_status = status;
    return result;
}

ScriptedAnswer ScriptedDisk::CheckCondition(std::vector<std::uint8_t> sense) {
    ScriptedAnswer answer;
    answer.result.delivered = true;
    answer.result.scsi_status = kScsiStatusCheckCondition;
    answer.result.sense_length = static_cast<std::uint8_t>(std::min(sense.size(), kSenseLength));
    std::copy_n(sense.begin(), answer.result.sense_length, answer.result.sense.begin());
    return answer;
}

ScriptedAnswer ScriptedDisk::Undelivered(TransportError error) {
    ScriptedAnswer answer;
    answer.result.delivered = false;
    answer.result.error = error;
    return answer;
}

}  // namespace torvex::testing
