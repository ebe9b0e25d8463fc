#pragma once
// The headless runner as a child process of a umockdev test, as scripts start it: it lists the
// fake udev disks, sends its SG_IO to the fake nodes (answered by this process's umockdev
// handlers, behind which virtual products run) and hears of the products' departures and returns
// through its own udev monitor. While children run, this process keeps the products' clocks
// following the real time.

#include <chrono>
#include <string>
#include <vector>

#include "tests/platform/virtual_product_node.h"

namespace torvex::testing {

struct ChildRun {
    int status = -1;  // exit status; -1: killed or did not exit normally
    std::string out;
    std::string err;
    std::chrono::milliseconds took{0};  // from the start of the first child to this one's end
    std::string problem;                // why the child could not be run or judged, if it could not
};

// Starts one runner (`program` with `args`) per entry of `runs` at once and waits for all,
// killing those still running after `limit`. `launcher`: words that start the program (e.g.
// setpriv taking a capability away).
std::vector<ChildRun> RunChildren(const std::string& program,
                                  const std::vector<std::vector<std::string>>& runs,
                                  const std::vector<VirtualProductNode*>& nodes,
                                  std::chrono::seconds limit,
                                  const std::vector<std::string>& launcher = {});

// A new, empty file of its own in `directory` (no other run, earlier or beside this one, shares
// it); empty if none could be made.
std::string FreshTempFile(const std::string& directory, const std::string& stem);

std::string ReadWholeFile(const std::string& path);

}  // namespace torvex::testing
