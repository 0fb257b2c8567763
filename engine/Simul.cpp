#include "Simul.h"

#include "CellShare.h"
#include "MortalityCache.h"

namespace glebix {

Simul::Simul() = default;
Simul::~Simul() = default;

Simul &TheSimul() {
    static Simul *const instance = new Simul();  // lives as long as the program
    return *instance;
}

}  // namespace glebix
