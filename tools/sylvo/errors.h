// Errors the tool reports, each with its exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace sylvo_tool {

enum ExitStatus : int {
    kOk = 0,
    kBadInput = 2,     // an option's value is not accepted; nothing is printed
    kOutOfRange = 3,   // the model leaves its valid range or has no answer
    kIoError = 4,      // the input could not be read or the output written to its end
};

// Reading the input or writing the output failed part-way (a read error, a
// full disk): one line naming what failed and why.
class IoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value the tool does not accept: one line naming the option, the value and
// what is accepted.
class InputError : public std::runtime_error {
public:
    InputError(const std::string& option, const std::string& value, const std::string& problem,
               const std::string& accepted)
        : std::runtime_error(option + ": " + (value.empty() ? "" : "'" + value + "' ") + problem +
                             "; accepted: " + accepted)
    {
    }
};

}  // namespace sylvo_tool
