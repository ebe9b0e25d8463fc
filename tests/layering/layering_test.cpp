// The layering rules: the project's own tree keeps them, and the checker sees it when a tree
// breaks them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tools/layering/layering_rules.h"

namespace torvex::layering {
namespace {

namespace fs = std::filesystem;

class ScratchTree {
  public:
    ScratchTree() {
        std::random_device seed;
        root_ = fs::temp_directory_path() / ("torvex-layering-" + std::to_string(seed()));
        fs::create_directories(root_);
    }
    ~ScratchTree() { fs::remove_all(root_); }

    void Write(const std::string& file, const std::string& text) {
        fs::create_directories((root_ / file).parent_path());
        std::ofstream(root_ / file) << text;
    }
    const fs::path& Root() const { return root_; }

  private:
    fs::path root_;
};

TEST(Layering, TheProjectKeepsItsLayers) {
    for (const Violation& violation : CheckTree(TORVEX_SOURCE_ROOT))
        ADD_FAILURE() << Describe(violation);
}

TEST(Layering, DownwardIncludesPass) {
    ScratchTree tree;
    tree.Write("base/text.h", "#include <string>\n");
    tree.Write("device/usb_found.h", "#include \"base/text.h\"\n");
    tree.Write("app/dialog_core.h", "#include \"device/usb_found.h\"\n#include <vector>\n");
    EXPECT_TRUE(CheckTree(tree.Root()).empty());
}

TEST(Layering, AnUpwardIncludeIsFound) {
    // The controller state lives in app/: a lower layer reports what it found and never writes
    // the state itself.
    ScratchTree tree;
    tree.Write("app/controller_state.h", "#include \"device/product_identity.h\"\n");
    tree.Write("device/product_identity.h", "\n");
    tree.Write("firmware/ef64_version_check.cpp", "#include \"app/controller_state.h\"\n");
    const auto violations = CheckTree(tree.Root());
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_EQ(violations[0].file, "firmware/ef64_version_check.cpp");
    EXPECT_EQ(violations[0].include, "app/controller_state.h");
}

TEST(Layering, TracesSitAboveTheDeviceLayerAndBelowTheRunner) {
    ScratchTree tree;
    tree.Write("device/device_platform.h", "\n");
    tree.Write("trace/trace_file.h",
               "#include \"device/device_platform.h\"\n#include <nlohmann/json.hpp>\n");
    tree.Write("cli/run_session.h", "#include \"trace/trace_file.h\"\n");
    tree.Write("device/scsi_transport.h", "#include \"trace/trace_file.h\"\n");
    tree.Write("app/dialog_core.h", "#include \"trace/trace_file.h\"\n");
    std::vector<std::string> refused;
    for (const Violation& violation : CheckTree(tree.Root())) refused.push_back(violation.file);
    std::sort(refused.begin(), refused.end());
    EXPECT_EQ(refused, (std::vector<std::string>{"app/dialog_core.h", "device/scsi_transport.h"}));
}

TEST(Layering, TheVirtualProductSeesOnlyThePortAndTheBlockTable) {
    ScratchTree tree;
    tree.Write("device/device_platform.h", "\n");
    tree.Write("device/isp_commands.h", "\n");
    tree.Write("simulator/virtual_platform.h",
               "#include \"device/device_platform.h\"\n#include \"device/isp_commands.h\"\n");
    const auto violations = CheckTree(tree.Root());
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_EQ(violations[0].include, "device/isp_commands.h");
}

TEST(Layering, ALoopWithinALayerIsFound) {
    ScratchTree tree;
    tree.Write("firmware/a.h", "#include \"firmware/b.h\"\n");
    tree.Write("firmware/b.h", "#include \"firmware/a.h\"\n");
    const auto violations = CheckTree(tree.Root());
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_EQ(violations[0].reason, "include loop");
}

TEST(Layering, TheCoreIncludesNoSystemHeader) {
    ScratchTree tree;
    tree.Write("device/scsi_transport.cpp", "#include <cstdint>\n#include <unistd.h>\n");
    tree.Write("device/linux/sg_io.cpp", "#include <scsi/sg.h>\n");
    const auto violations = CheckTree(tree.Root());
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_EQ(violations[0].include, "unistd.h");
}

}  // namespace
}  // namespace torvex::layering
