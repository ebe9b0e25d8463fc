#include "firmware/group_table.h"

namespace torvex {

void DecideFirmwareGroup(ToolContext& context, std::span<const std::int32_t> group2_versions,
                         std::int32_t version_number, GroupLines lines) {
    ControllerState& state = context.state;
    context.log.AppendStatusLine(u"Compare FW Version ");
    for (std::size_t i = 0; i < group2_versions.size();) {
        if (version_number == group2_versions[i]) {
            state.FirmwareGroup = kGroup2;
            context.log.AppendStatusLine(lines.group2);
        }
        if (++i >= group2_versions.size() || group2_versions[i] == 0) break;
    }
    if (state.FirmwareGroup == kGroupUnchecked) {
        context.log.AppendStatusLine(lines.group1);
        state.FirmwareGroup = kGroup1;
    }
}

}  // namespace torvex
