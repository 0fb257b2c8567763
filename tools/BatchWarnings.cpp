#include <algorithm>

#include "BatchOptions.h"
#include "RunPlan.h"
#include "Warnings.h"

namespace glebix::batch {

namespace {

bool KeepsSomething(const BatchOptions &o) {
    return !o.OutDir.empty() || !o.TablePath.empty() || !o.TracePath.empty() || !o.SnapshotDir.empty() ||
           !o.AscDir.empty();
}

}  // namespace

std::string NothingKeptWarning() {
    return "--replicates ou --design sans aucune sortie (--out, --table, --trace, --snapshots ou --asc) : "
           "rien des simulations ne sera gardé";
}

StudyWarnings CollectWarnings(const BatchOptions &options) {
    std::vector<std::pair<int, TSettings>> points;
    for (int point : options.StudyDesign ? options.Points : std::vector<int>{})
        points.emplace_back(point, PointSettings(options, point));
    std::vector<std::string> species;
    for (const InputFile &input : options.Inputs)
        if (input.Role == "species") species.push_back(input.Path);
    StudyWarnings w = RunWarnings(options.Settings, points, species, *options.Files);
    const std::size_t runs = options.Points.size() * static_cast<std::size_t>(options.Replicates);
    if ((runs > 1 || options.StudyDesign) && !KeepsSomething(options)) w.Common.push_back(NothingKeptWarning());
    if (options.Points.empty() && options.SliceAsked)
        w.Common.push_back("--slice " + std::to_string(options.SliceAsked->Index) + "/" +
                           std::to_string(options.SliceAsked->Count) + " : cette part ne contient aucun point");
    return w;
}

}  // namespace glebix::batch
