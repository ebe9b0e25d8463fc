#pragma once
// The layers of the project and what each folder may include. The core is five layers, each
// including only itself and the layers below it: base < device < firmware < programming < app.
// The back ends, the windows, the runner and the helper sit on top; the virtual product sees only
// the device port and the firmware block table, so it stays an independent oracle. Tests, fuzz
// targets and benchmarks are not checked.

#include <filesystem>
#include <string>
#include <vector>

namespace torvex::layering {

struct Violation {
    std::string file;     // relative to the source root
    std::string include;  // the quoted include, or the loop for a cycle
    std::string reason;
};

// Every rule broken under `root`: an include a folder may not use, an include of a file that
// does not exist, a system header in the core, or a cycle of includes.
std::vector<Violation> CheckTree(const std::filesystem::path& root);

std::string Describe(const Violation& violation);

}  // namespace torvex::layering
