#include "Recorders.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>

#include "OutputsAsked.h"
#include "RecorderKinds.h"

namespace glebix::recorders {

namespace {

struct RecorderRow {
    const char *option;  // of the registry's row (OutputKind::option)
    RecorderFactory make;
};

// In the order the recorders act on each hook: the trace opens first; the result file
// and the grids are staged before the streamed files close; the state comes last, once
// every other output of the step is written.
// clang-format off
constexpr RecorderRow Rows[] = {
    {"--trace",      MakeTraceRecorder},
    {"--out",        MakeResultFileRecorder},
    {"--asc",        MakeAscRecorder},
    {"--tif",        MakeTifRecorder},
    {"--snapshots",  MakeSnapshotRecorder},
    {"--animate",    MakeAnimationRecorder},
    {"--netcdf",     MakeNetcdfRecorder},
    {"--checkpoint", MakeCheckpointRecorder},
    {"--save-state", MakeSaveStateRecorder},
};
// clang-format on

}  // namespace

RecorderFactory RecorderOf(std::string_view option) {
    const auto at =
        std::find_if(std::begin(Rows), std::end(Rows), [option](const RecorderRow &r) { return option == r.option; });
    return at == std::end(Rows) ? nullptr : at->make;
}

std::vector<std::unique_ptr<Recorder>> MakeRecorders(RecordingContext &context) {
    std::vector<std::unique_ptr<Recorder>> made;
    for (const RecorderRow &row : Rows) {
        const OutputKind *kind = OutputKindOf(row.option);
        if (!kind || !kind->planned) throw std::logic_error(std::string("no run output is asked by ") + row.option);
        if (const std::string &path = PlaceOf(context.plan, *kind); !path.empty())
            made.push_back(row.make(context, path));
    }
    return made;
}

}  // namespace glebix::recorders
