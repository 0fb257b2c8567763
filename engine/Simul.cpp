#include "Simul.h"

#include "CellShare.h"
#include "MortalityCache.h"

namespace glebix {

Simul::Simul() = default;
Simul::~Simul() = default;

Simul &TheSimul() {
    static Simul *const instance = [] {
        auto *simul = new Simul();  // lives as long as the program
        simul->FixedPlotSize = true;
        return simul;
    }();
    return *instance;
}

}  // namespace glebix
