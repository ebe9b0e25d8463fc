#include "desktop/linux/unmount_offer.h"

#include <algorithm>

#include "base/text.h"

namespace torvex::desktop {
namespace {

// Mount points come from volume labels, reasons from a service: no control character of theirs
// reaches a terminal or a box.
std::string Shown(std::string_view text) {
    return ToUtf8(ShownSafely(FromUtf8(text)));
}

std::string Shown(const linux_backend::Mount& mount) {
    return Shown(mount.devnode) + " on " + Shown(mount.mount_point);
}

// Each mounted device node once, in the table's order: one unmount of a node mounted twice
// unmounts what the service finds first, and the next open tells whether anything stayed.
std::vector<std::string> MountedNodes(const MountedDisk& blocked) {
    std::vector<std::string> nodes;
    for (const linux_backend::Mount& mount : blocked.mounts)
        if (std::find(nodes.begin(), nodes.end(), mount.devnode) == nodes.end())
            nodes.push_back(mount.devnode);
    return nodes;
}

}  // namespace

std::optional<UnmountReport> UnmountOffer::Consider(const MountedDisk& blocked, const Ask& ask) {
    if (blocked.mounts.empty()) {
        offered_ = {};  // the product opened (or failed otherwise): a new mount is offered anew
        return std::nullopt;
    }
    if (blocked == offered_) return std::nullopt;
    // Remembered before asking: the window's question runs nested events, which come back here.
    offered_ = blocked;
    if (!ask || !ask(blocked)) return std::nullopt;
    UnmountReport report;
    for (const std::string& node : MountedNodes(blocked)) {
        std::string reason = disks_.Unmount(node);
        if (reason.empty())
            report.unmounted.push_back(node);
        else
            report.failed.push_back({node, std::move(reason)});
    }
    return report;
}

std::string MountList(const MountedDisk& blocked) {
    std::string list;
    for (const linux_backend::Mount& mount : blocked.mounts)
        list += (list.empty() ? "" : ", ") + Shown(mount);
    return list;
}

std::string UnmountQuestion(const MountedDisk& blocked) {
    std::string text = "The product's disk " + Shown(blocked.devnode) + " is mounted:\n";
    for (const linux_backend::Mount& mount : blocked.mounts) text += "    " + Shown(mount) + "\n";
    return text +
           "Nothing is sent to the product while one of its file systems is mounted.\n\n"
           "Unmount it now? Close the files open on it first.";
}

std::string UnmountFailureText(const UnmountReport& report) {
    std::string text;
    std::vector<linux_backend::Mount> stayed;
    for (const UnmountFailure& failure : report.failed) {
        text += "Could not unmount " + Shown(failure.devnode) + ": " + Shown(failure.reason) + "\n";
        stayed.push_back({failure.devnode, {}});
    }
    return text + "Close the files open on it and unmount it in the file manager, or with:\n" +
           linux_backend::UnmountCommand(stayed);
}

RunnerMountStep ConsiderForRunner(UnmountOffer& offer, const MountedDisk& blocked, bool unmount) {
    RunnerMountStep step;
    const std::optional<UnmountReport> report = offer.Consider(blocked, [&](const MountedDisk&) {
        if (!unmount)
            step.lines.push_back("the product is mounted (" + MountList(blocked) +
                                 "); nothing is sent to it while it is. Free it with: " +
                                 linux_backend::UnmountCommand(blocked.mounts) +
                                 ", or run again with --unmount");
        return unmount;
    });
    if (!report) return step;
    for (const std::string& node : report->unmounted)
        step.lines.push_back("unmounted " + Shown(node));
    for (const UnmountFailure& failure : report->failed)
        step.lines.push_back("could not unmount " + Shown(failure.devnode) + ": " +
                             Shown(failure.reason));
    step.freed = !report->unmounted.empty();
    return step;
}

}  // namespace torvex::desktop
