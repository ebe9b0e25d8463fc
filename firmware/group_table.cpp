#include "firmware/group_table.h"

#include "base/status_log.h"

namespace torvex {

ImageGroup DecideFirmwareGroup(StatusLog& log, std::span<const std::int32_t> group2_versions,
                               std::int32_t version_number, GroupLines lines) {
    ImageGroup group = ImageGroup::Unchecked;
    log.AppendStatusLine(u"Compare FW Version ");
    for (std::size_t i = 0; i < group2_versions.size();) {
        if (version_number == group2_versions[i]) {
            group = ImageGroup::Group2;
            log.AppendStatusLine(lines.group2);
        }
        if (++i >= group2_versions.size() || group2_versions[i] == 0) break;
    }
    if (group == ImageGroup::Unchecked) {
        log.AppendStatusLine(lines.group1);
        group = ImageGroup::Group1;
    }
    return group;
}

}  // namespace torvex
