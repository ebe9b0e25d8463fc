#include "tools/layering/layering_rules.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>

namespace torvex::layering {

namespace fs = std::filesystem;

namespace {

struct FolderRule {
    std::string folder;                // a folder and its sub-folders, unless a longer rule matches
    bool core;                         // standard library only: no system or toolkit header
    std::vector<std::string> allowed;  // regular expressions over the quoted include path
};

// A top-level file of a folder, not one of its sub-folders.
std::string Own(const std::string& folder) {
    return folder + "/[^/]+";
}

const std::vector<FolderRule>& Rules() {
    static const std::string base = Own("base");
    static const std::string device = Own("device");
    static const std::string firmware = Own("firmware");
    static const std::string programming = Own("programming");
    static const std::string app = Own("app");
    static const std::string resources = Own("resources");
    static const std::string simulator = Own("simulator");
    static const std::vector<FolderRule> rules = {
        {"base", true, {base}},
        {"device", true, {base, device}},
        {"firmware", true, {base, device, firmware}},
        {"programming", true, {base, device, firmware, programming}},
        {"app", true, {base, device, firmware, programming, app}},
        {"device/linux", false, {base, device, "device/linux/.+"}},
        {"device/windows", false, {base, device, "device/windows/.+"}},
        // Linux desktop integration (udisks2, logind): toolkit-free, shared by window and runner.
        {"desktop/linux", false, {base, device, "device/linux/.+", "desktop/linux/.+"}},
        {"simulator",
         false,
         {simulator, "device/device_platform\\.h", "device/device_event_source\\.h",
          "firmware/firmware_block_table\\.h"}},
        // The product as a USB device on a real kernel: the model, the trace's words and helpers.
        {"simulator/gadget", false, {base, device, simulator, "simulator/gadget/.+"}},
        {"resources", false, {base, device, firmware, resources}},
        {"app/qt",
         false,
         {base, device, firmware, programming, app, "app/qt/.+", "device/linux/.+",
          "desktop/linux/.+", simulator, resources}},
        {"app/win32",
         false,
         {base, device, firmware, programming, app, "app/win32/.+", "device/windows/.+", simulator,
          resources}},
        {"cli",
         false,
         {base, device, firmware, programming, app, "cli/.+", "device/linux/.+",
          "device/windows/.+", "desktop/linux/.+", simulator, resources}},
        {"helper", false, {base, device, "helper/.+", "device/linux/.+"}},
    };
    return rules;
}

const FolderRule* RuleFor(const std::string& file) {
    const FolderRule* best = nullptr;
    for (const FolderRule& rule : Rules()) {
        if (file.rfind(rule.folder + "/", 0) != 0) continue;
        if (best == nullptr || rule.folder.size() > best->folder.size()) best = &rule;
    }
    return best;
}

bool IsSource(const fs::path& path) {
    const std::string extension = path.extension().string();
    return extension == ".h" || extension == ".cpp";
}

struct Includes {
    std::vector<std::string> quoted;
    std::vector<std::string> angled;
};

Includes ReadIncludes(const fs::path& file) {
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    Includes found;
    std::ifstream in(file);
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
        if (!std::regex_search(line, match, include)) continue;
        (match[1] == "\"" ? found.quoted : found.angled).push_back(match[2]);
    }
    return found;
}

bool Allowed(const FolderRule& rule, const std::string& include) {
    return std::any_of(rule.allowed.begin(), rule.allowed.end(), [&](const std::string& pattern) {
        return std::regex_match(include, std::regex(pattern));
    });
}

// Standard C++ headers are lower-case names without an extension or a folder; anything else in
// angle brackets (<unistd.h>, <QDialog>, <libudev.h>) belongs to a system or a toolkit.
bool IsSystemHeader(const std::string& include) {
    return std::any_of(include.begin(), include.end(),
                       [](char c) { return c == '.' || c == '/' || (c >= 'A' && c <= 'Z'); });
}

// The sources of the folders the rules cover; tests, fuzz targets, benchmarks and build trees are
// not walked at all.
std::vector<fs::path> SourcesUnder(const fs::path& root) {
    std::set<std::string> tops;
    for (const FolderRule& rule : Rules())
        tops.insert(rule.folder.substr(0, rule.folder.find('/')));
    std::vector<fs::path> sources;
    for (const std::string& top : tops) {
        if (!fs::is_directory(root / top)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / top))
            if (entry.is_regular_file() && IsSource(entry.path())) sources.push_back(entry.path());
    }
    std::sort(sources.begin(), sources.end());
    return sources;
}

using Graph = std::map<std::string, std::vector<std::string>>;

// Depth-first search that reports each cycle once, as the chain of files that closes it.
class CycleFinder {
  public:
    explicit CycleFinder(const Graph& graph) : graph_(graph) {}

    std::vector<Violation> Find() {
        for (const auto& [file, unused] : graph_) Visit(file);
        return found_;
    }

  private:
    void Visit(const std::string& file) {
        if (done_.count(file) != 0) return;
        const auto on_path = std::find(path_.begin(), path_.end(), file);
        if (on_path != path_.end()) {
            std::string loop;
            for (auto it = on_path; it != path_.end(); ++it) loop += *it + " -> ";
            found_.push_back({file, loop + file, "include loop"});
            return;
        }
        path_.push_back(file);
        if (const auto edges = graph_.find(file); edges != graph_.end())
            for (const std::string& next : edges->second) Visit(next);
        path_.pop_back();
        done_.insert(file);
    }

    const Graph& graph_;
    std::vector<std::string> path_;
    std::set<std::string> done_;
    std::vector<Violation> found_;
};

}  // namespace

std::vector<Violation> CheckTree(const fs::path& root) {
    std::vector<Violation> violations;
    Graph graph;
    for (const fs::path& file_path : SourcesUnder(root)) {
        const std::string file = fs::relative(file_path, root).generic_string();
        const FolderRule* rule = RuleFor(file);
        if (rule == nullptr) continue;
        const Includes includes = ReadIncludes(file_path);
        for (const std::string& include : includes.quoted) {
            if (!fs::exists(root / include)) {
                violations.push_back({file, include, "no such file under the source root"});
                continue;
            }
            graph[file].push_back(include);
            if (!Allowed(*rule, include))
                violations.push_back({file, include, rule->folder + " may not include this"});
        }
        if (!rule->core) continue;
        for (const std::string& include : includes.angled)
            if (IsSystemHeader(include))
                violations.push_back({file, include, "the core uses the standard library only"});
    }
    const std::vector<Violation> loops = CycleFinder(graph).Find();
    violations.insert(violations.end(), loops.begin(), loops.end());
    return violations;
}

std::string Describe(const Violation& violation) {
    return violation.file + ": \"" + violation.include + "\": " + violation.reason;
}

}  // namespace torvex::layering
