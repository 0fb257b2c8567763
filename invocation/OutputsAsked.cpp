#include "OutputsAsked.h"

#include "FileIo.h"
#include "StudyOutputs.h"

namespace glebix::invocation {

namespace {

std::string ManifestByRule(const BatchOptions &options) {
    const std::string primary = PrimaryOutputDir(options);
    return primary.empty() ? primary : Join(primary, "manifest.json");
}

}  // namespace

std::string AskedPath(const BatchOptions &options, const OutputKind &kind) {
    switch (kind.placedBy) {
    case PlacedBy::RunManifest:
        return ManifestByRule(options);
    case PlacedBy::StudySummary:
        return SummaryPath(options);
    case PlacedBy::Option:
        break;
    }
    return OutputAsked(options, kind.option);
}

std::optional<int> TuningOf(const BatchOptions &options, const OutputKind &kind) {
    if (!kind.tuning.option) return std::nullopt;
    const auto given = options.Tunings.find(kind.tuning.option);
    return given == options.Tunings.end() ? std::nullopt : std::optional<int>(given->second);
}

bool IsStepFileOf(const OutputKind &kind, const BatchOptions *options, const std::string &name) {
    return IsStepFile(kind, options && TuningOf(*options, kind), name);
}

const std::string &PlaceOf(const RunPlan &plan, const OutputKind &kind) {
    static const std::string none;
    const std::size_t row = OutputRow(kind);
    return row < plan.Places.size() ? plan.Places[row] : none;
}

void SetPlace(RunPlan &plan, const OutputKind &kind, std::string path) {
    if (plan.Places.size() < OutputKinds().size()) plan.Places.resize(OutputKinds().size());
    plan.Places[OutputRow(kind)] = std::move(path);
}

const std::string &PlaceOf(const RunPlan &plan, std::string_view option) {
    return PlaceOf(plan, *OutputKindOf(option));
}

const std::string &ManifestPlace(const RunPlan &plan) { return PlaceOf(plan, PlacedByRule(PlacedBy::RunManifest)); }

}  // namespace glebix::invocation
