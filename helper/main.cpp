// torvex-isp-helper: the system-bus service that carries the product's vendor commands for the
// window and the runner, which run as the user without CAP_SYS_RAWIO. Started on demand by the
// bus (through systemd, as a dedicated user holding that one capability, sandboxed); it opens
// nothing itself and works only on the descriptors its clients hand over.
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "device/linux/raw_scsi_access.h"
#include "device/linux/sd_bus_handles.h"
#include "helper/descriptor_access.h"
#include "helper/polkit_authority.h"
#include "helper/service_loop.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool version = argc == 2 && std::string_view(argv[1]) == "--version";
        std::fprintf(version ? stdout : stderr,
                     version ? "torvex-isp-helper %s\n"
                             : "torvex-isp-helper %s takes no options; "
                               "the system bus starts it\n",
                     TORVEX_VERSION);
        return version ? 0 : 64;
    }
    if (!torvex::linux_backend::ProcessHasRawScsiAccess()) {
        // Without the capability the kernel refuses every vendor command: say so here, once,
        // rather than to each client.
        std::fputs(
            "torvex-isp-helper: started without CAP_SYS_RAWIO; start it through its systemd "
            "unit (torvex-isp-helper.service)\n",
            stderr);
        return 1;
    }
    sd_bus* raw = nullptr;
    if (const int result = sd_bus_open_system(&raw); result < 0) {
        std::fprintf(stderr, "torvex-isp-helper: no system bus: %s\n", std::strerror(-result));
        return 1;
    }
    torvex::linux_backend::SdBusPtr bus(raw);
    torvex::helper::PolkitAuthority authority(bus.get());
    torvex::helper::KernelDescriptorAccess access;
    return torvex::helper::RunHelperService(bus.get(), authority, access, {});
}
