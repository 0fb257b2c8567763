// Physical environment dynamics: the fauna moves compacted soil into the decompacted
// share, then the decompacted share relaxes back by at most D per step.
#include <algorithm>
#include <cmath>

#include "Conversions.h"
#include "FloatChecks.h"
#include "Simul.h"

namespace glebix {

void Simul::UpdateEnvironment() {
    // D lives as the text of its field and is converted at every step.
    const double d = FieldToReal(Settings.Run.DecompactionD);
    if (!Settings.Run.EnvDynamic) return;
    if (!std::isfinite(d)) ThrowFloatFault(MsgOverflow);
    const long double c = Species.CompactionC;
    for (int i = 0; i < Plot.Width; ++i) {
        for (int j = 0; j < Plot.Height; ++j) {
            TCellEnv &env = Plot.Env[i][j];
            // Transfer by the fauna.
            const double moved = StoreDouble(std::min(Plot.Density[i][j] * c, static_cast<long double>(env.Compacted)));
            double compacted = StoreDouble(static_cast<long double>(env.Compacted) - moved);
            double decompacted = StoreDouble(static_cast<long double>(env.Decompacted) + moved);
            // Relaxation, at most D. A negative decompacted share below D is left as it is.
            if (decompacted >= d) {
                compacted = StoreDouble(static_cast<long double>(compacted) + d);
                decompacted = StoreDouble(static_cast<long double>(decompacted) - d);
            } else if (decompacted > 0) {
                compacted = StoreDouble(static_cast<long double>(compacted) + decompacted);
                decompacted = 0;
            }
            env.Compacted = compacted;
            env.Decompacted = decompacted;
        }
    }
}

}  // namespace glebix
