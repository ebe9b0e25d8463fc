#pragma once
// One version check's time with the product: it opens the product by its path when it starts,
// and closes it when it ends. A check ends explicitly where it must be settled before it
// returns; otherwise it ends when it returns.
//
// A product that cannot be opened is no firmware verdict: the failure and its reason are logged,
// the check sends nothing and finds no class (they stay Unchecked), and the next tick tries
// again. (Classing it Antique or No_Code would send ISP_CMD_EXECUTE and rewrite EF64 whatever its
// version.)

#include <optional>

#include "device/device_context.h"
#include "device/product_connection.h"
#include "firmware/identity_queries.h"
#include "firmware/version_classes.h"

namespace torvex {

struct EmbeddedImages;

// What a check works with: the device, the carried images, the product to open, and what the
// checks before it already decided (a name already accepted is not tested again; a group already
// decided is kept).
struct CheckContext {
    DeviceContext device;
    const EmbeddedImages& images;
    ProductAddress product;
    bool name_matched = false;
    ImageGroup group = ImageGroup::Unchecked;
};

// What a check decided; each field is empty where the check left it as it was.
struct CheckVerdict {
    std::optional<Ef64Class> ef64;
    std::optional<Ef32Class> ef32;
    std::optional<bool> name_matched;
    std::optional<ImageGroup> group;
    // The carried EF64 image is not one this tool may write: the firmware is no longer accepted
    // and both classes go back to Unchecked.
    bool image_rejected = false;
};

// What a check read, and what it decided from it.
struct CheckOutcome {
    IdentityReading read;
    CheckVerdict verdict;
};

class CheckSession {
  public:
    explicit CheckSession(const CheckContext& context);
    ~CheckSession() { End(); }
    CheckSession(const CheckSession&) = delete;
    CheckSession& operator=(const CheckSession&) = delete;

    // False when the product could not be opened: the check must end without a verdict.
    bool Opened() const { return opened_; }
    ProductConnection& Product() { return product_; }
    // Closes the product, once.
    void End();

  private:
    ProductConnection product_;
    bool opened_ = false;
    bool ended_ = false;
};

}  // namespace torvex
