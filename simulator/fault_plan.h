#pragma once
// Faults the product shows on demand: a request that fails, times out, is answered with CHECK
// CONDITION, a product that vanishes before or after a command, garbage or short replies, a
// jump that is taken but never leads to a re-enumeration.

#include <cstdint>
#include <optional>
#include <vector>

#include "simulator/command_table.h"
#include "simulator/product_mode.h"

namespace torvex::sim {

enum class FaultAction : std::uint8_t {
    Fail,            // not delivered (TransportError::Other); the command is not carried out
    Timeout,         // not delivered (TransportError::Timeout); not carried out
    CheckCondition,  // delivered with CHECK CONDITION (hardware error); not carried out
    VanishBefore,    // unplugged just before the command: not delivered (NoDevice)
    VanishAfter,     // carried out and delivered, then unplugged (stays away until plugged)
    ReplugAfter,     // carried out and delivered, then it re-enumerates in the same code
    GarbageReply,    // carried out; the data-in reply is replaced by garbage bytes
    ShortReply,      // carried out; only the first `reply_bytes` bytes of the reply are written
    StayAfterJump,   // a jump or execute is carried out and delivered, but the product stays
};

// Which requests a fault hits. Every field that is set must match; none set matches every
// request. Requests count whether or not they are valid.
struct FaultTrigger {
    std::optional<Command> command;      // the decoded command
    std::optional<std::uint8_t> opcode;  // byte 1 of the block, decoded or not
    std::optional<ProductMode> mode;     // only while the product runs this code
    std::uint32_t skip = 0;              // let this many matching requests pass first
};

struct Fault {
    FaultTrigger when;
    FaultAction action = FaultAction::Fail;
    std::uint32_t times = 1;        // matching requests it hits; 0 = every one from then on
    std::uint32_t reply_bytes = 0;  // ShortReply: bytes that reach the buffer

    static Fault On(Command command, FaultAction action, std::uint32_t times = 1);
    static Fault OnOpcode(std::uint8_t opcode, FaultAction action, std::uint32_t times = 1);
    // The nth request from now on (1 = the next one).
    static Fault OnNthRequest(std::uint32_t n, FaultAction action, std::uint32_t times = 1);

    Fault& InMode(ProductMode mode) {
        when.mode = mode;
        return *this;
    }
    Fault& Skip(std::uint32_t matching_requests) {
        when.skip = matching_requests;
        return *this;
    }
    Fault& Always() {
        times = 0;
        return *this;
    }
};

inline constexpr std::uint32_t kEveryTime = 0;

// Faults in the order they were added. Each matching fault counts the request; the first one
// that is due acts on it.
class FaultPlan {
  public:
    void Add(const Fault& fault) { faults_.push_back({fault, 0, 0}); }
    void Clear() { faults_.clear(); }
    // Faults that can still act.
    std::size_t Pending() const;

    std::optional<Fault> Match(std::optional<Command> command, std::uint8_t opcode,
                               ProductMode mode);

  private:
    struct Entry {
        Fault fault;
        std::uint32_t seen;
        std::uint32_t hits;
    };
    std::vector<Entry> faults_;
};

}  // namespace torvex::sim
