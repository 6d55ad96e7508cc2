// The command lines of the three programs, read by one parser: each program
// describes its options in a table and gets back what was given, in order.
// Values stay text: the program converts them and names what is wrong.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace dentora::options {

// A mistake on the command line; the message names what was wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionForm {
    std::string name;       // "--port", or a one-letter "-o"
    std::string valueName;  // "DEVICE"; empty for a switch
};

struct GivenOption {
    std::string name;   // as in its OptionForm
    std::string value;  // empty for a switch
};

struct ParsedArguments {
    std::vector<GivenOption> options;  // in the order given
    std::vector<std::string> positionals;
    bool help = false;  // -h or --help was given
};

struct ParseRules {
    std::size_t mostPositionals = 0;
    bool eachOnce = false;  // refuse an option given twice
    std::string context;    // put before every message, e.g. "capture: "
};

// "--name VALUE" and "--name=VALUE"; "-h" and "--help" anywhere. Throws
// UsageError for an unknown option, a missing value, a value given to a
// switch, one positional too many and, with eachOnce, a repeated option.
ParsedArguments ParseArguments(const std::vector<OptionForm>& forms, const std::vector<std::string>& arguments,
                               const ParseRules& rules = {});

}  // namespace dentora::options
