#include "Simul.h"

#include "CellShare.h"
#include "MortalityCache.h"

namespace glebix {

Simul::Simul() = default;
Simul::~Simul() = default;

}  // namespace glebix
