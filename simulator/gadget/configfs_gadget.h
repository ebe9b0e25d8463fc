#pragma once
// A USB gadget made in configfs: the device's identity, one configuration holding one
// FunctionFS function, and its binding to a USB device controller. Removing it undoes every
// step that was done, in reverse.

#include <string>

#include "simulator/product_mode.h"

namespace torvex::sim::gadget {

class ConfigfsGadget {
  public:
    explicit ConfigfsGadget(std::string name) : name_(std::move(name)) {}
    ~ConfigfsGadget() { Remove(); }
    ConfigfsGadget(const ConfigfsGadget&) = delete;
    ConfigfsGadget& operator=(const ConfigfsGadget&) = delete;

    // Makes the gadget with function ffs.NAME under /sys/kernel/config/usb_gadget/NAME.
    bool Create(const UsbIdentity& identity, const std::string& product_name, std::string& error);
    // The identity may change only while unbound.
    bool SetIdentity(const UsbIdentity& identity, const std::string& product_name,
                     std::string& error);
    bool Bind(const std::string& udc, std::string& error);
    bool Unbind();
    bool Bound() const { return bound_; }
    void Remove();

    // The FunctionFS instance name ("NAME"), to mount.
    const std::string& Name() const { return name_; }

  private:
    std::string Path(const std::string& part) const;

    std::string name_;
    bool created_ = false;
    bool bound_ = false;
};

// The first device controller in /sys/class/udc (in name order); empty when there is none.
std::string FirstUdc();

}  // namespace torvex::sim::gadget
