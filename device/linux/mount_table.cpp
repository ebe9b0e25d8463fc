#include "device/linux/mount_table.h"

#include <sys/sysmacros.h>

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>

namespace torvex::linux_backend {
namespace {

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) fields.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

// "8:17" as a device number.
std::optional<dev_t> DeviceNumber(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    unsigned major_number = 0;
    unsigned minor_number = 0;
    const char* end = text.data() + text.size();
    const auto major_end = std::from_chars(text.data(), text.data() + colon, major_number);
    const auto minor_end = std::from_chars(text.data() + colon + 1, end, minor_number);
    if (major_end.ec != std::errc() || major_end.ptr != text.data() + colon ||
        minor_end.ec != std::errc() || minor_end.ptr != end)
        return std::nullopt;
    return makedev(major_number, minor_number);
}

// The table writes blank, tab, newline and backslash as \040, \011, \012 and \134.
std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string_view digits = text.substr(i + 1, 3);
            unsigned value = 0;
            const auto parsed = std::from_chars(digits.data(), digits.data() + 3, value, 8);
            if (parsed.ec == std::errc() && parsed.ptr == digits.data() + 3 && value < 256) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

std::vector<Mount> MountsOf(std::string_view mountinfo, const std::vector<BlockNode>& nodes) {
    std::vector<Mount> mounts;
    std::size_t at = 0;
    while (at < mountinfo.size()) {
        const std::size_t end = std::min(mountinfo.find('\n', at), mountinfo.size());
        const std::vector<std::string_view> fields = Fields(mountinfo.substr(at, end - at));
        at = end + 1;
        // id, parent id, major:minor, root, mount point, ...
        if (fields.size() < 5) continue;
        const std::optional<dev_t> number = DeviceNumber(fields[2]);
        if (!number) continue;
        for (const BlockNode& node : nodes) {
            if (node.number == *number) mounts.push_back({node.devnode, Unescaped(fields[4])});
        }
    }
    return mounts;
}

std::string UnmountCommand(const std::vector<Mount>& mounts) {
    std::string command;
    for (const Mount& mount : mounts)
        command +=
            (command.empty() ? "" : " && ") + std::string("udisksctl unmount -b ") + mount.devnode;
    return command;
}

std::string ReadMountTable(const std::string& path) {
    std::ifstream in(path);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace torvex::linux_backend
