#include "trace/platform_trace.h"

#include "trace/sha256.h"

namespace torvex {

TracedRequest TracedRequestOf(DeviceHandle handle, const PassThroughRequest& request) {
    TracedRequest traced;
    traced.handle = handle;
    traced.cdb.assign(request.cdb.begin(), request.cdb.end());
    traced.direction = request.direction;
    traced.length = request.length;
    if (request.direction == DataDirection::Out && request.length > 0 &&
        request.data_out != nullptr)
        traced.sent_sha256 = Sha256Hex({request.data_out, request.length});
    return traced;
}

}  // namespace torvex
