// Command line of dentora-sim, kept in the library so it can be tested.
//
// Library: dentora_simulator. Include as "simulator/command_line.h".
#pragma once

#include "options/option_parser.h"
#include "simulator/controller_protocol.h"

#include <string>
#include <vector>

namespace dentora::sim {

struct SimulatorOptions {
    ControllerConfig controller;
    std::string linkPath;  // empty: no symbolic link
    bool showHelp = false;
};

// A flag that is unknown, lacks its value, or has a value that is not a
// number in range. The message names the flag.
using UsageError = options::UsageError;

// Parses the arguments after the program name; "--flag value" and
// "--flag=value" are both accepted. Throws UsageError.
SimulatorOptions ParseCommandLine(const std::vector<std::string>& arguments);

// The full --help text: the exchange, the engine model, every flag and fault.
std::string UsageText();

}  // namespace dentora::sim
