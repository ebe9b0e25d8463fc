// torvex-check-layering ROOT: prints every layering rule the tree under ROOT breaks and exits 1
// when there is one. The build runs it, so an upward include or a loop fails the build.
#include <cstdio>

#include "tools/layering/layering_rules.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: torvex-check-layering SOURCE_ROOT\n");
        return 64;
    }
    const auto violations = torvex::layering::CheckTree(argv[1]);
    for (const auto& violation : violations)
        std::fprintf(stderr, "layering: %s\n", torvex::layering::Describe(violation).c_str());
    return violations.empty() ? 0 : 1;
}
