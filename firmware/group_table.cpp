#include "firmware/group_table.h"

#include "base/controller_state.h"
#include "base/status_log.h"

namespace torvex {

void DecideFirmwareGroup(ToolContext& context, std::span<const std::int32_t> group2_versions,
                         std::int32_t version_number, GroupLines lines) {
    ControllerState& state = context.state;
    context.log.AppendStatusLine(u"Compare FW Version ");
    for (std::size_t i = 0; i < group2_versions.size();) {
        if (version_number == group2_versions[i]) {
            state.FirmwareGroup = ImageGroup::Group2;
            context.log.AppendStatusLine(lines.group2);
        }
        if (++i >= group2_versions.size() || group2_versions[i] == 0) break;
    }
    if (state.FirmwareGroup == ImageGroup::Unchecked) {
        context.log.AppendStatusLine(lines.group1);
        state.FirmwareGroup = ImageGroup::Group1;
    }
}

}  // namespace torvex
