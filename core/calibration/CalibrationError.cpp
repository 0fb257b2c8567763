#include "CalibrationError.h"

#include <charconv>

namespace glebix::calibration {

namespace {

// What the error says without the catalogue: its key, then its arguments.
std::string Plain(const std::string &key, const std::vector<std::string> &args) {
    std::string text = key;
    for (const std::string &arg : args) text += " | " + arg;
    return text;
}

}  // namespace

CalibrationError::CalibrationError(std::string key, std::vector<std::string> args)
    : std::runtime_error(Plain(key, args)), key_(std::move(key)), args_(std::move(args)) {}

std::string NumberText(double x) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
    return std::string(buffer, result.ptr);
}

std::string CountText(std::size_t n) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
    return std::string(buffer, result.ptr);
}

}  // namespace glebix::calibration
