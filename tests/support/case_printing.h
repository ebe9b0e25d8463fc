#pragma once
// Parameterised cases print as their description in test names and failure messages. A test
// file brings this in with `using testing::PrintTo;` inside the namespace of its case types.

#include <ostream>

namespace torvex::testing {

template <typename Case>
    requires requires(const Case& c) { c.what; }
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

}  // namespace torvex::testing
