// The program's version, as every record of a run gives it ("1.0.0").
#pragma once

#include <string>

namespace glebix::core {

std::string VersionNumber();

}  // namespace glebix::core
