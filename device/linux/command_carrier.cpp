#include "device/linux/command_carrier.h"

#include "device/linux/helper_carrier.h"
#include "device/linux/sg_io_pass_through.h"

namespace torvex::linux_backend {

PassThroughResult SgIoCarrier::Send(int fd, const PassThroughRequest& request) {
    return SendSgIo(fd, request);
}

std::shared_ptr<CommandCarrier> ChooseCommandCarrier(RawAccessProbe has_raw_access) {
    if (has_raw_access != nullptr && has_raw_access())
        return std::make_shared<SgIoCarrier>(has_raw_access);
    return std::make_shared<HelperCarrier>();
}

}  // namespace torvex::linux_backend
