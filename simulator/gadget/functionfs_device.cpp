#include "simulator/gadget/functionfs_device.h"

#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <unistd.h>

#include <endian.h>
#include <cerrno>
#include <cstring>

namespace torvex::sim::gadget {

namespace {

constexpr char kInterfaceName[] = "Torvex mass storage";

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value);
    Put16(out, value >> 16);
}

void SetLength(std::vector<std::uint8_t>& out) {
    const auto length = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
}

void Interface(std::vector<std::uint8_t>& out, std::uint32_t max_packet) {
    const std::uint8_t interface[] = {
        USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, 0, 0, 2, USB_CLASS_MASS_STORAGE, 0x06, 0x50, 1};
    out.insert(out.end(), interface, interface + sizeof interface);
    for (const std::uint8_t address :
         {std::uint8_t{1 | USB_DIR_IN}, std::uint8_t{2 | USB_DIR_OUT}}) {
        out.push_back(USB_DT_ENDPOINT_SIZE);
        out.push_back(USB_DT_ENDPOINT);
        out.push_back(address);
        out.push_back(USB_ENDPOINT_XFER_BULK);
        Put16(out, max_packet);
        out.push_back(0);
    }
}

bool WriteAll(int fd, std::span<const std::uint8_t> data) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    return n == static_cast<ssize_t>(data.size());
}

}  // namespace

std::vector<std::uint8_t> FunctionDescriptors() {
    std::vector<std::uint8_t> out;
    Put32(out, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    Put32(out, 0);  // length, set below
    Put32(out, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    Put32(out, 3);  // full speed: interface and two endpoints
    Put32(out, 3);  // high speed
    Interface(out, 64);
    Interface(out, 512);
    SetLength(out);
    return out;
}

std::vector<std::uint8_t> FunctionStrings() {
    std::vector<std::uint8_t> out;
    Put32(out, FUNCTIONFS_STRINGS_MAGIC);
    Put32(out, 0);
    Put32(out, 1);  // strings
    Put32(out, 1);  // languages
    Put16(out, 0x0409);
    out.insert(out.end(), kInterfaceName, kInterfaceName + sizeof kInterfaceName);  // with its NUL
    SetLength(out);
    return out;
}

FunctionFsDevice::~FunctionFsDevice() {
    Close();
}

bool FunctionFsDevice::Open(const std::string& dir, std::string& error) {
    const auto fail = [&](const std::string& what) {
        error = what + ": " + std::strerror(errno);
        Close();
        return false;
    };
    ep0_ = ::open((dir + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
    if (ep0_ < 0) return fail("cannot open " + dir + "/ep0");
    if (!WriteAll(ep0_, FunctionDescriptors())) return fail("descriptors refused");
    if (!WriteAll(ep0_, FunctionStrings())) return fail("strings refused");
    in_ = ::open((dir + "/ep1").c_str(), O_RDWR | O_CLOEXEC);
    if (in_ < 0) return fail("cannot open " + dir + "/ep1");
    out_ = ::open((dir + "/ep2").c_str(), O_RDWR | O_CLOEXEC);
    if (out_ < 0) return fail("cannot open " + dir + "/ep2");
    return true;
}

void FunctionFsDevice::Close() {
    for (int* fd : {&out_, &in_, &ep0_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

std::vector<usb_functionfs_event> FunctionFsDevice::ReadEvents() {
    usb_functionfs_event events[4];
    const ssize_t n = ::read(ep0_, events, sizeof events);
    if (n <= 0) return {};
    return std::vector<usb_functionfs_event>(
        events, events + static_cast<std::size_t>(n) / sizeof events[0]);
}

bool FunctionFsDevice::ReplyIn(const usb_ctrlrequest& setup, std::span<const std::uint8_t> data) {
    const std::size_t length = std::min<std::size_t>(data.size(), le16toh(setup.wLength));
    return ::write(ep0_, data.data(), length) == static_cast<ssize_t>(length);
}

bool FunctionFsDevice::Acknowledge() {
    return ::read(ep0_, nullptr, 0) == 0;
}

void FunctionFsDevice::StallEp0(const usb_ctrlrequest& setup) {
    // I/O against the request's direction stalls the control transfer.
    if ((setup.bRequestType & USB_DIR_IN) != 0) {
        [[maybe_unused]] const ssize_t n = ::read(ep0_, nullptr, 0);
    } else {
        [[maybe_unused]] const ssize_t n = ::write(ep0_, nullptr, 0);
    }
}

long FunctionFsDevice::ReadOut(std::uint8_t* data, std::size_t size) {
    return static_cast<long>(::read(out_, data, size));
}

bool FunctionFsDevice::ReadOutFully(std::uint8_t* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(out_, data + got, size - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool FunctionFsDevice::WriteIn(std::span<const std::uint8_t> data) {
    return WriteAll(in_, data);
}

void FunctionFsDevice::HaltIn() {
    // Reading an IN endpoint's file halts it.
    std::uint8_t none = 0;
    [[maybe_unused]] const ssize_t n = ::read(in_, &none, 0);
}

void FunctionFsDevice::HaltOut() {
    std::uint8_t none = 0;
    [[maybe_unused]] const ssize_t n = ::write(out_, &none, 0);
}

}  // namespace torvex::sim::gadget
