#pragma once
// The runner's options for production lines: --list, --port, --serial, --json, --trace and
// --replay, parsed beside the others, checked together, and their lines of the help text.

#include <optional>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace torvex::cli {

// --list or --json: sets it and returns true; false for any other argument.
bool TakeLineFlag(std::string_view arg, Options& options);

// True for the options of this file that take a value.
bool IsLineValueOption(std::string_view name);

// Stores a value option's value; an error text when the value is unusable.
std::optional<std::string> SetLineValue(std::string_view name, const std::string& value,
                                        Options& options);

// Combinations that make no sense; an error text for the first found.
std::optional<std::string> CheckLineOptions(const Options& options);

// The help text's lines for these options.
std::string LineOptionsHelp();

}  // namespace torvex::cli
