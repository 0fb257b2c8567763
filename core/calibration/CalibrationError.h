// The calibration's refusals, as a message key of the catalogue (core/MessageCatalogue.cpp)
// with its arguments: the library speaks no language itself, the core's messages
// (LocalExceptionMessage) give the text in the user's.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace glebix::calibration {

class CalibrationError : public std::runtime_error {
public:
    CalibrationError(std::string key, std::vector<std::string> args);
    const std::string &Key() const { return key_; }
    const std::vector<std::string> &Args() const { return args_; }

private:
    std::string key_;
    std::vector<std::string> args_;
};

// A real in shortest round-trip form with a point, whatever the locale.
std::string NumberText(double x);
std::string CountText(std::size_t n);

}  // namespace glebix::calibration
