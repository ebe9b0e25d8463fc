#pragma once
// Who may have the helper carry commands: asked once per client connection, before its first
// disk is taken. polkit decides in the service (polkit_authority.h); tests answer themselves.

#include <functional>
#include <string>

namespace torvex::helper {

// The polkit action a client needs: allowed to the active local user, to others with an
// administrator's password.
inline constexpr const char* kUpdateAction = "org.torvex.isp.update";

struct AuthorizationVerdict {
    bool authorized = false;
    std::string reason;  // why not, when not
};

class Authority {
  public:
    using Done = std::function<void(const AuthorizationVerdict&)>;

    virtual ~Authority() = default;

    // Asks whether the client at `bus_name` (its unique name, ":1.42") may update the product.
    // `done` runs once with the verdict, now or later from the bus's event loop; it is never run
    // after the Authority is gone. `interactive`: the client allows the operator to be asked.
    virtual void Check(const std::string& bus_name, bool interactive, Done done) = 0;
};

}  // namespace torvex::helper
