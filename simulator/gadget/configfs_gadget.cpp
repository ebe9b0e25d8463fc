#include "simulator/gadget/configfs_gadget.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace torvex::sim::gadget {

namespace {

constexpr char kGadgetRoot[] = "/sys/kernel/config/usb_gadget/";

bool WriteAttribute(const std::string& path, const std::string& value, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    bool ok = file != nullptr && std::fputs(value.c_str(), file) >= 0;
    if (file != nullptr) ok = std::fclose(file) == 0 && ok;
    if (!ok) error = "cannot write '" + value + "' to " + path + ": " + std::strerror(errno);
    return ok;
}

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", static_cast<unsigned>(value));
    return text;
}

bool MakeDir(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
    error = "cannot make " + path + ": " + std::strerror(errno);
    return false;
}

}  // namespace

std::string ConfigfsGadget::Path(const std::string& part) const {
    return kGadgetRoot + name_ + (part.empty() ? "" : "/" + part);
}

bool ConfigfsGadget::Create(const UsbIdentity& identity, const std::string& product_name,
                            std::string& error) {
    if (!MakeDir(Path(""), error)) return false;
    created_ = true;
    if (!WriteAttribute(Path("bcdUSB"), "0x0200", error) ||
        !WriteAttribute(Path("bcdDevice"), "0x0100", error) ||
        !MakeDir(Path("strings/0x409"), error) ||
        !WriteAttribute(Path("strings/0x409/manufacturer"), "Torvex", error) ||
        !SetIdentity(identity, product_name, error) || !MakeDir(Path("configs/c.1"), error) ||
        !MakeDir(Path("configs/c.1/strings/0x409"), error) ||
        !WriteAttribute(Path("configs/c.1/strings/0x409/configuration"), "Mass storage", error) ||
        !WriteAttribute(Path("configs/c.1/MaxPower"), "100", error) ||
        !MakeDir(Path("functions/ffs." + name_), error))
        return false;
    const std::string link = Path("configs/c.1/ffs." + name_);
    if (::symlink(Path("functions/ffs." + name_).c_str(), link.c_str()) != 0 && errno != EEXIST) {
        error = "cannot link " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ConfigfsGadget::SetIdentity(const UsbIdentity& identity, const std::string& product_name,
                                 std::string& error) {
    return WriteAttribute(Path("idVendor"), Hex4(identity.vendor_id), error) &&
           WriteAttribute(Path("idProduct"), Hex4(identity.product_id), error) &&
           WriteAttribute(Path("strings/0x409/serialnumber"), identity.serial, error) &&
           WriteAttribute(Path("strings/0x409/product"), product_name, error);
}

bool ConfigfsGadget::Bind(const std::string& udc, std::string& error) {
    if (!WriteAttribute(Path("UDC"), udc, error)) return false;
    bound_ = true;
    return true;
}

bool ConfigfsGadget::Unbind() {
    if (!bound_) return true;
    std::string error;
    bound_ = !WriteAttribute(Path("UDC"), "\n", error);
    return !bound_;
}

void ConfigfsGadget::Remove() {
    if (!created_) return;
    Unbind();
    // Every step in reverse; a step that was never done fails harmlessly.
    ::unlink(Path("configs/c.1/ffs." + name_).c_str());
    ::rmdir(Path("configs/c.1/strings/0x409").c_str());
    ::rmdir(Path("configs/c.1").c_str());
    ::rmdir(Path("functions/ffs." + name_).c_str());
    ::rmdir(Path("strings/0x409").c_str());
    ::rmdir(Path("").c_str());
    created_ = false;
}

std::string FirstUdc() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/udc", ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

}  // namespace torvex::sim::gadget
