#include "SnapshotNames.h"

#include <string_view>

namespace glebix::core {

namespace {

constexpr std::string_view Prefix = "map-";
constexpr std::string_view Suffix = ".png";
constexpr std::size_t StepDigits = 5;

}  // namespace

std::string SnapshotName(std::int32_t step) {
    std::string digits = std::to_string(step);
    if (digits.size() < StepDigits) digits.insert(0, StepDigits - digits.size(), '0');
    return std::string(Prefix) + digits + std::string(Suffix);
}

bool IsSnapshotName(const std::string &name) {
    if (name.size() < Prefix.size() + StepDigits + Suffix.size() || !name.starts_with(Prefix) ||
        !name.ends_with(Suffix))
        return false;
    for (std::size_t k = Prefix.size(); k < name.size() - Suffix.size(); ++k)
        if (name[k] < '0' || name[k] > '9') return false;
    return true;
}

}  // namespace glebix::core
