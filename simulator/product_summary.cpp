#include <string>

#include "simulator/virtual_product.h"

namespace torvex::sim {

namespace {

std::string Parts(const FourParts& parts) {
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

std::string BankSummary(const char* name, const FlashBank& bank) {
    const IdentityBlock identity = bank.Identity();
    std::string text = std::string(name) + " ";
    if (identity == ErasedIdentity()) return text + "erased";
    std::string printable = IdentityName(identity);
    for (char& c : printable)
        if (c < 0x20 || c > 0x7E) c = '.';
    text += Parts(IdentityTag(identity)) + " " + Parts(IdentityVersion(identity)) + " '" +
            printable + "'";
    return text + (bank.HoldsValidFirmware() ? " valid" : " invalid");
}

}  // namespace

std::string Summary(const VirtualProduct& product) {
    return std::string(ModeName(product.Mode())) + "; " + BankSummary("EF64", product.Ef64()) +
           "; " + BankSummary("EF32_0", product.Ef32());
}

}  // namespace torvex::sim
